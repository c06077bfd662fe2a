// Grabs the wizard's pages as PNG files, clicking through a whole update of
// whatever player KVX512_USB names (kvx512-sim for the README's pictures).
//
//   wizard_screenshots OUTDIR PREFIX [LAST]
//
// writes OUTDIR/PREFIX-N.png for the N-th stop of the run, up to LAST stops
// (all by default), then closes the wizard.
#include "tests/integration/updater_window/wizard_driver.h"
#include "updater/window/sheet_pictures.h"
#include "updater/window/system_language.h"

#include <QDir>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR PREFIX [LAST]\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int last = argc > 3 ? std::atoi(argv[3]) : 100;

    const auto pictures = updater::window::LoadSheetPictures(updater::window::ScreenDepth());
    updater::window::UseSystemLanguage();
    updater::window::CMyProperty sheet(pictures.watermark, pictures.header);
    sheet.show();
    windowtest::WizardDriver driver(sheet);
    int written = 0;
    bool failed = false;
    driver.RunToFinish(
        [&](const windowtest::Stop&) {
            QTest::qWait(100);   // let it paint
            const QImage image = sheet.grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QString file = out.filePath(QStringLiteral("%1-%2.png").arg(prefix).arg(++written));
            if (!image.save(file, "PNG", 0)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                failed = true;
            }
        },
        last);
    sheet.done(0);
    return failed ? 1 : 0;
}
