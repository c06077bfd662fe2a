#include "updater/resources/embedded_resources.h"

// The files are pulled in whole by the assembler, so the build needs no
// converter and the bytes are exactly those of the files.
asm(".pushsection .rodata.updater_resources,\"a\",@progbits\n"
    ".balign 16\n"
    ".globl updater_firmware_hex_begin\n"
    ".hidden updater_firmware_hex_begin\n"
    "updater_firmware_hex_begin:\n"
    ".incbin \"" UPDATER_FIRMWARE_HEX_PATH "\"\n"
    ".globl updater_firmware_hex_end\n"
    ".hidden updater_firmware_hex_end\n"
    "updater_firmware_hex_end:\n"
    ".balign 16\n"
    ".globl updater_font_begin\n"
    ".hidden updater_font_begin\n"
    "updater_font_begin:\n"
    ".incbin \"" UPDATER_FONT_PATH "\"\n"
    ".globl updater_font_end\n"
    ".hidden updater_font_end\n"
    "updater_font_end:\n"
    ".popsection\n");

extern "C" {
extern const uint8_t updater_firmware_hex_begin[];
extern const uint8_t updater_firmware_hex_end[];
extern const uint8_t updater_font_begin[];
extern const uint8_t updater_font_end[];
}

namespace updater::resources {

std::span<const uint8_t> FindResource(int id) {
    switch (id) {
    case FirmwareHexResource:
        return {updater_firmware_hex_begin, updater_firmware_hex_end};
    case FontResource:
        return {updater_font_begin, updater_font_end};
    default:
        return {};
    }
}

} // namespace updater::resources
