#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPainterPath triangle(qreal left, qreal right, bool pointsRight)
{
    const qreal tip = pointsRight ? right : left;
    const qreal base = pointsRight ? left : right;
    QPainterPath path;
    path.moveTo(base, 4);
    path.lineTo(tip, 9);
    path.lineTo(base, 14);
    path.closeSubpath();
    return path;
}

// Shapes on an 18 x 18 grid.
QPainterPath shapeOf(Glyph glyph)
{
    QPainterPath path;
    switch (glyph) {
    case Glyph::Previous:
        path.addRect(4, 4, 2, 10);
        path.addPath(triangle(6, 14, false));
        break;
    case Glyph::Play:
        path.addPath(triangle(5, 14, true));
        break;
    case Glyph::Stop:
        path.addRect(5, 5, 8, 8);
        break;
    case Glyph::Next:
        path.addPath(triangle(4, 12, true));
        path.addRect(12, 4, 2, 10);
        break;
    }
    return path;
}

QPixmap render(Glyph glyph, qreal scale, bool disabled)
{
    QPixmap pixmap(qRound(GlyphSize * scale), qRound(GlyphSize * scale));
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPainterPath shape = shapeOf(glyph);
    if (disabled) {
        // The classic etched look: a light copy one pixel down-right under a grey one.
        painter.setBrush(QColor(255, 255, 255));
        painter.drawPath(shape.translated(1, 1));
        painter.setBrush(QColor(128, 128, 128));
    } else {
        painter.setBrush(QColor(16, 16, 16));
    }
    painter.drawPath(shape);
    return pixmap;
}

} // namespace

QIcon transportIcon(Glyph glyph)
{
    QIcon icon;
    // Stop has always had a single picture; Qt greys it out by itself when disabled.
    const bool ownDisabledLook = glyph != Glyph::Stop;
    for (const qreal scale : {1.0, 1.5, 2.0, 3.0}) {
        icon.addPixmap(render(glyph, scale, false), QIcon::Normal);
        if (ownDisabledLook) {
            icon.addPixmap(render(glyph, scale, true), QIcon::Disabled);
        }
    }
    return icon;
}
