// A title picture as terminal text: Unicode half blocks, two pixel rows a
// line, where the terminal takes UTF-8; elsewhere '#' for a lit pixel, one
// pixel row a line.
#pragma once

#include "plrapi/upload_preview.h"

#include <string>
#include <vector>

namespace qrm284 {

// The first `columns` columns of `bitmap`, trailing blanks cut off each line.
std::vector<std::string> BlockPicture(const plrapi::TitleBitmap& bitmap, int columns, bool utf8);

// True when the locale's character set (LC_ALL, LC_CTYPE, LANG) is UTF-8.
bool LocaleIsUtf8();

} // namespace qrm284
