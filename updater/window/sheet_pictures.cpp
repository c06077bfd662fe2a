#include "updater/window/sheet_pictures.h"

#include "updater/resources/wizard_pictures.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace updater::window {

namespace {

QPixmap LoadPicture(int id) {
    const auto bytes = resources::FindPicture(id);
    QPixmap picture;
    picture.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "BMP");
    return picture;
}

} // namespace

PictureIds PicturesForDepth(int bitsPerPixel) {
    if (bitsPerPixel >= 8) {
        return {resources::Watermark256Colours, resources::Header256Colours};
    }
    return {resources::Watermark16Colours, resources::Header16Colours};
}

int ScreenDepth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 0;
}

SheetPictures LoadSheetPictures(int bitsPerPixel) {
    const PictureIds ids = PicturesForDepth(bitsPerPixel);
    return {LoadPicture(ids.watermark), LoadPicture(ids.header)};
}

QPixmap WatermarkStrip(const QPixmap& watermark, int height) {
    if (watermark.isNull() || height <= 0) {
        return {};
    }
    const QPixmap scaled = watermark.scaledToHeight(height, Qt::SmoothTransformation);
    return scaled.copy(0, 0, std::min(scaled.width(), (height * 164 + 157) / 314), height);
}

QPixmap HeaderBand(const QPixmap& header, int width) {
    if (header.isNull() || width <= 0) {
        return {};
    }
    const QPixmap scaled = header.scaledToWidth(width, Qt::SmoothTransformation);
    return scaled.copy(0, 0, width, std::min(scaled.height(), (width * 64 + 314) / 629));
}

} // namespace updater::window
