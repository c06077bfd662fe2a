// Drives the wizard window as a person does: waits until it waits for the
// user, clicks its buttons or presses keys, answers its message boxes, and
// reads what each page shows, its buttons as the window shows them.
#pragma once

#include "updater/wizard/sheet.h"
#include "updater/window/my_property.h"
#include "updater/window/template_page.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace windowtest {

using updater::Page;
using updater::window::CMyProperty;

// The control that holds each page's main text.
inline QLabel* MainTextControl(const CMyProperty& sheet, Page page) {
    static constexpr const char* Ids[] = {"1010", "1010", "1005", "1011", "1017"};
    return sheet.PageWindow(page).findChild<QLabel*>(Ids[static_cast<int>(page)]);
}

// Where the wizard stopped for the user: the page, the buttons posted, the
// buttons the window shows enabled (as PSWIZB_* flags) and whether Cancel
// is, and the page's text.
struct Stop {
    Page page = Page::Intro;
    updater::LPARAM buttons = 0;
    updater::LPARAM shown = 0;
    bool cancel = false;
    QString text;

    bool operator==(const Stop&) const = default;
};

// A stop as the user must see it: the buttons shown as posted, Cancel
// beside any but Finish.
inline Stop Expected(Page page, updater::LPARAM buttons, const QString& text) {
    return {page, buttons, buttons, (buttons & updater::PSWIZB_FINISH) == 0, text};
}

inline char* toString(const Stop& stop) {
    return QTest::toString(QStringLiteral("page %1, buttons %2, shown %3, cancel %4, \"%5\"")
                               .arg(static_cast<int>(stop.page))
                               .arg(stop.buttons)
                               .arg(stop.shown)
                               .arg(stop.cancel)
                               .arg(stop.text.left(50)));
}

// How the user goes on at a stop.
enum class Advance { ClickNext, PressReturn };

class WizardDriver {
public:
    explicit WizardDriver(CMyProperty& sheet) : sheet_(sheet) {
        // Message boxes run loops of their own; a timer answers them there.
        QObject::connect(&boxTimer_, &QTimer::timeout, [this] { AnswerVisibleBoxes(); });
        boxTimer_.start(5);
    }

    // Answers for the next message boxes, in order; a box without one gets its default.
    void Answer(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
    const QStringList& BoxTexts() const { return boxTexts_; }
    // The buttons' texts of the boxes answered, in the order they were shown.
    const QStringList& BoxButtonTexts() const { return boxButtonTexts_; }

    // Runs the window's events until `condition` holds. The window thread
    // never sleeps meanwhile: workers wait on it for every sent message.
    template <class Condition>
    bool WaitFor(Condition condition, int timeoutMs = 60000) {
        const QDeadlineTimer deadline(timeoutMs);
        QCoreApplication::processEvents();
        while (!condition()) {
            if (deadline.hasExpired()) {
                return false;
            }
            // Wakes for every event, the answering timer's at least.
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    // Waits until Back, Next or Finish is enabled and no worker runs (a
    // worker may post its buttons a moment before it refreshes its page), or
    // until the wizard has closed.
    bool WaitForStop(int timeoutMs = 60000) {
        return WaitFor(
            [this] {
                return (sheet_.WizardButtons() != 0 && sheet_.RunningWorkers() == 0) || !sheet_.isVisible();
            },
            timeoutMs);
    }
    Stop Current() const {
        const auto page = static_cast<Page>(sheet_.currentId());
        const auto enabled = [](const QAbstractButton* button) { return button->isVisible() && button->isEnabled(); };
        const updater::LPARAM shown = (enabled(sheet_.BackButton()) ? updater::PSWIZB_BACK : 0) |
                                      (enabled(sheet_.NextButton()) ? updater::PSWIZB_NEXT : 0) |
                                      (enabled(sheet_.FinishButton()) ? updater::PSWIZB_FINISH : 0);
        return {page, sheet_.WizardButtons(), shown, enabled(sheet_.CancelButton()),
                MainTextControl(sheet_, page)->text()};
    }
    // Clicks, then lets the window take what the click posted.
    void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // A key as the user presses it: to the widget that has the focus in the
    // sheet (a button, mostly), which passes on what it does not take.
    void Press(Qt::Key key) {
        QWidget* focus = sheet_.focusWidget();
        QTest::keyClick(focus != nullptr ? focus : &sheet_, key);
        QCoreApplication::processEvents();
    }
    void Go(Advance how, QAbstractButton* button) {
        if (how == Advance::PressReturn) {
            Press(Qt::Key_Return);
        } else {
            Click(button);
        }
    }
    // Next at every stop until Finish (or no Next) is offered, or until
    // `limit` stops; `atStop` sees each stop first. The stops on the way.
    QList<Stop> RunToFinish(const std::function<void(const Stop&)>& atStop = {}, qsizetype limit = 100,
                            Advance how = Advance::ClickNext) {
        QList<Stop> stops;
        while (stops.size() < limit && WaitForStop() && sheet_.isVisible()) {
            stops.push_back(Current());
            if (atStop) {
                atStop(stops.back());
            }
            const auto buttons = sheet_.WizardButtons();
            if (QTest::currentTestFailed() || (buttons & updater::PSWIZB_FINISH) != 0 ||
                (buttons & updater::PSWIZB_NEXT) == 0) {
                break;
            }
            Go(how, sheet_.NextButton());
        }
        return stops;
    }

private:
    void AnswerVisibleBoxes() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            boxTexts_.push_back(box->text());
            for (const QAbstractButton* each : box->buttons()) {
                boxButtonTexts_.push_back(each->text());
            }
            QAbstractButton* button = box->defaultButton();
            if (!answers_.empty()) {
                button = box->button(answers_.front());
                answers_.pop_front();
            }
            button->click();
        }
    }

    CMyProperty& sheet_;
    QTimer boxTimer_;
    std::deque<QMessageBox::StandardButton> answers_;
    QStringList boxTexts_;
    QStringList boxButtonTexts_;
};

} // namespace windowtest
