// Writes the program's icon as a PNG of the given size, for the icon theme
// the desktop's menu finds it in.
//
//   program_icon_generator SIZE OUT.png
#include "updater/window/program_icon.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: %s SIZE OUT.png\n", argv[0]);
        return 2;
    }
    if (!updater::window::DrawProgramIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG", 0)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
