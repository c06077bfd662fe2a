// A wizard page laid out from its dialog template: each control at its
// dialog-unit rectangle, named after its control ID, and the page's text
// members moved into the controls by UpdateData.
#pragma once

#include "updater/wizard/sheet.h"
#include "updater/window/dialog_units.h"

#include <QString>
#include <QWizardPage>

#include <string>
#include <utility>
#include <vector>

class QGroupBox;
class QLabel;

namespace updater::window {

class WizardProgressBar;

// Every template's caption.
inline constexpr const char* PageCaption = "Firmware Update";

class TemplatePage : public QWizardPage {
public:
    // `width` x `height` is the template's size in dialog units.
    TemplatePage(int width, int height);

    // FALSE (workers' WM_WIZ_REFRESH 0): members into the controls; TRUE:
    // the controls' texts into the members.
    void UpdateData(bool saveAndValidate);
    // One of the private messages, relayed from the sheet or sent to this
    // page. Pages without handlers ignore them. Returns 0.
    virtual LRESULT OnWizardMessage(UINT message, WPARAM wParam, LPARAM lParam);

    const DialogUnits& Units() const { return units_; }

protected:
    virtual void DoDataExchange(bool saveAndValidate) = 0;

    // A static text; id 0 for an unnumbered one.
    QLabel* AddStatic(int id, int x, int y, int width, int height, const QString& text);
    QGroupBox* AddGroupBox(int x, int y, int width, int height, const QString& text);
    WizardProgressBar* AddProgressBar(int id, int x, int y, int width, int height);
    // One bound text: control to member when saving, member to control otherwise.
    static void Exchange(QLabel& control, std::string& member, bool saveAndValidate);
    // A text longer than its box grows down to `bottom` (dialog units) rather
    // than lose its last lines: some texts need more room than their box has.
    void LetGrow(QLabel* control, int bottom);

private:
    struct GrowingText {
        QLabel* control;
        QRect box;
        int bottom;
    };
    void FitGrowingTexts();

    DialogUnits units_;
    std::vector<GrowingText> growing_;
    // Every static with its template box: a face whose lines are taller
    // than the dialog unit's eighth would cut a one-line static's bottom.
    std::vector<std::pair<QLabel*, QRect>> statics_;
};

} // namespace updater::window
