// qrm284-updater: brings a connected player to the firmware this program
// carries, in a wizard of five pages. The screen's colour depth picks the
// pictures, the system's language the texts; the program ends when the
// wizard closes, by Finish or by Cancel alike.
#include "updater/wizard/wizard_texts.h"
#include "updater/window/my_property.h"
#include "updater/window/sheet_pictures.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qrm284-updater"));
    QApplication::setApplicationVersion(QStringLiteral(QRM284_VERSION));
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Brings the connected QRM-284 player to the firmware this program carries (1.43.22).\n"
                       "The player is reached as KVX512_USB says: libusb (default), sim, or usbip://HOST[:PORT][/BUSID]."));
    options.addHelpOption();
    options.addVersionOption();
    options.process(application);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qrm284-updater")));

    const auto pictures = updater::window::LoadSheetPictures(updater::window::ScreenDepth());
    updater::SelectTextLanguage();
    updater::window::CMyProperty sheet(pictures.watermark, pictures.header);
    sheet.exec();
    return 0;
}
