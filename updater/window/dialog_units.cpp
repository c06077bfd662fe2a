#include "updater/window/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace updater::window {

namespace {

// a * b / c rounded to the nearest, for the small positive values of a layout.
int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

} // namespace

DialogUnits DialogUnits::OfFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

int DialogUnits::X(int units) const { return MulDiv(units, baseX_, 4); }

int DialogUnits::Y(int units) const { return MulDiv(units, baseY_, 8); }

// Both edges are converted, as a template's rectangle is.
QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(QPoint(X(x), Y(y)), QPoint(X(x + width) - 1, Y(y + height) - 1));
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

} // namespace updater::window
