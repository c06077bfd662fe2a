// Drawing text the way the system's graphics device interface did: a bold
// face of the default sans-serif, white on black, read back as 8-bit pixels.
// FreeType draws; fontconfig chooses the face and, for characters the face
// lacks, the fallback faces, so that Korean, Japanese and Chinese text comes
// out as its characters. KVX512_TITLE_FONT overrides the face: a font file
// (a path starting with '/') or a fontconfig pattern ("WenQuanYi Micro Hei").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char TextFaceVariable[] = "KVX512_TITLE_FONT";

struct TextExtent {
    int width = 0;    // the sum of the characters' advances
    int height = 0;   // the face's cell: ascender to descender
};

class BoldFont {
public:
    // Sized so that the face's cell is `cellHeight` pixels, widths in
    // proportion. A face without bold is emboldened.
    explicit BoldFont(int cellHeight);
    ~BoldFont();
    BoldFont(const BoldFont&) = delete;
    BoldFont& operator=(const BoldFont&) = delete;

    // False when no face could be opened: nothing is measured or drawn.
    bool Valid() const;
    // The family of the face (not of its fallbacks).
    std::string FamilyName() const;

    TextExtent Measure(std::u16string_view text) const;
    // Draws `text` with its cell's top-left corner at (0, 0) into `pixels`,
    // `width` x `height` bytes, row by row, cut at the edges. Lit pixels get
    // the coverage of the glyph (255 fully lit); the rest is left as it is.
    void Draw(std::u16string_view text, uint8_t* pixels, int width, int height) const;

    // The opened faces; the implementation's own.
    struct Faces;

private:
    std::unique_ptr<Faces> faces_;
};

} // namespace platform
