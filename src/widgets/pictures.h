#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>

#include <initializer_list>

// Small drawing pieces the button pictures, the window icon and the banner
// share, so that the parcel on the icon and on the banner is one drawing.
namespace zarn::ui::pictures {

// A closed outline through the corners, in order.
inline QPainterPath outline(std::initializer_list<QPointF> corners)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &c : corners) {
        if (first)
            path.moveTo(c);
        else
            path.lineTo(c);
        first = false;
    }
    path.closeSubpath();
    return path;
}

// A parcel: a green polygon with red edges and a dot at each boundary point.
template <std::size_t N>
void parcel(QPainter &p, const QPointF (&corners)[N], const QColor &edge, qreal edgeWidth,
            qreal dot)
{
    p.setPen(QPen(edge, edgeWidth));
    p.setBrush(QColor(145, 205, 125));
    p.drawPolygon(corners, int(N));
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    for (const QPointF &pt : corners)
        p.drawEllipse(pt, dot, dot);
}

} // namespace zarn::ui::pictures
