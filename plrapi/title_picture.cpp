#include "plrapi/title_picture.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace plrapi {

namespace {

constexpr int MaxScale = 16;

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

} // namespace

bool WriteTitlePicture(const std::string& path, const TitleBitmap& bitmap, int scale, int columns) {
    if (scale < 1 || scale > MaxScale || columns < 1 || columns > TitleColumns) {
        return false;
    }
    const int width = columns * scale;
    const int height = TitleRows * scale;
    // One byte a pixel: 0 black (lit), 255 white.
    std::vector<png_byte> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        png_bytep row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        rows[static_cast<size_t>(y)] = row;
        for (int x = 0; x < width; ++x) {
            row[x] = IsLit(bitmap, x / scale, y / scale) ? 0 : 255;
        }
    }

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        return false;
    }
    PngWriter writer;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (writer.png == nullptr) {
        return false;
    }
    writer.info = png_create_info_struct(writer.png);
    if (writer.info == nullptr) {
        return false;
    }
    // libpng reports its errors by jumping back here.
    if (setjmp(png_jmpbuf(writer.png)) != 0) {
        return false;
    }
    png_init_io(writer.png, file.get());
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, rows.data());
    png_write_end(writer.png, nullptr);
    return true;
}

} // namespace plrapi
