#include "updater/window/my_property.h"

#include "updater/wizard/page_activation.h"
#include "updater/wizard/version_page.h"
#include "updater/window/intro.h"
#include "updater/window/message_box.h"
#include "updater/window/sheet_pictures.h"
#include "updater/window/step2.h"
#include "updater/window/step3.h"
#include "updater/window/step4.h"
#include "updater/window/step5.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

namespace updater::window {

namespace {

constexpr int IDCANCEL = 2;

bool IsPrivateMessage(UINT message) {
    return message == WM_WIZ_PROGRESS || message == WM_WIZ_REFRESH || message == WM_WIZ_LABEL;
}

} // namespace

CMyProperty::CMyProperty(const QPixmap& watermark, const QPixmap& header) : watermark_(watermark), header_(header) {
    setWindowTitle(QString::fromUtf8(WizardCaption));
    setWizardStyle(ModernStyle);
    setOption(HaveHelpButton, false);
    setOption(HaveCustomButton1, true);
    setOption(HaveCustomButton2, true);
    setOption(HaveCustomButton3, true);
    setButtonText(BackId, buttonText(QWizard::BackButton));
    setButtonText(NextId, buttonText(QWizard::NextButton));
    setButtonText(FinishId, buttonText(QWizard::FinishButton));
    setButtonLayout({Stretch, BackId, NextId, FinishId, QWizard::CancelButton});
    // Return goes to the default button alone (keyPressEvent): a focused
    // button taking it would let Return cancel once Next is disabled.
    for (QAbstractButton* each : {BackButton(), NextButton(), FinishButton(), CancelButton()}) {
        if (auto* push = qobject_cast<QPushButton*>(each)) {
            push->setAutoDefault(false);
        }
    }

    pages_ = {new CIntro(intro), new CStep2(Sheet::connect), new CStep3(version), new CStep4(firmware),
              new CStep5(format)};
    for (size_t i = 0; i < pages_.size(); ++i) {
        // The header shows only above a page with a subtitle; these have none.
        if (i != static_cast<size_t>(Page::Intro)) {
            pages_[i]->setSubTitle(QStringLiteral(" "));
        }
        setPage(static_cast<int>(i), pages_[i]);
        // The first data exchange: the template texts give way to the members.
        pages_[i]->UpdateData(false);
    }
    pages_[0]->setPixmap(WatermarkPixmap, WatermarkStrip(watermark_, pages_[0]->minimumHeight()));
    SetWizardButtons(0);

    QObject::connect(this, &QWizard::currentIdChanged, this, &CMyProperty::Activate);
    QObject::connect(this, &QWizard::customButtonClicked, this, &CMyProperty::OnButton);
    QObject::connect(&busyWatch_, &QTimer::timeout, this, &CMyProperty::ShowCancelState);
    busyWatch_.start(100);
}

CMyProperty::~CMyProperty() {
    closing_ = true;
    sent_.Abandon();
    workers_.JoinAll();
}

// Page 1 lays out with a first strip as tall as the page; the strip's
// label then spans the whole height beside the page, and the strip is made
// that tall. The header band takes the width page 1 leaves the sheet, so
// that the sheet keeps its width from page to page.
void CMyProperty::FitPictures() {
    const QPixmap first = pages_[0]->pixmap(WatermarkPixmap);
    int height = 0;
    for (const QLabel* label : findChildren<QLabel*>()) {
        if (!first.isNull() && label->pixmap().cacheKey() == first.cacheKey()) {
            height = label->height();
        }
    }
    if (height > first.height()) {
        pages_[0]->setPixmap(WatermarkPixmap, WatermarkStrip(watermark_, height));
        adjustSize();
    }
    setPixmap(BannerPixmap, HeaderBand(header_, width()));
}

void CMyProperty::showEvent(QShowEvent* event) {
    QWizard::showEvent(event);
    if (!picturesFitted_) {
        picturesFitted_ = true;
        FitPictures();
    }
}

void CMyProperty::PostSheetMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    QMetaObject::invokeMethod(
        this,
        [this, message, lParam] {
            if (message == PSM_SETWIZBUTTONS) {
                SetWizardButtons(lParam);
            }
        },
        Qt::QueuedConnection);
}

LRESULT CMyProperty::SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return sent_.Send([this, message, wParam, lParam] { return Relay(message, wParam, lParam); });
}

LRESULT CMyProperty::SendPageMessage(Page page, UINT message, WPARAM wParam, LPARAM lParam) {
    return sent_.Send([this, page, message, wParam, lParam] {
        return IsPrivateMessage(message) ? PageWindow(page).OnWizardMessage(message, wParam, lParam) : 0;
    });
}

void CMyProperty::RefreshPage(Page page) {
    sent_.Send([this, page] {
        PageWindow(page).UpdateData(false);
        return LRESULT{0};
    });
}

int CMyProperty::ShowMessageBox(const std::string& text, const std::string& caption, UINT style) {
    QWidget* owner = QThread::currentThread() == thread() ? this : nullptr;
    return static_cast<int>(
        sent_.Send([owner, text, caption, style] { return ShowWizardMessageBox(owner, text, caption, style); }));
}

void CMyProperty::BeginThread(std::function<unsigned()> worker) {
    ++running_;
    workers_.Start([this, worker = std::move(worker)] {
        worker();
        --running_;
    });
}

void CMyProperty::reject() {
    if (SwallowsCommand(IDCANCEL)) {
        return;
    }
    QWizard::reject();
}

void CMyProperty::keyPressEvent(QKeyEvent* event) {
    const bool finish = (buttons_ & PSWIZB_FINISH) != 0;
    QAbstractButton* target = nullptr;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            target = finish ? FinishButton() : NextButton();
        } else if (event->key() == Qt::Key_Escape) {
            target = CancelButton();
        }
    }
    if (target == nullptr) {
        QWizard::keyPressEvent(event);
        return;
    }
    ShowCancelState();
    if (target->isEnabled()) {
        target->click();
    }
    event->accept();
}

void CMyProperty::done(int result) {
    closing_ = true;
    sent_.Abandon();
    QWizard::done(result);
}

LRESULT CMyProperty::Relay(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PSM_SETWIZBUTTONS) {
        SetWizardButtons(lParam);
    } else if (IsPrivateMessage(message)) {
        for (TemplatePage* page : pages_) {
            page->OnWizardMessage(message, wParam, lParam);
        }
    }
    return 0;
}

void CMyProperty::Activate(int id) {
    switch (static_cast<Page>(id)) {
    case Page::Intro: ActivateIntroPage(*this); break;
    case Page::Connect: ActivateConnectPage(*this); break;
    case Page::Version: ActivateVersionPage(*this); break;
    case Page::Firmware: ActivateFirmwarePage(*this); break;
    case Page::Format: ActivateFormatPage(*this); break;
    default: break;   // -1: the sheet was reset as it closed
    }
}

void CMyProperty::OnButton(int which) {
    switch (which) {
    case BackId: back(); break;
    case NextId:
        if (currentId() == static_cast<int>(Page::Version) && LeaveVersionPage(*this) != 0) {
            return;
        }
        next();
        break;
    case FinishId: accept(); break;
    default: break;
    }
}

void CMyProperty::SetWizardButtons(LPARAM buttons) {
    buttons_ = buttons;
    const bool finish = (buttons & PSWIZB_FINISH) != 0;
    BackButton()->setEnabled((buttons & PSWIZB_BACK) != 0);
    // Finish takes Next's place.
    NextButton()->setVisible(!finish);
    NextButton()->setEnabled((buttons & PSWIZB_NEXT) != 0);
    FinishButton()->setVisible(finish);
    FinishButton()->setEnabled(finish);
    if (auto* button = qobject_cast<QPushButton*>(finish ? FinishButton() : NextButton())) {
        button->setDefault(true);
    }
    // Page 2 waits for the player for as long as it offers no button.
    if (currentId() == static_cast<int>(Page::Connect)) {
        static_cast<CStep2&>(PageWindow(Page::Connect)).ShowWaiting(buttons == 0);
    }
    ShowCancelState();
}

void CMyProperty::ShowCancelState() {
    CancelButton()->setEnabled((buttons_ & PSWIZB_FINISH) == 0 && !SwallowsCommand(IDCANCEL));
}

} // namespace updater::window
