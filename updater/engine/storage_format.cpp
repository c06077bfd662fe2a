#include "updater/engine/storage_format.h"

#include "updater/engine/engine_link.h"
#include "updater/engine/font_download.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

namespace updater {

namespace {

constexpr int StorageM = 0;
constexpr uint8_t ProgressDone = 99;

int Fail() {
    CloseEngineLink();
    return -1;
}

} // namespace

int FormatWholeStorage(int groupIndex, Sheet& sheet, UINT message) {
    UsbLink* link = ReopenEngineLink();
    if (link == nullptr) {
        sheet.SendSheetMessage(message, ProgressRange, 0);
        return -1;
    }
    if (!SendCommand(link, portio::FormGroupWord, groupIndex, portio::TwoLetterCode('L', 'D'), nullptr, 0)) {
        return Fail();
    }
    portio::Block reply{};
    do {
        if (!ReadReply(link, reply) || !IsEngineReplyOk(reply.data())) {
            return Fail();
        }
        sheet.SendSheetMessage(message, ProgressPosition, reply[5]);
    } while (reply[5] < ProgressDone);
    for (int i = 0; i < MaxFormatEndReplies; ++i) {
        if (!ReadReply(link, reply)) {
            return Fail();
        }
        if (IsOkReply(reply.data())) {
            CloseEngineLink();
            return 0;
        }
    }
    return Fail();
}

unsigned FormatWorker(Sheet& sheet) {
    unsigned result = 0;
    if (ReopenEngineLink() != nullptr) {
        result = 1;
        sheet.SendSheetMessage(WM_WIZ_PROGRESS, ProgressShow, 0);
        SetLinkTimeouts(3000000, 100000);
        const int formatted = FormatWholeStorage(StorageM, sheet, WM_WIZ_PROGRESS);
        SetLinkTimeouts(300000, 100000);
        if (formatted == 0) {
            sheet.BeginThread([&sheet] { return FontDownloadWorker(sheet); });
            return 1;
        }
    }
    LoadWizardText(sheet.format.mainText, 120);
    sheet.SendPageMessage(Page::Format, WM_WIZ_REFRESH, 0, 0);
    PostButtons(sheet, PSWIZB_FINISH);
    g_bBusy = 0;
    return result;
}

} // namespace updater
