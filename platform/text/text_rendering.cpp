#include "platform/text/text_rendering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr char DefaultPattern[] = "sans-serif";

// One face fontconfig offers, with the characters it covers (none known for
// a file named directly: its own character map decides).
class FaceSource {
public:
    FaceSource(std::string file, int index, FcCharSet* charset)
        : file_(std::move(file)), index_(index), charset_(charset != nullptr ? FcCharSetCopy(charset) : nullptr) {}
    ~FaceSource() {
        if (charset_ != nullptr) {
            FcCharSetDestroy(charset_);
        }
    }
    FaceSource(FaceSource&& other) noexcept
        : file_(std::move(other.file_)), index_(other.index_), charset_(std::exchange(other.charset_, nullptr)) {}
    FaceSource(const FaceSource&) = delete;
    FaceSource& operator=(const FaceSource&) = delete;
    FaceSource& operator=(FaceSource&&) = delete;

    const std::string& File() const { return file_; }
    int Index() const { return index_; }
    bool MayCover(char32_t character) const {
        return charset_ == nullptr || FcCharSetHasChar(charset_, character) == FcTrue;
    }

private:
    std::string file_;
    int index_;
    FcCharSet* charset_;
};

using FaceSources = std::vector<FaceSource>;

// The faces for a fontconfig pattern in bold, best first, each adding
// characters the ones before it lack.
void AddSortedFaces(const char* patternText, FaceSources& sources) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(patternText));
    if (pattern == nullptr) {
        return;
    }
    FcPatternDel(pattern, FC_WEIGHT);
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    if (set != nullptr) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            int index = 0;
            FcCharSet* charset = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) {
                continue;
            }
            FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
            FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &charset);
            sources.emplace_back(reinterpret_cast<const char*>(file), index, charset);
        }
        FcFontSetDestroy(set);
    }
    FcPatternDestroy(pattern);
}

// Sorting the system's faces takes a while: done once per face choice.
std::shared_ptr<const FaceSources> SourcesFor(const std::string& choice) {
    static std::mutex mutex;
    static std::string cachedChoice;
    static std::shared_ptr<const FaceSources> cached;
    std::lock_guard lock(mutex);
    if (cached != nullptr && cachedChoice == choice) {
        return cached;
    }
    auto sources = std::make_shared<FaceSources>();
    if (FcInit() == FcTrue) {
        if (!choice.empty() && choice.front() == '/') {
            sources->emplace_back(choice, 0, nullptr);
            AddSortedFaces(DefaultPattern, *sources);
        } else {
            AddSortedFaces(choice.empty() ? DefaultPattern : choice.c_str(), *sources);
        }
    } else if (!choice.empty() && choice.front() == '/') {
        sources->emplace_back(choice, 0, nullptr);
    }
    cachedChoice = choice;
    cached = std::move(sources);
    return cached;
}

// UTF-16 to code points; a lone surrogate becomes U+FFFD.
std::u32string CodePoints(std::u16string_view text) {
    std::u32string points;
    points.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            points.push_back(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            points.push_back(0xFFFD);
        } else {
            points.push_back(unit);
        }
    }
    return points;
}

bool SizeFace(FT_Face face, int cellHeight) {
    if (FT_IS_SCALABLE(face)) {
        // Ascender to descender, as the system's font height means it.
        FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, static_cast<FT_Long>(cellHeight) * 64, 0, 0};
        return FT_Request_Size(face, &request) == 0;
    }
    if (face->num_fixed_sizes <= 0) {
        return false;
    }
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
        if (std::abs(face->available_sizes[i].height - cellHeight) <
            std::abs(face->available_sizes[best].height - cellHeight)) {
            best = i;
        }
    }
    return FT_Select_Size(face, best) == 0;
}

} // namespace

struct BoldFont::Faces {
    struct Opened {
        FT_Face face = nullptr;
        bool tried = false;
        bool embolden = false;
    };

    FT_Library library = nullptr;
    std::shared_ptr<const FaceSources> sources;
    std::vector<Opened> opened;
    int cellHeight = 0;

    ~Faces() {
        for (auto& entry : opened) {
            if (entry.face != nullptr) {
                FT_Done_Face(entry.face);
            }
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }

    FT_Face Open(size_t which) {
        Opened& entry = opened[which];
        if (!entry.tried) {
            entry.tried = true;
            const FaceSource& source = (*sources)[which];
            FT_Face face = nullptr;
            if (FT_New_Face(library, source.File().c_str(), source.Index(), &face) == 0) {
                if (SizeFace(face, cellHeight)) {
                    entry.face = face;
                    entry.embolden = (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
                } else {
                    FT_Done_Face(face);
                }
            }
        }
        return entry.face;
    }

    // The first face that opens: the one whose cell and baseline count.
    FT_Face Primary() {
        for (size_t i = 0; i < opened.size(); ++i) {
            if (FT_Face face = Open(i); face != nullptr) {
                return face;
            }
        }
        return nullptr;
    }

    // The face that has a glyph for `character`; else the primary face's
    // missing-glyph box.
    std::pair<size_t, FT_UInt> GlyphFor(char32_t character) {
        for (size_t i = 0; i < opened.size(); ++i) {
            if (!(*sources)[i].MayCover(character)) {
                continue;
            }
            if (FT_Face face = Open(i); face != nullptr) {
                if (const FT_UInt index = FT_Get_Char_Index(face, character); index != 0) {
                    return {i, index};
                }
            }
        }
        for (size_t i = 0; i < opened.size(); ++i) {
            if (Open(i) != nullptr) {
                return {i, 0};
            }
        }
        return {opened.size(), 0};
    }

    // Loads and, for `render`, draws a glyph; its slot, or null.
    FT_GlyphSlot Load(size_t which, FT_UInt index, bool render) {
        if (which >= opened.size() || opened[which].face == nullptr) {
            return nullptr;
        }
        FT_Face face = opened[which].face;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) {
            return nullptr;
        }
        if (opened[which].embolden) {
            FT_GlyphSlot_Embolden(face->glyph);
        }
        if (render && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            return nullptr;
        }
        return face->glyph;
    }
};

namespace {

// Opening and sizing a face runs its hinting programs: the last font made
// is kept for the next one of the same face and height.
std::mutex keptMutex;
std::unique_ptr<BoldFont::Faces> kept;

} // namespace

BoldFont::BoldFont(int cellHeight) {
    const char* choice = std::getenv(TextFaceVariable);
    auto sources = SourcesFor(choice != nullptr ? choice : "");
    cellHeight = std::max(cellHeight, 1);
    {
        std::lock_guard lock(keptMutex);
        if (kept != nullptr && kept->sources == sources && kept->cellHeight == cellHeight) {
            faces_ = std::move(kept);
            return;
        }
    }
    faces_ = std::make_unique<Faces>();
    faces_->sources = std::move(sources);
    faces_->opened.resize(faces_->sources->size());
    faces_->cellHeight = cellHeight;
    if (FT_Init_FreeType(&faces_->library) != 0) {
        faces_->library = nullptr;
        faces_->opened.clear();
    }
}

BoldFont::~BoldFont() {
    std::unique_ptr<Faces> dropped;
    std::lock_guard lock(keptMutex);
    dropped = std::exchange(kept, std::move(faces_));
}

bool BoldFont::Valid() const { return faces_->Primary() != nullptr; }

std::string BoldFont::FamilyName() const {
    FT_Face face = faces_->Primary();
    return face != nullptr && face->family_name != nullptr ? face->family_name : "";
}

TextExtent BoldFont::Measure(std::u16string_view text) const {
    FT_Face primary = faces_->Primary();
    if (primary == nullptr) {
        return {};
    }
    FT_Pos advance = 0;
    for (const char32_t character : CodePoints(text)) {
        const auto [which, index] = faces_->GlyphFor(character);
        if (FT_GlyphSlot slot = faces_->Load(which, index, false); slot != nullptr) {
            advance += slot->advance.x;
        }
    }
    const FT_Size_Metrics& metrics = primary->size->metrics;
    return {static_cast<int>((advance + 32) >> 6), static_cast<int>((metrics.ascender - metrics.descender + 32) >> 6)};
}

void BoldFont::Draw(std::u16string_view text, uint8_t* pixels, int width, int height) const {
    FT_Face primary = faces_->Primary();
    if (primary == nullptr || pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const auto baseline = static_cast<int>((primary->size->metrics.ascender + 32) >> 6);
    FT_Pos pen = 0;
    for (const char32_t character : CodePoints(text)) {
        if ((pen >> 6) >= width) {
            break;
        }
        const auto [which, index] = faces_->GlyphFor(character);
        FT_GlyphSlot slot = faces_->Load(which, index, true);
        if (slot == nullptr) {
            continue;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        const int left = static_cast<int>((pen + 32) >> 6) + slot->bitmap_left;
        const int top = baseline - slot->bitmap_top;
        for (int row = 0; row < static_cast<int>(bitmap.rows); ++row) {
            const int y = top + row;
            if (y < 0 || y >= height) {
                continue;
            }
            const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
            for (int column = 0; column < static_cast<int>(bitmap.width); ++column) {
                const int x = left + column;
                if (x < 0 || x >= width) {
                    continue;
                }
                uint8_t value = 0;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                    value = (source[column >> 3] & (0x80 >> (column & 7))) != 0 ? 255 : 0;
                } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                    value = source[column];
                }
                uint8_t& target = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
                target = std::max(target, value);
            }
        }
        pen += slot->advance.x;
    }
}

} // namespace platform
