#include "updater/window/program_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace updater::window {

QImage DrawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The SVG's coordinates: a 48 x 48 box.
    painter.scale(size / 48.0, size / 48.0);
    const auto box = [&](qreal x, qreal y, qreal width, qreal height, qreal radius, const QBrush& brush) {
        painter.setBrush(brush);
        painter.drawRoundedRect(QRectF(x, y, width, height), radius, radius);
    };
    const auto disc = [&](qreal radius, const QColor& colour) {
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(24, 36), radius, radius);
    };
    QLinearGradient sky(0, 2, 0, 46);
    sky.setColorAt(0, QColor(0x12, 0x34, 0x70));
    sky.setColorAt(1, QColor(0x18, 0x78, 0x92));
    const QColor light(0xec, 0xf0, 0xf5);
    const QColor lines(0x78, 0xc8, 0xe6);
    const QColor arrow(0xf5, 0xb0, 0x30);
    box(2, 2, 44, 44, 8, sky);
    box(15, 17, 18, 27, 3, light);
    box(17.5, 19.5, 13, 9, 1, QColor(0x16, 0x28, 0x4e));
    box(19.5, 22, 7, 1.2, 0, lines);
    box(19.5, 25, 9, 1.2, 0, lines);
    disc(4.6, QColor(0xc4, 0xcc, 0xd8));
    disc(1.7, light);
    box(22.3, 4, 3.4, 7, 0, arrow);
    QPainterPath head;
    head.moveTo(18.5, 10);
    head.lineTo(29.5, 10);
    head.lineTo(24, 15.5);
    head.closeSubpath();
    painter.fillPath(head, arrow);
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(DrawProgramIcon(size)));
    }
    return icon;
}

} // namespace updater::window
