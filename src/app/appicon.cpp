#include "appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon AppIcon()
{
    // A serial plug on a blue tile: two rows of pins and a line going out.
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 90, 170));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);

    QPainterPath plug;
    plug.moveTo(9, 14);
    plug.lineTo(39, 14);
    plug.lineTo(35, 30);
    plug.lineTo(13, 30);
    plug.closeSubpath();
    p.setBrush(QColor(240, 244, 250));
    p.drawPath(plug);

    p.setBrush(QColor(20, 90, 170));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(14.5 + i * 4.75, 19), 1.6, 1.6);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(16.8 + i * 4.75, 25), 1.6, 1.6);

    p.setPen(QPen(QColor(120, 220, 255), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 31), QPointF(24, 40));
    p.end();
    return QIcon(pixmap);
}
