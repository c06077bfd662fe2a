#include "updater/resources/wizard_pictures.h"

// The generated files are pulled in whole by the assembler, as the carried
// firmware and font are.
#define UPDATER_PICTURE(id)                                                                                           \
    ".balign 4\n"                                                                                                     \
    ".globl updater_picture_" #id "_begin\n"                                                                          \
    ".hidden updater_picture_" #id "_begin\n"                                                                         \
    "updater_picture_" #id "_begin:\n"                                                                                \
    ".incbin \"" UPDATER_PICTURE_DIR "/bitmap_" #id ".bmp\"\n"                                                        \
    ".globl updater_picture_" #id "_end\n"                                                                            \
    ".hidden updater_picture_" #id "_end\n"                                                                           \
    "updater_picture_" #id "_end:\n"

asm(".pushsection .rodata.updater_pictures,\"a\",@progbits\n" UPDATER_PICTURE(103) UPDATER_PICTURE(104)
        UPDATER_PICTURE(105) UPDATER_PICTURE(106) ".popsection\n");

extern "C" {
extern const uint8_t updater_picture_103_begin[];
extern const uint8_t updater_picture_103_end[];
extern const uint8_t updater_picture_104_begin[];
extern const uint8_t updater_picture_104_end[];
extern const uint8_t updater_picture_105_begin[];
extern const uint8_t updater_picture_105_end[];
extern const uint8_t updater_picture_106_begin[];
extern const uint8_t updater_picture_106_end[];
}

namespace updater::resources {

std::span<const uint8_t> FindPicture(int id) {
    switch (id) {
    case Header16Colours: return {updater_picture_103_begin, updater_picture_103_end};
    case Header256Colours: return {updater_picture_104_begin, updater_picture_104_end};
    case Watermark16Colours: return {updater_picture_105_begin, updater_picture_105_end};
    case Watermark256Colours: return {updater_picture_106_begin, updater_picture_106_end};
    default: return {};
    }
}

} // namespace updater::resources
