// Dialog units: the measures of a dialog template, a quarter of the font's
// average character width across and an eighth of its height down, so that
// a page keeps its proportions in whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace updater::window {

class DialogUnits {
public:
    // The font's base units as the dialog framework takes them: the average
    // width of the 52 letters (rounded up by half) and the font's height.
    static DialogUnits OfFont(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    // Pixels, rounded to the nearest.
    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

} // namespace updater::window
