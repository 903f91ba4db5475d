#include "Brindoraicon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Below this the two waves run into each other; one bold wave reads better.
constexpr int SmallIcon = 24;

void paintBackground(QPainter& painter, int size)
{
    const qreal margin = size <= SmallIcon ? 0.0 : size / 32.0;
    const QRectF square(margin, margin, size - 2 * margin, size - 2 * margin);
    const qreal radius = square.width() * 0.22;

    QLinearGradient fill(square.topLeft(), square.bottomLeft());
    fill.setColorAt(0.0, QColor(0xf7, 0xa2, 0x3b));
    fill.setColorAt(1.0, QColor(0xd4, 0x4a, 0x1c));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(square, radius, radius);

    // A darker rim keeps the shape apart from light panels.
    const qreal rim = qMax(1.0, size / 64.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x9c, 0x32, 0x0f), rim));
    const qreal inset = rim / 2;
    painter.drawRoundedRect(square.adjusted(inset, inset, -inset, -inset), radius - inset,
                            radius - inset);
}

void paintTriangle(QPainter& painter, qreal unit)
{
    QPainterPath triangle;
    triangle.moveTo(3.0 * unit, 3.5 * unit);
    triangle.lineTo(3.0 * unit, 12.5 * unit);
    triangle.lineTo(9.0 * unit, 8.0 * unit);
    triangle.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(triangle);
}

// An arc around the triangle's tip, opening to the right.
void paintWave(QPainter& painter, qreal unit, qreal radius, qreal width)
{
    const QPointF centre(8.0 * unit, 8.0 * unit);
    const QRectF circle(centre.x() - radius * unit, centre.y() - radius * unit, 2 * radius * unit,
                        2 * radius * unit);
    QPen pen(Qt::white, width * unit);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Angles in sixteenths of a degree, counter-clockwise from three o'clock.
    painter.drawArc(circle, -50 * 16, 100 * 16);
}

} // namespace

QImage paintBrindoraIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    paintBackground(painter, size);
    // The picture is drawn on a 16-unit grid and scaled, so 16 pixels fall on whole pixels.
    const qreal unit = size / 16.0;
    paintTriangle(painter, unit);
    if (size <= SmallIcon) {
        paintWave(painter, unit, 4.5, 1.8);
    } else {
        paintWave(painter, unit, 3.6, 1.1);
        paintWave(painter, unit, 5.8, 1.1);
    }
    return image;
}
