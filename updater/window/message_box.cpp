#include "updater/window/message_box.h"

#include <QMessageBox>

namespace updater::window {

namespace {

constexpr UINT ButtonMask = 0x000F;
constexpr UINT IconMask = 0x00F0;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONQUESTION = 0x0020;

QMessageBox::Icon IconOf(UINT style) {
    switch (style & IconMask) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowWizardMessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT style) {
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    box.setIcon(IconOf(style));
    const bool yesNo = (style & ButtonMask) == MB_YESNO;
    box.setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if ((style & MB_SYSTEMMODAL) != 0) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    const int answer = box.exec();
    if (yesNo) {
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    }
    return IDOK;
}

} // namespace updater::window
