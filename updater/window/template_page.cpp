#include "updater/window/template_page.h"

#include "updater/window/wizard_progress_bar.h"

#include <QGroupBox>
#include <QLabel>

#include <algorithm>

namespace updater::window {

TemplatePage::TemplatePage(int width, int height) : units_(DialogUnits::OfFont(font())) {
    setTitle(QString::fromUtf8(PageCaption));
    setMinimumSize(units_.Size(width, height));
}

void TemplatePage::UpdateData(bool saveAndValidate) {
    DoDataExchange(saveAndValidate);
    FitGrowingTexts();
}

void TemplatePage::LetGrow(QLabel* control, int bottom) {
    growing_.push_back({control, control->geometry(), units_.Y(bottom)});
}

void TemplatePage::FitGrowingTexts() {
    for (const auto& [control, box] : statics_) {
        const int needed = control->fontMetrics()
                               .boundingRect(QRect(0, 0, box.width(), box.height()),
                                             Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, control->text())
                               .height();
        control->resize(box.width(), std::max(box.height(), needed));
    }
    for (const auto& text : growing_) {
        const int needed = text.control->heightForWidth(text.box.width());
        const int room = std::max(text.box.height(), text.bottom - text.box.y());
        const int height = std::clamp(needed, text.box.height(), room);
        text.control->resize(text.box.width(), height);
    }
}

LRESULT TemplatePage::OnWizardMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return 0; }

QLabel* TemplatePage::AddStatic(int id, int x, int y, int width, int height, const QString& text) {
    auto* label = new QLabel(text, this);
    if (id != 0) {
        label->setObjectName(QString::number(id));
    }
    // A static control: plain text, wrapped at words, from the top left.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(units_.Rect(x, y, width, height));
    statics_.emplace_back(label, label->geometry());
    return label;
}

QGroupBox* TemplatePage::AddGroupBox(int x, int y, int width, int height, const QString& text) {
    auto* box = new QGroupBox(text, this);
    box->setGeometry(units_.Rect(x, y, width, height));
    return box;
}

WizardProgressBar* TemplatePage::AddProgressBar(int id, int x, int y, int width, int height) {
    auto* bar = new WizardProgressBar(this);
    bar->setObjectName(QString::number(id));
    bar->setGeometry(units_.Rect(x, y, width, height));
    return bar;
}

void TemplatePage::Exchange(QLabel& control, std::string& member, bool saveAndValidate) {
    if (saveAndValidate) {
        member = control.text().toStdString();
    } else {
        control.setText(QString::fromStdString(member));
    }
}

} // namespace updater::window
