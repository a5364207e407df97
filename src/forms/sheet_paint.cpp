#include "forms/sheet_paint.h"

#include "forms/sheet_layout.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace zarn::forms {

namespace {

// Space on paper between a row's band and its blank: keeps the blank's line
// off the rule of the next group and the text off the line above.
constexpr qreal kBandPad = 4;

int rowCount(const SheetLayout &layout)
{
    int rows = 0;
    for (const SheetEntry &e : layout.entries)
        rows = std::max(rows, e.row);
    return rows;
}

// The leftmost labelled entry of its printed row, whose label lines up with
// the other rows' first labels, as on the paper table.
bool beginsRow(const SheetLayout &layout, const SheetEntry &e)
{
    for (const SheetEntry &o : layout.entries)
        if (o.row == e.row && o.left < e.left) return false;
    return true;
}

} // namespace

SheetGeometry::SheetGeometry(const SheetLayout &layout)
    : m_layout(&layout)
{
    const int rows = rowCount(layout);
    m_screenTop.fill(-1, rows);
    for (const SheetEntry &e : layout.entries) {
        qreal &top = m_screenTop[e.row - 1];
        top = top < 0 ? e.top : std::min<qreal>(top, e.top);
    }
    m_height = layout.pictureHeight;
}

SheetGeometry SheetGeometry::screen(const SheetLayout &layout)
{
    return SheetGeometry(layout);
}

SheetGeometry SheetGeometry::paper(const SheetLayout &layout, qreal height)
{
    SheetGeometry g(layout);
    const int rows = int(g.m_screenTop.size());
    // A row's share of the height: its tallest entry in lines, one at least.
    QList<qreal> lines(rows, 1.0);
    for (const SheetEntry &e : layout.entries)
        lines[e.row - 1] = std::max(lines[e.row - 1], qreal(entryHeight(e)) / kControlHeight);
    qreal total = 0;
    for (qreal l : lines)
        total += l;
    // The frame's own margin above the first row and below the last.
    const qreal inner = height - 2 * kBandPad;
    qreal y = kBandPad;
    for (int r = 0; r < rows; ++r) {
        const qreal h = inner * lines[r] / total;
        g.m_bandTop.append(y);
        g.m_bandHeight.append(h);
        y += h;
    }
    g.m_height = height;
    return g;
}

QRectF SheetGeometry::box(const SheetEntry &e) const
{
    if (m_bandTop.isEmpty()) return QRectF(e.left, e.top, e.width, entryHeight(e));
    const int r = e.row - 1;
    return QRectF(e.left, m_bandTop[r] + kBandPad, e.width, m_bandHeight[r] - 2 * kBandPad);
}

QRectF SheetGeometry::line(const SheetEntry &e) const
{
    const QRectF b = box(e);
    if (b.height() <= kControlHeight) return b;
    return QRectF(b.left(), b.bottom() - kControlHeight, b.width(), kControlHeight);
}

qreal SheetGeometry::ruleAbove(int row) const
{
    if (m_bandTop.isEmpty()) return m_screenTop.value(row - 1) - 1;
    return m_bandTop.value(row - 1);
}

int SheetGeometry::rowAt(qreal screenY) const
{
    int row = 1;
    for (int r = 0; r < m_screenTop.size(); ++r)
        if (m_screenTop[r] >= 0 && m_screenTop[r] <= screenY) row = r + 1;
    return row;
}

QRectF SheetGeometry::place(const QRect &onScreen) const
{
    if (m_bandTop.isEmpty()) return QRectF(onScreen);
    const int r = rowAt(onScreen.center().y()) - 1;
    const qreal bottom = m_bandTop[r] + m_bandHeight[r] - kBandPad;
    return QRectF(onScreen.left(), bottom - kControlHeight, onScreen.width(), kControlHeight);
}

void paintSheet(QPainter &p, const SheetLayout &layout, const QFont &font, const SheetGeometry &g)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRectF(0, 0, layout.pictureWidth, g.height()), Qt::white);
    p.setFont(font);
    const QFontMetrics fm(font);
    p.setPen(QPen(Qt::black, 1));

    if (layout.framed) p.drawRect(QRectF(2, 1, layout.pictureWidth - 5, g.height() - 3));
    for (int row : layout.groupRows) {
        const qreal y = g.ruleAbove(row);
        p.drawLine(QPointF(2, y), QPointF(layout.pictureWidth - 3, y));
    }

    for (const SheetEntry &e : layout.entries) {
        const QStringList lines = text(e.label).split(QLatin1Char('\n'));
        const QRectF box = g.box(e);
        const QRectF line = g.line(e);
        if (e.kind == SheetKind::Heading) {
            p.drawText(QRectF(e.left, line.top(), layout.pictureWidth - e.left - 8, line.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, lines.join(QString()));
            continue;
        }
        if (!lines.first().isEmpty()) {
            int w = 0;
            for (const QString &l : lines)
                w = std::max(w, fm.horizontalAdvance(l));
            // A row's first label starts at the margin when it fits there
            // before its blank, so the first labels line up down the sheet; any
            // other ends just before its blank, so the control lies on it.
            const bool margin = beginsRow(layout, e) && layout.labelMargin + w <= e.left;
            const int x = margin ? layout.labelMargin : e.left - w - 3;
            if (lines.size() == 1) {
                p.drawText(QRectF(x, line.top(), w + 1, line.height()),
                           Qt::AlignLeft | Qt::AlignVCenter, lines.first());
            } else {
                // A label of several lines stands at the top of its blank.
                const qreal lineHeight =
                    std::min<qreal>(kControlHeight, box.height() / qreal(lines.size()));
                for (int i = 0; i < lines.size(); ++i)
                    p.drawText(QRectF(x, box.top() + i * lineHeight, w + 1, lineHeight),
                               Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
            }
        }
        if (e.kind != SheetKind::Button)
            p.drawLine(QPointF(box.left(), box.bottom()), QPointF(box.right() - 1, box.bottom()));
        const QString after = text(e.after);
        if (!after.isEmpty())
            p.drawText(
                QRectF(box.right() + 3, line.top(), fm.horizontalAdvance(after) + 1, line.height()),
                Qt::AlignLeft | Qt::AlignVCenter, after);
    }
    p.restore();
}

} // namespace zarn::forms
