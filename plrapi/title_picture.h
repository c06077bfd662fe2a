// A title picture as a PNG file, for people to look at: its first `columns`
// columns, lit pixels black on white, each drawn as a square of `scale` x
// `scale` pixels.
#pragma once

#include "plrapi/title_bitmap.h"

#include <string>

namespace plrapi {

// False when the file cannot be written.
bool WriteTitlePicture(const std::string& path, const TitleBitmap& bitmap, int scale = 1, int columns = TitleColumns);

} // namespace plrapi
