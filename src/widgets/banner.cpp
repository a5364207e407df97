#include "widgets/banner.h"

#include "widgets/fonts.h"
#include "widgets/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace zarn::ui {

namespace {

// The banner is drawn on a 670 × 60 canvas and stretched to the widget.
constexpr qreal kWidth = 670;
constexpr qreal kHeight = 60;

void drawWorld(QPainter &p)
{
    p.save();
    const QPointF centre(600, 30);
    const qreal r = 46;
    QPainterPath globe;
    globe.addEllipse(centre, r, r);
    QRadialGradient sea(centre - QPointF(14, 14), r * 1.3);
    sea.setColorAt(0, QColor(215, 233, 250));
    sea.setColorAt(1, QColor(160, 196, 232));
    p.setClipRect(QRectF(0, 0, kWidth, kHeight));
    p.fillPath(globe, sea);
    p.setClipPath(globe, Qt::IntersectClip);
    // Parallels and meridians.
    p.setPen(QPen(QColor(255, 255, 255, 150), 0.7));
    for (int k = -3; k <= 3; ++k)
        p.drawLine(QPointF(centre.x() - r, centre.y() + k * 12),
                   QPointF(centre.x() + r, centre.y() + k * 12));
    for (int k = 1; k <= 4; ++k) {
        const qreal w = r * k / 4.0;
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, w, r);
    }
    // Continents, roughly: enough to read as a world map.
    p.setPen(QPen(QColor(90, 140, 190, 200), 0.6));
    p.setBrush(QColor(120, 165, 210, 170));
    QPainterPath land;
    land.moveTo(565, 8);
    land.cubicTo(580, 0, 600, 4, 604, 14);
    land.cubicTo(608, 22, 596, 26, 590, 34);
    land.cubicTo(586, 40, 578, 36, 575, 28);
    land.cubicTo(570, 20, 558, 18, 565, 8);
    land.moveTo(612, 10);
    land.cubicTo(628, 4, 648, 12, 644, 24);
    land.cubicTo(640, 32, 626, 28, 622, 36);
    land.cubicTo(618, 44, 610, 40, 612, 30);
    land.cubicTo(614, 22, 604, 18, 612, 10);
    land.moveTo(596, 42);
    land.cubicTo(604, 40, 610, 50, 604, 62);
    land.cubicTo(598, 66, 590, 56, 596, 42);
    land.moveTo(630, 44);
    land.cubicTo(640, 42, 646, 48, 640, 54);
    land.cubicTo(634, 58, 626, 50, 630, 44);
    p.drawPath(land);
    p.restore();
    // A faint grid running out of the globe to the left.
    p.save();
    p.setPen(QPen(QColor(150, 185, 225, 90), 0.6, Qt::DotLine));
    for (qreal x = 470; x < 560; x += 12)
        p.drawLine(QPointF(x, 4), QPointF(x, 56));
    for (qreal y = 6; y < 60; y += 12)
        p.drawLine(QPointF(460, y), QPointF(560, y));
    p.restore();
}

void drawLogo(QPainter &p)
{
    p.save();
    const QPointF c(32, 30);
    QRadialGradient disc(c - QPointF(6, 6), 26);
    disc.setColorAt(0, QColor(255, 255, 255));
    disc.setColorAt(1, QColor(200, 222, 245));
    p.setPen(QPen(QColor(0, 0, 128), 2.2));
    p.setBrush(disc);
    p.drawEllipse(c, 24, 24);
    p.setPen(QPen(QColor(0, 0, 128, 120), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 20, 20);
    // A parcel with its boundary points.
    const QPointF parcel[] = {{20, 24}, {31, 15}, {45, 22}, {42, 40}, {24, 41}};
    pictures::parcel(p, parcel, QColor(190, 30, 30), 1.6, 2.0);
    p.restore();
}

void drawTitle(QPainter &p, const QString &title)
{
    if (title.isEmpty()) return;
    p.save();
    QFont font = songFont(9);
    font.setPixelSize(34);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    QPainterPath text;
    text.addText(0, 0, font, title);
    const QRectF box = text.boundingRect();
    // Centred on the banner, but clear of the logo should the title be long.
    qreal x = (kWidth - box.width()) / 2 - box.left();
    x = qMax(x, 66 - box.left());
    const qreal y = (kHeight - box.height()) / 2 - box.top();
    text.translate(x, y);
    // A soft shadow, a wide white outline, then the letters in a blue gradient.
    p.translate(1.5, 1.5);
    p.fillPath(text, QColor(0, 0, 80, 70));
    p.translate(-1.5, -1.5);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(text);
    QLinearGradient ink(0, y + box.top(), 0, y + box.bottom());
    ink.setColorAt(0, QColor(40, 90, 200));
    ink.setColorAt(1, QColor(0, 0, 110));
    p.setPen(QPen(QColor(0, 0, 90), 0.8));
    p.setBrush(ink);
    p.drawPath(text);
    p.restore();
}

} // namespace

Banner::Banner(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Banner::~Banner() = default;

void Banner::setTitle(const QString &title)
{
    if (title == m_title) return;
    m_title = title;
    update();
}

QSize Banner::sizeHint() const
{
    return {int(kWidth), int(kHeight)};
}

void Banner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // One scale for both directions, from the height: a window wider than
    // the design keeps the logo round at the left, the world at the right
    // and the title in the middle, over a ground that runs the whole width.
    const qreal s = height() / kHeight;
    const qreal w = width() / s;
    p.scale(s, s);
    QLinearGradient ground(0, 0, w, 0);
    ground.setColorAt(0, QColor(244, 249, 255));
    ground.setColorAt(0.6, QColor(226, 238, 251));
    ground.setColorAt(1, QColor(205, 224, 246));
    p.fillRect(QRectF(0, 0, w, kHeight), ground);
    p.save();
    p.translate(w - kWidth, 0);
    drawWorld(p);
    p.restore();
    drawLogo(p);
    p.save();
    p.translate((w - kWidth) / 2, 0);
    drawTitle(p, m_title);
    p.restore();
    p.setPen(QPen(QColor(150, 180, 215), 1));
    p.drawLine(QPointF(0, kHeight - 0.5), QPointF(w, kHeight - 0.5));
}

} // namespace zarn::ui
