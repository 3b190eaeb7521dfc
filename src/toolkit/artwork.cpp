#include "toolkit/artwork.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

// Resources of a static library are registered by name, outside any namespace.
static void initIconResource() { Q_INIT_RESOURCE(torvana_icons); }

namespace torvana::toolkit {

QIcon programIcon() {
    // The pictures the desktop's icon theme gets, rendered from the same drawing at build time.
    initIconResource();
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/torvana/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap browseBitmap() {
    QPixmap pm(20, 17);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    // Back of the folder with its tab, then the open front leaf.
    p.setPen(QColor(128, 128, 0));
    p.setBrush(QColor(255, 255, 0));
    p.drawPolygon(QPolygon({{1, 3}, {6, 3}, {8, 5}, {16, 5}, {16, 15}, {1, 15}}));
    p.setBrush(QColor(255, 255, 128));
    p.drawPolygon(QPolygon({{1, 15}, {4, 8}, {19, 8}, {16, 15}}));
    p.setPen(Qt::black);
    p.drawPoint(12, 1);
    p.drawLine(11, 0, 14, 3);
    p.drawLine(14, 3, 17, 0);
    return pm;
}

QIcon editGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pencil;
    pencil.moveTo(2, 14);
    pencil.lineTo(3, 10);
    pencil.lineTo(11, 2);
    pencil.lineTo(14, 5);
    pencil.lineTo(6, 13);
    pencil.closeSubpath();
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(255, 192, 0));
    p.drawPath(pencil);
    p.setBrush(QColor(255, 128, 128));
    p.drawPolygon(QPolygonF({QPointF(11, 2), QPointF(14, 5), QPointF(12.5, 6.5), QPointF(9.5, 3.5)}));
    return QIcon(pm);
}

QIcon deleteGlyph() {
    // A waste bin: lid, handle and a body with ribs.
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(160, 160, 170));
    p.drawRect(QRectF(2.5, 3.5, 11, 2));
    p.drawRect(QRectF(6.5, 1.5, 3, 2));
    p.drawPolygon(QPolygonF({QPointF(3.5, 5.5), QPointF(12.5, 5.5), QPointF(11.5, 14.5), QPointF(4.5, 14.5)}));
    p.drawLine(QPointF(6.5, 7.5), QPointF(6.5, 12.5));
    p.drawLine(QPointF(9.5, 7.5), QPointF(9.5, 12.5));
    return QIcon(pm);
}

QIcon okGlyph() { return QApplication::style()->standardIcon(QStyle::SP_DialogOkButton); }
QIcon cancelGlyph() { return QApplication::style()->standardIcon(QStyle::SP_DialogCancelButton); }

}  // namespace torvana::toolkit
