#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap Blank(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap TransmitterPicture(int width, int height) {
    QPixmap pixmap = Blank(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1.5, 1.5, width - 3.0, height - 3.0);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(236, 236, 236));
    shade.setColorAt(1, QColor(170, 170, 176));
    p.setPen(QPen(QColor(80, 80, 90), 1.2));
    p.setBrush(shade);
    p.drawRoundedRect(body, 4, 4);
    // Display window with a weight in green segments.
    const QRectF display(body.left() + body.width() * 0.12, body.top() + body.height() * 0.14,
                         body.width() * 0.76, body.height() * 0.38);
    p.setBrush(QColor(20, 36, 24));
    p.setPen(QPen(QColor(50, 50, 50), 1));
    p.drawRect(display);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);
    font.setPixelSize(qMax(6, int(display.height() * 0.7)));
    p.setFont(font);
    p.setPen(QColor(90, 255, 120));
    p.drawText(display, Qt::AlignCenter, QStringLiteral("0.00"));
    // Two keys and a status lamp.
    const qreal keyY = body.top() + body.height() * 0.66;
    const qreal keySize = body.height() * 0.2;
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(QColor(40, 90, 170));
    p.drawEllipse(QRectF(body.left() + body.width() * 0.18, keyY, keySize, keySize));
    p.drawEllipse(QRectF(body.left() + body.width() * 0.38, keyY, keySize, keySize));
    p.setBrush(QColor(230, 60, 40));
    p.drawEllipse(
        QRectF(body.right() - body.width() * 0.28, keyY + keySize * 0.2, keySize * 0.6, keySize * 0.6));
    return pixmap;
}

QPixmap LoadCellPicture(int width, int height) {
    QPixmap pixmap = Blank(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF beam(width * 0.08, height * 0.3, width * 0.7, height * 0.34);
    QLinearGradient steel(beam.topLeft(), beam.bottomLeft());
    steel.setColorAt(0, QColor(225, 228, 235));
    steel.setColorAt(0.5, QColor(160, 166, 178));
    steel.setColorAt(1, QColor(205, 208, 215));
    p.setPen(QPen(QColor(70, 70, 80), 1.2));
    p.setBrush(steel);
    p.drawRoundedRect(beam, 2, 2);
    // The strain-gauge hole and the mounting bolts.
    p.setBrush(Qt::white);
    p.drawEllipse(beam.center(), beam.height() * 0.25, beam.height() * 0.25);
    p.setBrush(QColor(90, 90, 100));
    p.drawEllipse(QPointF(beam.left() + beam.width() * 0.1, beam.center().y()), 2.5, 2.5);
    p.drawEllipse(QPointF(beam.left() + beam.width() * 0.2, beam.center().y()), 2.5, 2.5);
    // Cable.
    QPainterPath cable(QPointF(beam.right(), beam.center().y()));
    cable.cubicTo(width * 0.9, beam.center().y(), width * 0.8, height * 0.9, width * 0.97, height * 0.92);
    p.setPen(QPen(QColor(40, 40, 40), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);
    return pixmap;
}

QPixmap ScalePicture(int width, int height) {
    QPixmap pixmap = Blank(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Platform in perspective.
    QPolygonF top;
    top << QPointF(width * 0.18, height * 0.45) << QPointF(width * 0.92, height * 0.45)
        << QPointF(width * 0.82, height * 0.7) << QPointF(width * 0.08, height * 0.7);
    p.setPen(QPen(QColor(60, 60, 70), 1.2));
    p.setBrush(QColor(190, 195, 205));
    p.drawPolygon(top);
    p.setBrush(QColor(120, 125, 135));
    p.drawRect(QRectF(width * 0.08, height * 0.7, width * 0.74, height * 0.08));
    // A load on it.
    p.setBrush(QColor(200, 150, 60));
    p.drawRect(QRectF(width * 0.38, height * 0.18, width * 0.26, height * 0.34));
    // Feet.
    p.setBrush(QColor(50, 50, 55));
    p.drawRect(QRectF(width * 0.12, height * 0.78, width * 0.06, height * 0.1));
    p.drawRect(QRectF(width * 0.72, height * 0.78, width * 0.06, height * 0.1));
    return pixmap;
}
