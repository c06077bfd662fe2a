// Writing the carried font to the player after a format.
#pragma once

#include "updater/wizard/sheet.h"

#include <cstdint>
#include <string>

namespace updater {

inline constexpr uint32_t FontChunkBytes = 32768;
inline constexpr uint32_t DataWriteBytes = 16384;
// The start block's length byte is the name length + 8, so longer names do
// not fit in it.
inline constexpr size_t MaxFontNameLength = 247;

// Opens a new engine link and announces the font: "W" to group 'U' with the
// name's bytes and the size (4 bytes, most significant first). 1 when the
// player accepted (the link stays open for the data), -1 otherwise; a name
// longer than 247 bytes is refused before anything is sent.
int StartFontDownload(const std::string& name, uint32_t size);

// Sends font data in pieces of 32,768 bytes through WriteDataBlocks; false
// for no data or at the first piece that fails.
bool SendFontChunk(const uint8_t* data, uint32_t length);

// Writes data on the open engine link as 16,384-byte transfers and one last
// transfer of the remainder rounded up to 512 bytes, its padding zeros. A
// failed write sends the cancel request and closes the link. False without
// an open link, data or length.
bool WriteDataBlocks(const uint8_t* data, uint32_t length);

// The second thread of page 5: writes the carried font (resource 309)
// through a temporary file and ends the wizard with text 122 or 121.
// 1 on success, 0 on failure.
unsigned FontDownloadWorker(Sheet& sheet);

} // namespace updater
