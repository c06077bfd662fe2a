// The sheet's pictures: the pair the screen's colour depth calls for, and
// the parts of them the window shows.
#pragma once

#include <QPixmap>

namespace updater::window {

struct PictureIds {
    int watermark;
    int header;
};

// 106 and 104 on a screen of 8 bits per pixel or more; 105 and 103 below,
// and when the depth is unknown (0).
PictureIds PicturesForDepth(int bitsPerPixel);
// The primary screen's bits per pixel; 0 without a screen.
int ScreenDepth();

struct SheetPictures {
    QPixmap watermark;
    QPixmap header;
};
// The pair for the depth, loaded from the pictures the program carries.
SheetPictures LoadSheetPictures(int bitsPerPixel);

// Beside page 1: the watermark scaled to `height`, its left strip of 164:314
// (the proportions of a wizard's side picture).
QPixmap WatermarkStrip(const QPixmap& watermark, int height);
// Above the other pages: the header scaled to `width`, its top band of 64:629
// (the proportions of the 16-colour header, which is all band).
QPixmap HeaderBand(const QPixmap& header, int width);

} // namespace updater::window
