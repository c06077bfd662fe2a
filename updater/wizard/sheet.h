// What the wizard's workers and page logic see of the property sheet: its
// window (posted button states, sent private messages), the pages' text
// members, message boxes, and the start of worker threads. The Qt wizard
// implements it; tests record what crosses it.
#pragma once

#include "platform/window/window_messages.h"

#include <functional>
#include <string>

namespace updater {

using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

// The wizard-buttons message, always posted to the sheet with wParam 0 and
// one of the button sets below as lParam.
inline constexpr UINT PSM_SETWIZBUTTONS = platform::WM_USER + 112;
inline constexpr LPARAM PSWIZB_BACK = 1;
inline constexpr LPARAM PSWIZB_NEXT = 2;
inline constexpr LPARAM PSWIZB_FINISH = 4;

// The wizard's private messages, sent synchronously.
// WM_WIZ_PROGRESS wParam: 0 hide the bar, 1 show it, 2 position = lParam,
// 3 range 0..(lParam & 0xFFFF).
inline constexpr UINT WM_WIZ_PROGRESS = platform::WM_USER + 100;
// WM_WIZ_REFRESH: the page moves its text members into its controls (wParam 0).
inline constexpr UINT WM_WIZ_REFRESH = platform::WM_USER + 101;
// WM_WIZ_LABEL wParam: 0 part label, 1 stage label, 2 main text of page 4
// take g_strStepText; then page 4 refreshes in every case.
inline constexpr UINT WM_WIZ_LABEL = platform::WM_USER + 102;

inline constexpr WPARAM ProgressHide = 0;
inline constexpr WPARAM ProgressShow = 1;
inline constexpr WPARAM ProgressPosition = 2;
inline constexpr WPARAM ProgressRange = 3;

// Message box styles and answers, with the values the dialog framework uses.
inline constexpr UINT MB_OK = 0x0000;
inline constexpr UINT MB_YESNO = 0x0004;
inline constexpr UINT MB_ICONEXCLAMATION = 0x0030;
inline constexpr UINT MB_ICONINFORMATION = 0x0040;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The five pages, in sheet order.
enum class Page { Intro, Connect, Version, Firmware, Format };

// Text members of the pages; a page shows them once it is refreshed.
struct IntroTexts {
    std::string text;               // control 1010
};
struct ConnectTexts {
    std::string text;               // control 1010
};
struct VersionTexts {
    std::string versionText;        // control 1003, the running version
    std::string informationText;    // control 1005
};
struct FirmwareTexts {
    std::string mainText;           // control 1011
    std::string partLabel;          // control 1024
    std::string stageLabel;         // control 1026
};
struct FormatTexts {
    std::string mainText;           // control 1017
};

class Sheet {
public:
    virtual ~Sheet() = default;

    // Queues a message for the sheet window (PSM_SETWIZBUTTONS).
    virtual void PostSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Sends a message to the sheet window, which relays the private messages
    // to every page window; returns when they have been handled.
    virtual LRESULT SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Sends a message straight to one page window.
    virtual LRESULT SendPageMessage(Page page, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The page moves its text members into its controls (UpdateData(FALSE)),
    // on the window thread.
    virtual void RefreshPage(Page page) = 0;
    // A message box; returns IDOK, IDYES or IDNO.
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) = 0;
    // Runs a worker on a thread of its own.
    virtual void BeginThread(std::function<unsigned()> worker) = 0;
    // True once the sheet is closing: workers that wait without limit (for
    // manager programs to end, for the player to appear) give up quietly,
    // where otherwise the process would end them.
    virtual bool Closing() const = 0;

    IntroTexts intro;
    ConnectTexts connect;
    VersionTexts version;
    FirmwareTexts firmware;
    FormatTexts format;
};

// Posts a button state to the sheet.
inline void PostButtons(Sheet& sheet, LPARAM buttons) { sheet.PostSheetMessage(PSM_SETWIZBUTTONS, 0, buttons); }

} // namespace updater
