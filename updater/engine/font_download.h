// Writing the carried font to the player after a format.
#pragma once

#include "updater/engine/progress.h"

#include <cstdint>
#include <string>

namespace updater {

inline constexpr uint32_t FontChunkBytes = 32768;
inline constexpr uint32_t DataWriteBytes = 16384;
// The start block's length byte is the name length + 8, so longer names do
// not fit in it.
inline constexpr size_t MaxFontNameLength = 247;

// Opens a new engine link and announces the font: "W" to group 'U' with the
// name's bytes and the size (4 bytes, most significant first). Done when the
// player accepted (the link stays open for the data). A name longer than 247
// bytes is BadFile before anything is sent; a failed exchange closes the link.
Outcome StartFontDownload(const std::string& name, uint32_t size);

// Sends font data in pieces of 32,768 bytes through WriteDataBlocks; false
// for no data or at the first piece that fails.
bool SendFontChunk(const uint8_t* data, uint32_t length);

// Writes data on the open engine link as 16,384-byte transfers and one last
// transfer of the remainder rounded up to 512 bytes, its padding zeros. A
// failed write sends the cancel request and closes the link. False without
// an open link, data or length.
bool WriteDataBlocks(const uint8_t* data, uint32_t length);

// Writes the font file at `path` to the player: the Font phase begins once
// the file is open and not empty, the start block announces the path, a
// percentage is reported whenever it grows (one per 32,768-byte chunk at
// most), and the link is closed after the last chunk. NoFile when the file
// cannot be opened, BadFile when it is empty or cannot be read. The file is
// left in place.
Outcome DownloadFontFile(const std::string& path, Progress& progress);

// DownloadFontFile of the carried font (resource 309) through a new
// temporary file, deleted afterwards; `path` is set to that file's name
// (empty when none could be made) for the message of a NoFile outcome.
Outcome DownloadCarriedFont(Progress& progress, std::string& path);

} // namespace updater
