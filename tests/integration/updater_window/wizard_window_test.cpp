// The update wizard's window driven as a person drives it, against the
// in-process simulated player: the pages shown, their buttons, texts and
// bars, the message boxes (answered here), and what crossed the wire.
#include "tests/integration/updater_window/wizard_driver.h"

#include "platform/system/clock.h"
#include "sim/bus.h"
#include "updater/engine/engine_link.h"
#include "updater/resources/wizard_pictures.h"
#include "updater/wizard/manager_check.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"
#include "updater/window/frame_translation.h"
#include "updater/window/language_font.h"
#include "updater/window/sheet_pictures.h"
#include "updater/window/wizard_progress_bar.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTextLayout>

#include <chrono>
#include <map>
#include <memory>
#include <string_view>
#include <thread>

namespace {

using namespace updater;
using updater::window::WizardProgressBar;
using windowtest::Stop;
using windowtest::WizardDriver;

kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }

QString Text(TextId id) { return QString::fromStdString(WizardText(id)); }

// What the user is shown at a stop.
struct ExpectedStop {
    Page page;
    LPARAM buttons;
    TextId text;
};

enum class Fault {
    None,
    PlayerGoneBeforePage3,   // text 112
    ProgramNeverConfirmed,   // text 119
    FormatRefused,           // text 120
    FontCut,                 // text 121
};

struct RunCase {
    QString identity;
    QString version;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;   // to text 116, when asked
    Fault fault = Fault::None;
    QList<ExpectedStop> stops;
    QString shownVersion;
    bool firmwareWritten = false;   // and confirmed: the player restarts with it
    bool formatted = false;
    windowtest::Advance how = windowtest::Advance::ClickNext;   // and Finish alike
};

constexpr LPARAM BackNext = PSWIZB_BACK | PSWIZB_NEXT;

// WM_WIZ_PROGRESS messages as (wParam, lParam).
using Messages = QList<QPair<int, int>>;

} // namespace

Q_DECLARE_METATYPE(RunCase)

class WizardWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // The offscreen platform says so for every window it shows.
        static QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("propagateSizeHints"))) {
                    previous(type, context, message);
                }
            });
    }

    void init() {
        font_ = QApplication::font();
        kvx512sim::Bus::Instance().Reset();
        ResetWizardState();
        CloseEngineLink();
        SetLinkTimeouts(UsualReadTimeoutMs, WriteTimeoutMs);
        SetSystemDefaultLangIdOverride(LangEnglishUs);
        SelectTextLanguage();
        // Waits of seconds pass in a tenth of the time.
        platform::SetClockHooks(
            {[](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms / 10)); }, {}});
        // A process list of our own, without manager programs unless a test puts one there.
        processes_ = std::make_unique<QTemporaryDir>();
        SetProcessListRoot(processes_->path().toStdString());
        Player().RecordTranscript(true);
        QVERIFY(Player().PutFile(0, "/song.mp3", std::vector<uint8_t>(5000, 1)));
    }

    void cleanup() {
        driver_.reset();
        sheet_.reset();   // closes and joins its workers
        platform::SetClockHooks({});
        SetProcessListRoot({});
        SetSystemDefaultLangIdOverride(std::nullopt);
        window::InstallFrameTranslation(LangEnglishUs);
        QApplication::setFont(font_);
        CloseEngineLink();
    }

    void wholeRun_data() {
        QTest::addColumn<RunCase>("run");
        // Pages 1 and 2 as every run shows them, then `rest`.
        const auto stops = [](std::initializer_list<ExpectedStop> rest) {
            return QList<ExpectedStop>{{Page::Intro, PSWIZB_NEXT, TextId::Welcome},
                                       {Page::Connect, BackNext, TextId::ConnectPlayer}} +
                   QList<ExpectedStop>(rest);
        };
        const ExpectedStop version = {Page::Version, BackNext, TextId::VersionShown};
        const ExpectedStop reconnect = {Page::Firmware, PSWIZB_NEXT, TextId::ReconnectForFormat};
        const auto end = [](Page page, TextId text) { return ExpectedStop{page, PSWIZB_FINISH, text}; };

        QTest::newRow("old firmware: format and font")
            << RunCase{"APPL", "1.4310", {}, Fault::None,
                       stops({version, reconnect, end(Page::Format, TextId::AllDone)}), "1.43.10", true, true};
        QTest::newRow("old firmware, by Return alone")
            << RunCase{"APPL", "1.4310", {}, Fault::None,
                       stops({version, reconnect, end(Page::Format, TextId::AllDone)}), "1.43.10", true, true,
                       windowtest::Advance::PressReturn};
        QTest::newRow("1.43.15: no page 5")
            << RunCase{"APPL", "1.4315", {}, Fault::None,
                       stops({version, end(Page::Firmware, TextId::AllDone)}), "1.43.15", true, false};
        QTest::newRow("1.43.22, asked, yes")
            << RunCase{"APPL", "1.4322", QMessageBox::Yes, Fault::None,
                       stops({version, end(Page::Firmware, TextId::AllDone)}), "1.43.22", true, false};
        QTest::newRow("1.43.22, asked, yes, by Return alone")
            << RunCase{"APPL", "1.4322", QMessageBox::Yes, Fault::None,
                       stops({version, end(Page::Firmware, TextId::AllDone)}), "1.43.22", true, false,
                       windowtest::Advance::PressReturn};
        QTest::newRow("1.43.22, asked, no")
            << RunCase{"APPL", "1.4322", QMessageBox::No, Fault::None,
                       stops({version, end(Page::Version, TextId::VersionKept)}), "1.43.22", false, false};
        QTest::newRow("boot code: never asked, format and font")
            << RunCase{"BOOT", "1.4322", {}, Fault::None,
                       stops({version, reconnect, end(Page::Format, TextId::AllDone)}), "BOOT 1.43.22", true, true};
        QTest::newRow("version unread (112)")
            << RunCase{"APPL", "1.4310", {}, Fault::PlayerGoneBeforePage3,
                       stops({end(Page::Version, TextId::VersionUnread)}), "", false, false};
        QTest::newRow("firmware fails (119)")
            << RunCase{"APPL", "1.4310", {}, Fault::ProgramNeverConfirmed,
                       stops({version, end(Page::Firmware, TextId::FirmwareFailed)}), "1.43.10", false, false};
        QTest::newRow("format fails (120)")
            << RunCase{"APPL", "1.4310", {}, Fault::FormatRefused,
                       stops({version, reconnect, end(Page::Format, TextId::FormatFailed)}), "1.43.10", true, false};
        QTest::newRow("font fails (121)")
            << RunCase{"APPL", "1.4310", {}, Fault::FontCut,
                       stops({version, reconnect, end(Page::Format, TextId::FontFailed)}), "1.43.10", true, true};
    }

    // Next (clicked, or Return) at every stop, the page's text, buttons and
    // bars as the user sees them, Finish at the end; then the player's side.
    void wholeRun() {
        QFETCH(RunCase, run);
        kvx512sim::Identification identification;
        identification.identity = run.identity.toStdString();
        identification.version = run.version.toStdString();
        Player().SetIdentification(identification);
        if (run.fault == Fault::ProgramNeverConfirmed) {
            kvx512sim::FirmwareSettings settings;
            settings.busyRepliesAfterProgram = 2000;
            Player().SetFirmwareSettings(settings);
        } else if (run.fault == Fault::FontCut) {
            Player().DetachAfterDataBytes(20000);
        }
        Player().ClearTranscript();
        if (run.answer != QMessageBox::NoButton) {
            Driver().Answer(run.answer);
        }
        const auto peak4 = RecordPeak(Page::Firmware);
        const auto peak5 = RecordPeak(Page::Format);

        const QList<Stop> seen = Driver().RunToFinish([&](const Stop& stop) {
            QVERIFY2(ShownWhole(stop.page), qPrintable(stop.text));
            if (stop.page == Page::Version) {
                QCOMPARE(Label(Page::Version, "1003")->text(), run.shownVersion);
                QCOMPARE(Label(Page::Version, "1004")->text(), QStringLiteral("1.43.22"));
            }
            if (stop.page == Page::Connect && run.fault == Fault::PlayerGoneBeforePage3) {
                Player().Detach();
            } else if (stop.page == Page::Firmware && run.fault == Fault::FormatRefused) {
                Player().RefuseNextCommand(0x05);
            }
        }, 100, run.how);
        QCOMPARE(seen.size(), run.stops.size());
        for (qsizetype i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i], (windowtest::Expected(run.stops[i].page, run.stops[i].buttons, Text(run.stops[i].text))));
        }
        const bool asked = run.identity == "APPL" && run.version == "1.4322";
        QCOMPARE(Driver().BoxTexts(), asked ? QStringList{Text(TextId::AlreadyCurrent)} : QStringList{});
        QVERIFY(!Sheet().BackButton()->isEnabled());
        QTRY_COMPARE(g_bBusy.load(), 0);   // cleared just after Finish is posted
        if (run.stops.back().text == TextId::AllDone) {
            QVERIFY(Bar(run.stops.back().page)->isHidden());
        }

        Driver().Go(run.how, Sheet().FinishButton());
        QVERIFY(!Sheet().isVisible());
        QCOMPARE(Sheet().result(), int(QDialog::Accepted));

        // The player's side: the image programmed, the storage formatted, the font.
        const bool page4Reached = run.stops.back().page >= Page::Firmware;
        QCOMPARE(int(Player().Firmware().AnnouncedBlocks()), page4Reached ? 845 : 0);
        QCOMPARE(Player().GetIdentification().version, run.firmwareWritten ? "1.4322" : run.version.toStdString());
        if (run.firmwareWritten) {
            QCOMPARE(*peak4, 100);
        }
        QCOMPARE(Player().FileData(0, "/song.mp3").has_value(), !run.formatted);
        QCOMPARE(CommandCount("MLD"), run.stops.back().page == Page::Format ? 1 : 0);
        const bool fontLoaded = run.formatted && run.fault == Fault::None;
        QCOMPARE(Player().FontData().size(), fontLoaded ? size_t{2093088} : size_t{0});
        if (fontLoaded) {
            QCOMPARE(*peak5, 100);
        }
    }

    void cancel_data() {
        QTest::addColumn<int>("busyPage");
        QTest::addColumn<bool>("ends");
        QTest::newRow("while the firmware is written: nothing happens") << int(Page::Firmware) << false;
        QTest::newRow("while formatting: nothing happens") << int(Page::Format) << false;
        QTest::newRow("while waiting for the reconnection: the program ends") << int(Page::Firmware) << true;
    }

    // Cancel, Escape, Return and the title bar's close while a long
    // operation runs and while the player is awaited again.
    void cancel() {
        QFETCH(int, busyPage);
        QFETCH(bool, ends);
        kvx512sim::FirmwareSettings settings;
        if (ends) {
            settings.restartPauseMs = 600000;   // the player stays away
        } else if (busyPage == int(Page::Firmware)) {
            settings.countedErase = false;      // a plain erase with the timer's bar
            settings.eraseDelayMs = 1500;
        } else {
            Player().SetFormatPace(33, 500);
        }
        Player().SetFirmwareSettings(settings);

        while (Sheet().currentId() < busyPage) {
            QVERIFY(Driver().WaitForStop());
            Driver().Click(Sheet().NextButton());
        }
        const auto waiting = [&] {
            return ends ? MainText(Page::Firmware) == Text(TextId::ReconnectForFormat) && g_bBusy == 0 : g_bBusy != 0;
        };
        QVERIFY(Driver().WaitFor([&] { return Sheet().currentId() == busyPage && waiting(); }));
        QVERIFY(Driver().WaitFor([&] { return Sheet().CancelButton()->isEnabled() == ends; }));
        Driver().Press(Qt::Key_Return);   // Next is disabled: nothing
        QVERIFY(Sheet().isVisible());
        QCOMPARE(Sheet().currentId(), busyPage);

        Driver().Click(Sheet().CancelButton());
        if (ends) {
            QVERIFY(!Sheet().isVisible());
            QCOMPARE(Sheet().result(), int(QDialog::Rejected));
            QElapsedTimer closing;
            closing.start();
            driver_.reset();
            sheet_.reset();   // the player detection gives up
            QVERIFY(closing.elapsed() < 5000);
            QVERIFY(Player().FileData(0, "/song.mp3").has_value());
            return;
        }
        QVERIFY2(Sheet().isVisible(), "Cancel is swallowed");
        Driver().Press(Qt::Key_Escape);
        QVERIFY2(Sheet().isVisible(), "Escape is swallowed");
        QVERIFY2(!Sheet().close(), "closing the window is swallowed");
        QCOMPARE(Sheet().currentId(), busyPage);
        QCOMPARE(Sheet().WizardButtons(), LPARAM{0});

        // The run goes on to its end.
        const auto stops = Driver().RunToFinish();
        QVERIFY(!stops.empty());
        QCOMPARE(stops.back(), (windowtest::Expected(Page::Format, PSWIZB_FINISH, Text(TextId::AllDone))));
    }

    // Back from page 2 runs the manager check of page 1 again (its warning
    // comes again), Back from page 3 the wait for the player of page 2.
    void backRunsTheEarlierPagesWorkerAgain() {
        QDir processes(processes_->path());
        QVERIFY(processes.mkdir("4242"));
        WriteFile(processes.filePath("4242/comm"), "Tunewharf\n");
        WriteFile(processes.filePath("4242/stat"), "4242 (Tunewharf) Z 1 4242 4242 0 -1\n");
        const QString warning = QString::fromUtf8(CloseManagerText);

        QVERIFY(Driver().WaitForStop());
        QCOMPARE(Driver().Current(), (windowtest::Expected(Page::Intro, PSWIZB_NEXT, Text(TextId::Welcome))));
        Driver().Click(Sheet().NextButton());
        QVERIFY(Driver().WaitForStop());
        QCOMPARE(Driver().Current().buttons, BackNext);
        Driver().Click(Sheet().BackButton());
        QVERIFY(Driver().WaitForStop());
        QCOMPARE(Driver().Current(), (windowtest::Expected(Page::Intro, PSWIZB_NEXT, Text(TextId::Welcome))));
        QCOMPARE(Driver().BoxTexts(), (QStringList{warning, warning}));

        Driver().Click(Sheet().NextButton());
        QVERIFY(Driver().WaitForStop());
        Driver().Click(Sheet().NextButton());
        QVERIFY(Driver().WaitForStop());
        QCOMPARE(Driver().Current().page, Page::Version);
        Player().Detach();
        Driver().Click(Sheet().BackButton());
        QCOMPARE(Sheet().currentId(), int(Page::Connect));
        QTest::qWait(300);
        QVERIFY2(Sheet().WizardButtons() == 0, "the player is awaited again");
        QVERIFY(WaitingBar()->isVisible());
        QCOMPARE(WaitingBar()->maximum(), 0);   // busy, no position
        Driver().Press(Qt::Key_Return);
        QVERIFY2(Sheet().isVisible() && Sheet().currentId() == int(Page::Connect), "Return waits with Next");
        Player().Attach();
        QVERIFY(Driver().WaitForStop());
        QVERIFY(!WaitingBar()->isVisible());
        QCOMPARE(Driver().Current(), (windowtest::Expected(Page::Connect, BackNext, Text(TextId::ConnectPlayer))));
    }

    void pictures_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("watermark");
        QTest::addColumn<int>("header");
        QTest::newRow("no screen") << 0 << 105 << 103;
        QTest::newRow("4 bpp") << 4 << 105 << 103;
        QTest::newRow("8 bpp") << 8 << 106 << 104;
        QTest::newRow("16 bpp") << 16 << 106 << 104;
        QTest::newRow("32 bpp") << 32 << 106 << 104;
    }

    // The pair the depth calls for, with the sizes and colours it must have,
    // and the parts of it the sheet shows.
    void pictures() {
        QFETCH(int, depth);
        QFETCH(int, watermark);
        QFETCH(int, header);
        const auto ids = window::PicturesForDepth(depth);
        QCOMPARE(ids.watermark, watermark);
        QCOMPARE(ids.header, header);
        struct Shape {
            int width, height, bits;
        };
        const std::map<int, Shape> shapes = {
            {103, {629, 64, 4}}, {104, {579, 375, 8}}, {105, {499, 314, 4}}, {106, {579, 375, 8}}};
        for (int id : {watermark, header}) {
            const auto bytes = resources::FindPicture(id);
            QCOMPARE(bytes[28] | bytes[29] << 8, shapes.at(id).bits);   // the BMP's bits per pixel
            const QImage image = QImage::fromData(bytes.data(), int(bytes.size()), "BMP");
            QCOMPARE(image.size(), QSize(shapes.at(id).width, shapes.at(id).height));
            QCOMPARE(image.colorCount(), 1 << shapes.at(id).bits);
        }

        const auto pictures = window::LoadSheetPictures(depth);
        sheet_ = std::make_unique<window::CMyProperty>(pictures.watermark, pictures.header);
        Sheet().show();
        QVERIFY(Driver().WaitForStop());
        const QPixmap strip = Sheet().page(int(Page::Intro))->pixmap(QWizard::WatermarkPixmap);
        QCOMPARE(strip.width(), (strip.height() * 164 + 157) / 314);
        QVERIFY2(strip.height() > Sheet().PageWindow(Page::Intro).minimumHeight(), "as tall as the room beside page 1");
        const QPixmap band = Sheet().pixmap(QWizard::BannerPixmap);
        QCOMPARE(band.width(), Sheet().width());
        QCOMPARE(band.height(), (band.width() * 64 + 314) / 629);
    }

    void languages_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << int(LangEnglishUs);
        QTest::newRow("Korean") << int(LangKorean);
        QTest::newRow("Japanese") << int(LangJapanese);
        QTest::newRow("Traditional Chinese") << int(LangChineseTaiwan);
        QTest::newRow("Simplified Chinese") << int(LangChinesePrc);
    }

    // Each language's texts on the page, every character with a glyph of
    // its own in the page's font or its fallbacks; the frame (the sheet's
    // and the message boxes' buttons) in the same language; a proportional
    // face, and every label whole in its box.
    void languages() {
        QFETCH(int, language);
        SetSystemDefaultLangIdOverride(uint16_t(language));
        SelectTextLanguage();
        QVERIFY(window::InstallFrameTranslation(uint16_t(language)));
        window::UseLanguageFont(uint16_t(language));
        QVERIFY(Driver().WaitForStop());
        QLabel* label = windowtest::MainTextControl(Sheet(), Page::Intro);
        QCOMPARE(label->text(), Text(TextId::Welcome));
        const bool english = language == LangEnglishUs;
        QCOMPARE(label->text().toLatin1() == label->text().toUtf8(), english);
        for (int id = FirstWizardText; id <= LastWizardText; ++id) {
            QString text = Text(TextId(id));
            text.replace(u'\n', QChar::LineSeparator).replace(u'\t', u' ');
            QTextLayout layout(text, label->font());
            layout.beginLayout();
            while (layout.createLine().isValid()) {
            }
            layout.endLayout();
            for (const QGlyphRun& run : layout.glyphRuns()) {
                const auto glyphs = run.glyphIndexes();
                const QString where = QStringLiteral("%1 in %2").arg(id).arg(run.rawFont().familyName());
                QVERIFY2(!glyphs.contains(0), qPrintable(where));
            }
        }

        // The frame: no English left beside translated texts.
        Sheet().ShowMessageBox(WizardText(TextId::AlreadyCurrent), "Fw Loader", MB_YESNO | MB_ICONEXCLAMATION);
        QStringList frame = {Sheet().BackButton()->text(), Sheet().NextButton()->text(),
                             Sheet().FinishButton()->text(), Sheet().CancelButton()->text()};
        frame += Driver().BoxButtonTexts();
        const QStringList inEnglish = {"< &Back", "&Next >", "&Finish", "Cancel", "&Yes", "&No"};
        if (english) {
            QCOMPARE(frame, inEnglish);
        } else if (language == LangKorean) {
            QCOMPARE(frame, (QStringList{"< 뒤로(&B)", "다음 (&N) >", "완료(&F)", "취소", "예(&Y)", "아니요(&N)"}));
        }
        for (const QString& text : frame) {
            QVERIFY2(english == inEnglish.contains(text), qPrintable(text));
        }
        const QString notice = Sheet().PageWindow(Page::Intro).findChildren<QLabel*>().back()->text();
        QCOMPARE(notice.toLatin1() == notice.toUtf8(), english);

        QVERIFY(!QFontInfo(label->font()).fixedPitch());
        // Page 4's labels as the firmware step sets them.
        for (const char* text : {InitializingLabel, UpgradingLabel, ApplicationLabel}) {
            g_strStepText = text;
            Sheet().SendPageMessage(Page::Firmware, WM_WIZ_LABEL, text == ApplicationLabel ? 0 : 1, 0);
            QVERIFY2(LabelsWhole(), text);
        }
        g_strStepText.clear();
    }

    void progressMessages_data() {
        QTest::addColumn<Messages>("messages");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("upper");
        QTest::newRow("past the range: clamped") << Messages{{2, 106}} << true << 100 << 100;
        QTest::newRow("below it: clamped") << Messages{{2, -3}} << true << 0 << 100;
        QTest::newRow("range from the low word") << Messages{{3, 0x10032}, {2, 70}} << true << 50 << 50;
        QTest::newRow("empty range: empty, not busy") << Messages{{2, 60}, {3, 0}} << true << 0 << 0;
        QTest::newRow("hidden") << Messages{{2, 42}, {0, 0}} << false << 42 << 100;
        QTest::newRow("hidden, then shown") << Messages{{0, 0}, {1, 0}} << true << 0 << 100;
    }

    // WM_WIZ_PROGRESS reaches the bars of pages 4 and 5 alike.
    void progressMessages() {
        QFETCH(Messages, messages);
        QFETCH(bool, visible);
        QFETCH(int, position);
        QFETCH(int, upper);
        for (const auto& [wParam, lParam] : messages) {
            Sheet().SendSheetMessage(WM_WIZ_PROGRESS, WPARAM(wParam), LPARAM(lParam));
        }
        for (Page page : {Page::Firmware, Page::Format}) {
            auto* bar = static_cast<WizardProgressBar*>(Bar(page));
            QCOMPARE(!bar->isHidden(), visible);
            QCOMPARE(bar->value(), position);
            QCOMPARE(bar->Upper(), upper);
            QVERIFY(bar->maximum() > bar->minimum());
        }
    }

private:
    window::CMyProperty& Sheet() {
        if (!sheet_) {
            const auto pictures = window::LoadSheetPictures(window::ScreenDepth());
            sheet_ = std::make_unique<window::CMyProperty>(pictures.watermark, pictures.header);
            Sheet().show();
        }
        return *sheet_;
    }
    WizardDriver& Driver() {
        if (!driver_) {
            driver_ = std::make_unique<WizardDriver>(Sheet());
        }
        return *driver_;
    }
    QLabel* Label(Page page, const char* id) { return Sheet().PageWindow(page).findChild<QLabel*>(id); }
    QString MainText(Page page) { return windowtest::MainTextControl(Sheet(), page)->text(); }
    QProgressBar* WaitingBar() { return Sheet().PageWindow(Page::Connect).findChild<QProgressBar*>(); }
    QProgressBar* Bar(Page page) {
        return Sheet().PageWindow(page).findChild<QProgressBar*>(page == Page::Firmware ? "1027" : "1018");
    }
    // Every label of every page shows its text whole: no line cut off at
    // the bottom, no word at the right.
    bool LabelsWhole() {
        for (Page page : {Page::Intro, Page::Connect, Page::Version, Page::Firmware, Page::Format}) {
            for (const QLabel* label : Sheet().PageWindow(page).findChildren<QLabel*>()) {
                const QRect needed = label->fontMetrics().boundingRect(
                    QRect(0, 0, label->width(), 10000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, label->text());
                if (needed.width() > label->width() || needed.height() > label->height()) {
                    qWarning() << "cut:" << label->text() << needed << label->size();
                    return false;
                }
            }
        }
        return true;
    }
    // The page's main text fits its control.
    bool ShownWhole(Page page) {
        QLabel* label = windowtest::MainTextControl(Sheet(), page);
        return label->heightForWidth(label->width()) <= label->height();
    }
    // The highest position a bar takes from now on.
    std::shared_ptr<int> RecordPeak(Page page) {
        auto peak = std::make_shared<int>(-1);
        connect(Bar(page), &QProgressBar::valueChanged, this, [peak](int value) { *peak = std::max(*peak, value); });
        return peak;
    }
    // Command blocks the host wrote whose group and code are `command`.
    static int CommandCount(std::string_view command) {
        int count = 0;
        for (const auto& block : Player().GetTranscript().Writes()) {
            count += block.size() >= 4 + command.size() && block[0] == '#' && block[3] == ':' &&
                     std::equal(command.begin(), command.end(), block.begin() + 4);
        }
        return count;
    }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    std::unique_ptr<QTemporaryDir> processes_;
    QFont font_;
    std::unique_ptr<window::CMyProperty> sheet_;
    std::unique_ptr<WizardDriver> driver_;
};

QTEST_MAIN(WizardWindowTest)
#include "wizard_window_test.moc"
