#include "forms/sheet_paint.h"

#include "forms/sheet_layout.h"

#include <QFontMetrics>
#include <QPainter>

namespace zarn::forms {

namespace {

int rowTop(const SheetLayout &layout, int row)
{
    for (const SheetEntry &e : layout.entries)
        if (e.row == row) return e.top;
    return 0;
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

void paintSheet(QPainter &p, const SheetLayout &layout, const QFont &font)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, layout.pictureWidth, layout.pictureHeight, Qt::white);
    p.setFont(font);
    const QFontMetrics fm(font);
    p.setPen(QPen(Qt::black, 1));

    if (layout.framed) p.drawRect(2, 1, layout.pictureWidth - 5, layout.pictureHeight - 3);
    for (int row : layout.groupRows) {
        const int y = rowTop(layout, row) - 1;
        p.drawLine(2, y, layout.pictureWidth - 3, y);
    }

    for (const SheetEntry &e : layout.entries) {
        const QStringList lines = text(e.label).split(QLatin1Char('\n'));
        const int height = entryHeight(e);
        if (e.kind == SheetKind::Heading) {
            p.drawText(QRect(e.left, e.top, layout.pictureWidth - e.left - 8, kControlHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, lines.join(QString()));
            continue;
        }
        if (!lines.first().isEmpty()) {
            int w = 0;
            for (const QString &line : lines)
                w = std::max(w, fm.horizontalAdvance(line));
            // A row's first label starts at the margin when it fits there;
            // any other ends just before its blank, so the control lies on it.
            const bool margin = beginsRow(layout, e) && layout.labelMargin + w + 3 <= e.left;
            const int x = margin ? layout.labelMargin : e.left - w - 3;
            const int lineHeight = height / int(lines.size());
            for (int i = 0; i < lines.size(); ++i)
                p.drawText(QRect(x, e.top + i * lineHeight, w + 1, lineHeight),
                           Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
        }
        if (e.kind != SheetKind::Button) {
            const int y = e.top + height;
            p.drawLine(e.left, y, e.left + e.width - 1, y);
        }
        const QString after = text(e.after);
        if (!after.isEmpty())
            p.drawText(QRect(e.left + e.width + 3, e.top, fm.horizontalAdvance(after) + 1, height),
                       Qt::AlignLeft | Qt::AlignVCenter, after);
    }
    p.restore();
}

} // namespace zarn::forms
