// Draws the wizard's pictures: the watermark beside the first page and the
// header of the others, in 256 colours and in 16 for screens of fewer than
// 8 bits per pixel. Nothing depends on the time or on chance, so every build
// carries the same bytes.
//
//   wizard_picture_generator ID OUT      ID: 103, 104, 105 or 106
//
// The watermark's design lies in a left strip of 164:314 (its height), the
// part of it the window shows; the header's in a top band of 64:629 (its
// width), the height the window shows it at.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

namespace {

struct Rgb {
    float r = 0;
    float g = 0;
    float b = 0;
};

Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb Minus(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
float Dot(Rgb a, Rgb b) { return a.r * b.r + a.g * b.g + a.b * b.b; }
float Distance2(Rgb a, Rgb b) { return Dot(Minus(a, b), Minus(a, b)); }

float SmoothStep(float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width * height)) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb& At(int x, int y) { return pixels_[static_cast<size_t>(y * width_ + x)]; }
    Rgb At(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

    // Rows at and below `limit` are left alone.
    void ClipRows(int limit) { rowLimit_ = limit; }

    // Covers the shape `inside` (in pixel coordinates, pixel centres at +0.5)
    // with the colour, edges smoothed by 4 x 4 samples a pixel.
    void Fill(float x0, float y0, float x1, float y1, const std::function<bool(float, float)>& inside, Rgb colour,
              float opacity = 1) {
        const int left = std::max(0, static_cast<int>(std::floor(x0)));
        const int top = std::max(0, static_cast<int>(std::floor(y0)));
        const int right = std::min(width_, static_cast<int>(std::ceil(x1)) + 1);
        const int bottom = std::min(std::min(height_, rowLimit_), static_cast<int>(std::ceil(y1)) + 1);
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        hits += inside(static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / 4,
                                       static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / 4)
                                    ? 1
                                    : 0;
                    }
                }
                if (hits > 0) {
                    At(x, y) = Mix(At(x, y), colour, opacity * static_cast<float>(hits) / 16);
                }
            }
        }
    }

    void RoundedRect(float x0, float y0, float x1, float y1, float radius, Rgb colour, float opacity = 1) {
        Fill(x0, y0, x1, y1,
             [=](float x, float y) {
                 if (x < x0 || x > x1 || y < y0 || y > y1) {
                     return false;
                 }
                 const float dx = std::max({x0 + radius - x, 0.0f, x - (x1 - radius)});
                 const float dy = std::max({y0 + radius - y, 0.0f, y - (y1 - radius)});
                 return dx * dx + dy * dy <= radius * radius;
             },
             colour, opacity);
    }

    void Ring(float cx, float cy, float inner, float outer, Rgb colour, float opacity = 1) {
        Fill(cx - outer, cy - outer, cx + outer, cy + outer,
             [=](float x, float y) {
                 const float d = std::hypot(x - cx, y - cy);
                 return d >= inner && d <= outer;
             },
             colour, opacity);
    }

    void Disc(float cx, float cy, float radius, Rgb colour) { Ring(cx, cy, 0, radius, colour); }

    // A triangle pointing down, its top edge from (cx - half, top) to (cx + half, top).
    void DownTriangle(float cx, float top, float half, float tip, Rgb colour) {
        Fill(cx - half, top, cx + half, tip,
             [=](float x, float y) {
                 if (y < top || y > tip) {
                     return false;
                 }
                 return std::fabs(x - cx) <= half * (tip - y) / (tip - top);
             },
             colour);
    }

private:
    int width_;
    int height_;
    int rowLimit_ = 1 << 30;
    std::vector<Rgb> pixels_;
};

constexpr Rgb White{255, 255, 255};

// The colours of a picture. The 16-colour pictures take theirs from the
// system's 16, so that their gradients are patterns of two of them.
struct Scheme {
    Rgb deep, sea, mist, shell, shadow, screen, glow, wheel, amber;
};
constexpr Scheme FullColours = {{18, 52, 112},   {24, 120, 146},  {196, 220, 240}, {236, 240, 245}, {8, 20, 48},
                                {22, 40, 78},    {120, 200, 230}, {196, 204, 216}, {245, 176, 48}};
constexpr Scheme SystemColours = {{0, 0, 128},     {0, 128, 128}, {192, 192, 192}, {255, 255, 255}, {0, 0, 0},
                                  {0, 0, 128},     {0, 255, 255}, {192, 192, 192}, {255, 255, 0}};

// The player with the new firmware coming down into it, `s` a side unit;
// from the arrow's top at `top` it is 1.22 s tall.
void DrawPlayer(Canvas& canvas, const Scheme& k, float cx, float top, float s) {
    const float bodyTop = top + 0.42f * s;
    const float x0 = cx - 0.23f * s;
    const float x1 = cx + 0.23f * s;
    const float y1 = bodyTop + 0.80f * s;
    const float lift = 0.03f * s;
    canvas.RoundedRect(x0 + lift, bodyTop + lift, x1 + lift, y1 + lift, 0.08f * s, k.shadow, 0.35f);
    canvas.RoundedRect(x0, bodyTop, x1, y1, 0.08f * s, k.shell);
    canvas.RoundedRect(x0 + 0.05f * s, bodyTop + 0.06f * s, x1 - 0.05f * s, bodyTop + 0.32f * s, 0.02f * s, k.screen);
    canvas.RoundedRect(x0 + 0.09f * s, bodyTop + 0.12f * s, x1 - 0.16f * s, bodyTop + 0.15f * s, 0.01f * s, k.glow);
    canvas.RoundedRect(x0 + 0.09f * s, bodyTop + 0.20f * s, x1 - 0.09f * s, bodyTop + 0.23f * s, 0.01f * s, k.glow,
                       0.6f);
    canvas.Disc(cx, bodyTop + 0.56f * s, 0.14f * s, k.wheel);
    canvas.Disc(cx, bodyTop + 0.56f * s, 0.05f * s, k.shell);
    canvas.RoundedRect(cx - 0.05f * s, top, cx + 0.05f * s, top + 0.26f * s, 0.01f * s, k.amber);
    canvas.DownTriangle(cx, top + 0.22f * s, 0.14f * s, top + 0.38f * s, k.amber);
}

// Dark blue down to sea blue in the left strip, fading to white beyond it.
Canvas Watermark(const Scheme& k, int width, int height) {
    Canvas canvas(width, height);
    const int strip = static_cast<int>(std::lround(height * 164.0 / 314.0));
    for (int y = 0; y < height; ++y) {
        const Rgb column = Mix(k.deep, k.sea, static_cast<float>(y) / static_cast<float>(height - 1));
        for (int x = 0; x < width; ++x) {
            const float beyond = static_cast<float>(x - strip) / (0.35f * static_cast<float>(width - strip));
            canvas.At(x, y) = x < strip ? column : Mix(column, White, SmoothStep(beyond));
        }
    }
    const float cx = static_cast<float>(strip) / 2;
    const float cy = 0.46f * static_cast<float>(height);
    const float s = 0.62f * static_cast<float>(strip);
    for (float radius : {0.55f, 0.75f, 0.95f}) {
        const float outer = radius * static_cast<float>(strip);
        canvas.Ring(cx, cy, outer - 1.5f, outer, White, 0.10f);
    }
    DrawPlayer(canvas, k, cx, cy - 0.61f * s, s);
    return canvas;
}

// White into mist blue from left to right, the player at the right end of
// the top band; below the band the picture fades to white.
Canvas Header(const Scheme& k, int width, int height) {
    Canvas canvas(width, height);
    const int band = std::min(height, static_cast<int>(std::lround(width * 64.0 / 629.0)));
    for (int y = 0; y < height; ++y) {
        const float below = y < band ? 0 : static_cast<float>(y - band) / static_cast<float>(height - band);
        for (int x = 0; x < width; ++x) {
            const float across = SmoothStep((static_cast<float>(x) / static_cast<float>(width) - 0.45f) / 0.55f);
            canvas.At(x, y) = Mix(Mix(White, k.mist, across), White, SmoothStep(below));
        }
    }
    canvas.ClipRows(band);
    const float b = static_cast<float>(band);
    const float cx = static_cast<float>(width) - 0.75f * b;
    for (float radius : {0.55f, 0.75f, 0.95f}) {
        canvas.Ring(cx, b / 2, radius * b - 1.2f, radius * b, k.sea, 0.18f);
    }
    const float s = 0.80f * b / 1.22f;
    DrawPlayer(canvas, k, cx, 0.10f * b, s);
    return canvas;
}

struct Indexed {
    std::vector<Rgb> palette;
    std::vector<uint8_t> indices;   // row by row, top row first
};

size_t Nearest(const std::vector<Rgb>& palette, Rgb colour) {
    size_t best = 0;
    for (size_t i = 1; i < palette.size(); ++i) {
        if (Distance2(palette[i], colour) < Distance2(palette[best], colour)) {
            best = i;
        }
    }
    return best;
}

Rgb Clamped(Rgb c) {
    return {std::clamp(c.r, 0.0f, 255.0f), std::clamp(c.g, 0.0f, 255.0f), std::clamp(c.b, 0.0f, 255.0f)};
}

uint32_t Bin(Rgb c) {
    const Rgb k = Clamped(c);
    const auto channel = [](float value) { return static_cast<uint32_t>(value) >> 3; };
    return channel(k.r) << 10 | channel(k.g) << 5 | channel(k.b);
}

// The palette entries for each pixel: a colour between two entries becomes
// an ordered pattern of the two, so that gradients stay smooth; a colour of
// the palette stays pure.
std::vector<uint8_t> PatternIndices(const Canvas& canvas, const std::vector<Rgb>& palette) {
    static constexpr uint8_t Bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    struct Choice {
        uint8_t first;
        uint8_t second;
        float share;
    };
    std::map<uint32_t, Choice> choices;   // by the colour rounded to 24 bits
    std::vector<uint8_t> indices;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            Rgb c = Clamped(canvas.At(x, y));
            c = {std::round(c.r), std::round(c.g), std::round(c.b)};
            const uint32_t key =
                static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b);
            auto found = choices.find(key);
            if (found == choices.end()) {
                // The nearest entry, and the partner whose mix with it comes closest.
                const size_t first = Nearest(palette, c);
                const Rgb p = palette[first];
                Choice choice{static_cast<uint8_t>(first), static_cast<uint8_t>(first), 0};
                float bestError = Distance2(p, c);
                for (size_t i = 0; i < palette.size(); ++i) {
                    const Rgb step = Minus(palette[i], p);
                    const float span = Dot(step, step);
                    if (span == 0) {
                        continue;
                    }
                    const float t = std::clamp(Dot(Minus(c, p), step) / span, 0.0f, 1.0f);
                    // A far partner makes loud dots: its pattern counts against it.
                    const float error = Distance2(Mix(p, palette[i], t), c) + 0.1f * t * (1 - t) * span;
                    if (error < bestError) {
                        bestError = error;
                        choice.second = static_cast<uint8_t>(i);
                        choice.share = t;
                    }
                }
                found = choices.emplace(key, choice).first;
            }
            const float threshold = (static_cast<float>(Bayer[y % 4][x % 4]) + 0.5f) / 16;
            indices.push_back(threshold < found->second.share ? found->second.second : found->second.first);
        }
    }
    return indices;
}

// 256 colours: the most used colours of the picture (by 15-bit bins, ties to
// the lower bin), unused entries black.
Indexed To256Colours(const Canvas& canvas) {
    struct Sum {
        double r = 0, g = 0, b = 0;
        uint32_t count = 0;
    };
    std::map<uint32_t, Sum> bins;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const Rgb c = Clamped(canvas.At(x, y));
            Sum& sum = bins[Bin(c)];
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
            ++sum.count;
        }
    }
    std::vector<std::pair<uint32_t, Sum>> ranked(bins.begin(), bins.end());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second.count > b.second.count; });
    ranked.resize(std::min<size_t>(ranked.size(), 256));
    Indexed out;
    for (const auto& [bin, sum] : ranked) {
        out.palette.push_back({static_cast<float>(std::round(sum.r / sum.count)),
                               static_cast<float>(std::round(sum.g / sum.count)),
                               static_cast<float>(std::round(sum.b / sum.count))});
    }
    out.indices = PatternIndices(canvas, out.palette);
    out.palette.resize(256, Rgb{});
    return out;
}

// 16 colours: the system's 16, as such a screen shows them.
Indexed To16Colours(const Canvas& canvas) {
    static constexpr std::array<std::array<uint8_t, 3>, 16> System = {{
        {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255},
        {255, 255, 255},
    }};
    Indexed out;
    for (const auto& c : System) {
        out.palette.push_back({static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])});
    }
    out.indices = PatternIndices(canvas, out.palette);
    return out;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A bottom-up BMP with a BITMAPINFOHEADER and a full colour table.
std::vector<uint8_t> Bitmap(int width, int height, int bitsPerPixel, const Indexed& image) {
    const uint32_t stride = (static_cast<uint32_t>(width * bitsPerPixel) + 31) / 32 * 4;
    const uint32_t colours = 1u << bitsPerPixel;
    const uint32_t offset = 14 + 40 + colours * 4;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bitsPerPixel));
    Put32(out, 0);            // no compression
    Put32(out, imageSize);
    Put32(out, 3780);         // 96 dots per inch
    Put32(out, 3780);
    Put32(out, colours);
    Put32(out, 0);
    for (const Rgb& c : image.palette) {
        out.push_back(static_cast<uint8_t>(c.b));
        out.push_back(static_cast<uint8_t>(c.g));
        out.push_back(static_cast<uint8_t>(c.r));
        out.push_back(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const uint8_t index = image.indices[static_cast<size_t>(y * width + x)];
            if (bitsPerPixel == 8) {
                row[static_cast<size_t>(x)] = index;
            } else {
                row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

struct Picture {
    int id;
    int width;
    int height;
    int bitsPerPixel;
    bool watermark;
};

constexpr Picture Pictures[] = {
    {103, 629, 64, 4, false},
    {104, 579, 375, 8, false},
    {105, 499, 314, 4, true},
    {106, 579, 375, 8, true},
};

} // namespace

int main(int argc, char** argv) {
    const Picture* picture = nullptr;
    for (const auto& candidate : Pictures) {
        if (argc == 3 && std::atoi(argv[1]) == candidate.id) {
            picture = &candidate;
        }
    }
    if (picture == nullptr) {
        std::fprintf(stderr, "usage: %s 103|104|105|106 OUT\n", argv[0]);
        return 2;
    }
    const Scheme& scheme = picture->bitsPerPixel == 8 ? FullColours : SystemColours;
    const Canvas canvas = picture->watermark ? Watermark(scheme, picture->width, picture->height)
                                             : Header(scheme, picture->width, picture->height);
    const Indexed image = picture->bitsPerPixel == 8 ? To256Colours(canvas) : To16Colours(canvas);
    const auto bytes = Bitmap(picture->width, picture->height, picture->bitsPerPixel, image);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
