// Drives the wizard window as a person does: waits until it waits for the
// user, clicks its buttons, answers its message boxes, and reads what each
// page shows.
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

// Where the wizard stopped for the user: the page, its enabled buttons, its text.
struct Stop {
    Page page = Page::Intro;
    updater::LPARAM buttons = 0;
    QString text;

    bool operator==(const Stop&) const = default;
};

inline char* toString(const Stop& stop) {
    return QTest::toString(QStringLiteral("page %1, buttons %2, \"%3\"")
                               .arg(static_cast<int>(stop.page))
                               .arg(stop.buttons)
                               .arg(stop.text.left(50)));
}

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
    // Waits until Back, Next or Finish is enabled and no worker runs: a
    // worker may post its buttons a moment before it refreshes its page.
    bool WaitForStop(int timeoutMs = 60000) {
        return WaitFor([this] { return sheet_.WizardButtons() != 0 && sheet_.RunningWorkers() == 0; }, timeoutMs);
    }
    Stop Current() const {
        const auto page = static_cast<Page>(sheet_.currentId());
        return {page, sheet_.WizardButtons(), MainTextControl(sheet_, page)->text()};
    }
    // Clicks, then lets the window take what the click posted.
    void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Next at every stop until Finish (or no Next) is offered, or until
    // `limit` stops; `atStop` sees each stop first. The stops on the way.
    QList<Stop> RunToFinish(const std::function<void(const Stop&)>& atStop = {}, qsizetype limit = 100) {
        QList<Stop> stops;
        while (stops.size() < limit && WaitForStop()) {
            stops.push_back(Current());
            if (atStop) {
                atStop(stops.back());
            }
            const auto buttons = sheet_.WizardButtons();
            if (QTest::currentTestFailed() || (buttons & updater::PSWIZB_FINISH) != 0 ||
                (buttons & updater::PSWIZB_NEXT) == 0) {
                break;
            }
            Click(sheet_.NextButton());
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
};

} // namespace windowtest
