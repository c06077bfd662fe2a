// The wizard sheet: a QWizard in its modern style holding the five pages,
// the Sheet the wizard's page logic and workers drive. Button states arrive
// posted (queued to the window's thread); the private messages, page
// refreshes and message boxes are sent (the sender waits until the window
// has handled them).
#pragma once

#include "updater/wizard/sheet.h"
#include "updater/wizard/worker_threads.h"
#include "updater/window/sent_calls.h"

#include <QPixmap>
#include <QTimer>
#include <QWizard>

#include <array>
#include <atomic>

class QAbstractButton;

namespace updater::window {

class TemplatePage;

class CMyProperty final : public QWizard, public Sheet {
public:
    // Titled "Fw Loader", page 1 first; `watermark` beside page 1 and
    // `header` above the others (the whole pictures; the sheet shows the
    // parts that fit).
    CMyProperty(const QPixmap& watermark, const QPixmap& header);
    // Closes and waits for every worker, those started by workers included.
    ~CMyProperty() override;

    void PostSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Relays the private messages to every page.
    LRESULT SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendPageMessage(Page page, UINT message, WPARAM wParam, LPARAM lParam) override;
    void RefreshPage(Page page) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) override;
    void BeginThread(std::function<unsigned()> worker) override;
    bool Closing() const override { return closing_; }

    // Cancel, Escape and the title bar's close: swallowed while a long
    // operation runs, since closing then can ruin the player.
    void reject() override;
    // Return does what the default button (Next, or Finish) shows, wherever
    // the focus is; Escape what Cancel does. Neither does anything while
    // that button is disabled.
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

    // The button state last posted (PSWIZB_* flags).
    LPARAM WizardButtons() const { return buttons_; }
    // Workers still running.
    int RunningWorkers() const { return running_; }
    QAbstractButton* BackButton() const { return button(BackId); }
    QAbstractButton* NextButton() const { return button(NextId); }
    QAbstractButton* FinishButton() const { return button(FinishId); }
    QAbstractButton* CancelButton() const { return button(QWizard::CancelButton); }
    TemplatePage& PageWindow(Page page) const { return *pages_[static_cast<size_t>(page)]; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The sheet's own Back, Next and Finish: their state is the posted one,
    // not the one QWizard would derive from its pages.
    static constexpr WizardButton BackId = CustomButton1;
    static constexpr WizardButton NextId = CustomButton2;
    static constexpr WizardButton FinishId = CustomButton3;

    void Activate(int id);
    void OnButton(int which);
    void SetWizardButtons(LPARAM buttons);
    // Cancel is enabled where it does something: not while a long operation
    // runs (it is swallowed then), not beside Finish.
    void ShowCancelState();
    LRESULT Relay(UINT message, WPARAM wParam, LPARAM lParam);
    void FitPictures();

    QPixmap watermark_;
    QPixmap header_;
    bool picturesFitted_ = false;
    std::array<TemplatePage*, 5> pages_{};
    LPARAM buttons_ = 0;
    // The busy flag changes without a message of its own (it is cleared
    // before the player is awaited again): Cancel follows it by looking.
    QTimer busyWatch_;
    std::atomic<bool> closing_{false};
    std::atomic<int> running_{0};
    SentCalls sent_{*this};
    WorkerThreads workers_;
};

} // namespace updater::window
