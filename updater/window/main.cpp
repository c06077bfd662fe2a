// qrm284-updater: brings a connected player to the firmware this program
// carries, in a wizard of five pages. The screen's colour depth picks the
// pictures, the system's language the texts and the frame around them; the
// program ends when the wizard closes, by Finish or by Cancel alike.
#include "updater/window/my_property.h"
#include "updater/window/program_icon.h"
#include "updater/window/sheet_pictures.h"
#include "updater/window/system_language.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstring>
#include <initializer_list>

namespace {

void DescribeProgram() {
    QCoreApplication::setApplicationName(QStringLiteral("qrm284-updater"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QRM284_VERSION));
}

void AddOptions(QCommandLineParser& options) {
    options.setApplicationDescription(
        QStringLiteral("Brings the connected QRM-284 player to the firmware this program carries (1.43.22).\n"
                       "The player is reached as KVX512_USB says: libusb (default), sim, or usbip://HOST[:PORT][/BUSID]."));
    options.addHelpOption();
    options.addVersionOption();
}

// --help and --version print and end: they need no display, so that they
// work where none is (manual pages are made from them at build time).
bool AsksOnlyForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "-help", "--help-all", "-?", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication text(argc, argv);
        DescribeProgram();
        QCommandLineParser options;
        AddOptions(options);
        options.process(text);   // prints and exits
        return 0;
    }
    QApplication application(argc, argv);
    DescribeProgram();
    QCommandLineParser options;
    AddOptions(options);
    options.process(application);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qrm284-updater"), updater::window::ProgramIcon()));

    const auto pictures = updater::window::LoadSheetPictures(updater::window::ScreenDepth());
    updater::window::UseSystemLanguage();
    updater::window::CMyProperty sheet(pictures.watermark, pictures.header);
    sheet.exec();
    return 0;
}
