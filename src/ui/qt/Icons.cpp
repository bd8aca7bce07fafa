#include "Icons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace tv::qt {

namespace {

QIcon Draw(int index) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: // blue ring: the content matches
        p.setPen(QPen(QColor(0, 64, 255), 2.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        break;
    case 1: { // orange exclamation mark: found under another name
        const QColor orange(255, 140, 0);
        p.setPen(Qt::NoPen);
        p.setBrush(orange);
        p.drawRoundedRect(QRectF(6, 1, 4, 10), 1.5, 1.5);
        p.drawEllipse(QRectF(6, 12, 4, 4));
        break;
    }
    case 2: // red cross: the content differs
        p.setPen(QPen(QColor(224, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    default: // black dash: missing
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRect(QRectF(2, 6.5, 12, 3));
        break;
    }
    p.end();
    return QIcon(pm);
}

} // namespace

const QIcon& StateIcon(int index) {
    static const std::array<QIcon, 4> icons{Draw(0), Draw(1), Draw(2), Draw(3)};
    static const QIcon none;
    return index >= 0 && index < 4 ? icons[static_cast<std::size_t>(index)] : none;
}

} // namespace tv::qt
