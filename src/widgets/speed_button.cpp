#include "widgets/speed_button.h"

#include "widgets/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zarn::ui {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kArrow(22, 92, 170);

// Draws a picture on a 16 × 16 grid, scaled to the pixmap's size.
QPixmap draw(ButtonPicture picture, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    if (picture == ButtonPicture::None) return pm;
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    auto triangle = [&](qreal tipX, qreal baseX) {
        const QPainterPath path = pictures::outline({{tipX, 8}, {baseX, 3}, {baseX, 13}});
        p.fillPath(path, kArrow);
        p.setPen(QPen(kNavy, 0.8));
        p.drawPath(path);
    };
    auto bar = [&](qreal x) {
        p.setPen(QPen(kNavy, 0.8));
        p.setBrush(kArrow);
        p.drawRect(QRectF(x, 3, 2, 10));
    };
    auto sheet = [&] {
        const QPainterPath page =
            pictures::outline({{3, 1.5}, {10, 1.5}, {13, 4.5}, {13, 14.5}, {3, 14.5}});
        p.fillPath(page, Qt::white);
        p.setPen(QPen(QColor(90, 90, 90), 0.8));
        p.drawPath(page);
        p.drawLine(QPointF(10, 1.5), QPointF(10, 4.5));
        p.drawLine(QPointF(10, 4.5), QPointF(13, 4.5));
        p.setPen(QPen(QColor(160, 160, 160), 0.6));
        for (qreal y = 7; y < 14; y += 2)
            p.drawLine(QPointF(5, y), QPointF(11, y));
    };
    auto plus = [&](QPointF c, const QColor &color) {
        p.setPen(QPen(color.darker(140), 0.6));
        p.setBrush(color);
        p.drawRect(QRectF(c.x() - 3.5, c.y() - 1.2, 7, 2.4));
        p.drawRect(QRectF(c.x() - 1.2, c.y() - 3.5, 2.4, 7));
    };
    switch (picture) {
    case ButtonPicture::None:
        break;
    case ButtonPicture::First:
        bar(2.5);
        triangle(5, 13);
        break;
    case ButtonPicture::Prior:
        triangle(4, 12);
        break;
    case ButtonPicture::Next:
        triangle(12, 4);
        break;
    case ButtonPicture::Last:
        triangle(11, 3);
        bar(11.5);
        break;
    case ButtonPicture::New:
        sheet();
        plus(QPointF(11.5, 11.5), QColor(40, 160, 60));
        break;
    case ButtonPicture::Insert: {
        sheet();
        // An arrow pointing in between the lines: a row goes in here.
        const QPainterPath arrow =
            pictures::outline({{0.5, 7}, {5, 7}, {5, 5}, {8.5, 8.5}, {5, 12}, {5, 10}, {0.5, 10}});
        p.fillPath(arrow, QColor(230, 140, 20));
        p.setPen(QPen(QColor(150, 80, 0), 0.6));
        p.drawPath(arrow);
        break;
    }
    case ButtonPicture::Delete: {
        p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    }
    case ButtonPicture::Save: {
        const QPainterPath disk =
            pictures::outline({{2, 2}, {12.5, 2}, {14, 3.5}, {14, 14}, {2, 14}});
        p.fillPath(disk, QColor(40, 70, 150));
        p.setPen(QPen(kNavy, 0.7));
        p.drawPath(disk);
        p.fillRect(QRectF(4, 2.5, 7.5, 4.5), QColor(235, 235, 235)); // label
        p.fillRect(QRectF(8.5, 3, 2, 3.5), QColor(40, 70, 150));     // shutter slot
        p.fillRect(QRectF(4.5, 9, 7, 5), QColor(200, 200, 210));     // metal shutter
        break;
    }
    case ButtonPicture::Locate: {
        p.setPen(QPen(QColor(70, 70, 70), 1.4));
        p.setBrush(QColor(200, 230, 250));
        p.drawEllipse(QPointF(6.5, 6.5), 4.2, 4.2);
        p.setPen(QPen(QColor(120, 70, 20), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
        break;
    }
    case ButtonPicture::Exit: {
        // An open door with an arrow leaving through it.
        p.setPen(QPen(QColor(90, 60, 20), 0.8));
        p.setBrush(QColor(190, 140, 70));
        p.drawRect(QRectF(6, 1.5, 8, 13));
        const QPainterPath leaf = pictures::outline({{6, 1.5}, {10, 3}, {10, 16}, {6, 14.5}});
        p.fillPath(leaf, QColor(140, 95, 40));
        p.drawPath(leaf);
        const QPainterPath arrow =
            pictures::outline({{8, 7}, {4, 7}, {4, 5}, {0.5, 8.5}, {4, 12}, {4, 10}, {8, 10}});
        p.fillPath(arrow, QColor(200, 30, 30));
        break;
    }
    }
    return pm;
}

QPixmap drawWindowIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A map sheet with one parcel and its boundary points.
    p.setPen(QPen(kNavy, 1.2));
    p.setBrush(QColor(250, 250, 240));
    p.drawRect(QRectF(2, 2, 28, 28));
    p.setPen(QPen(QColor(190, 205, 225), 0.6));
    for (int i = 8; i < 30; i += 6) {
        p.drawLine(QPointF(i, 2.5), QPointF(i, 29.5));
        p.drawLine(QPointF(2.5, i), QPointF(29.5, i));
    }
    const QPointF parcel[] = {{7, 9}, {19, 5}, {26, 14}, {22, 26}, {9, 24}};
    pictures::parcel(p, parcel, QColor(200, 30, 30), 1.4, 1.7);
    return pm;
}

} // namespace

QIcon pictureIcon(ButtonPicture picture)
{
    QIcon icon;
    if (picture == ButtonPicture::None) return icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(draw(picture, size));
    return icon;
}

QIcon surveyWindowIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(drawWindowIcon(size));
    return icon;
}

SpeedButton::SpeedButton(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::NoFocus);
}

SpeedButton::SpeedButton(ButtonPicture picture, const QString &caption, QWidget *parent)
    : SpeedButton(parent)
{
    setText(caption);
    setPicture(picture);
}

SpeedButton::~SpeedButton() = default;

void SpeedButton::setPicture(ButtonPicture picture)
{
    m_picture = picture;
    setIcon(pictureIcon(picture));
}

} // namespace zarn::ui
