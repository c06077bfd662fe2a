#include "tools/qrm284/block_picture.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

namespace qrm284 {

namespace {

constexpr const char* UpperHalf = "\u2580";
constexpr const char* LowerHalf = "\u2584";
constexpr const char* FullBlock = "\u2588";

void CutTrailingBlanks(std::string& line) { line.erase(line.find_last_not_of(' ') + 1); }

} // namespace

std::vector<std::string> BlockPicture(const plrapi::TitleBitmap& bitmap, int columns, bool utf8) {
    columns = std::clamp(columns, 0, plrapi::TitleColumns);
    std::vector<std::string> lines;
    const int rowsPerLine = utf8 ? 2 : 1;
    for (int row = 0; row < plrapi::TitleRows; row += rowsPerLine) {
        std::string line;
        for (int column = 0; column < columns; ++column) {
            const bool top = plrapi::IsLit(bitmap, column, row);
            if (!utf8) {
                line += top ? '#' : ' ';
                continue;
            }
            const bool bottom = plrapi::IsLit(bitmap, column, row + 1);
            line += top && bottom ? FullBlock : top ? UpperHalf : bottom ? LowerHalf : " ";
        }
        CutTrailingBlanks(line);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool LocaleIsUtf8() {
    // The environment's locale, without changing the program's.
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        return false;
    }
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    freelocale(locale);
    return utf8;
}

} // namespace qrm284
