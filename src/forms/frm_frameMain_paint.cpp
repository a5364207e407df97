#include "forms/frm_frameMain_paint.h"

#include "forms/frm_frameMain_table.h"

#include <QFontMetrics>
#include <QPainter>

namespace zarn::forms {

namespace {

// Group boundaries of the printed table: identification and parties,
// persons, rights and use, remarks and points, survey records, type and price.
constexpr int kGroupFirstRows[] = {8, 12, 18, 20, 26};

int rowTop(int row)
{
    for (const SheetEntry &e : sheetTable())
        if (e.row == row) return e.top;
    return 0;
}

} // namespace

void paintUseRightSheet(QPainter &p, const QFont &font)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, kSheetPictureWidth, kSheetPictureHeight, Qt::white);
    p.setFont(font);
    const QFontMetrics fm(font);
    const QPen ink(Qt::black, 1);
    p.setPen(ink);

    // The frame of the printed table and the rules between its groups.
    p.drawRect(2, 1, kSheetPictureWidth - 5, kSheetPictureHeight - 3);
    for (int row : kGroupFirstRows) {
        const int y = rowTop(row) - 1;
        p.drawLine(2, y, kSheetPictureWidth - 3, y);
    }

    for (const SheetEntry &e : sheetTable()) {
        const QString label = text(e.label);
        const int height = e.kind == SheetKind::Memo ? kMemoHeight : kControlHeight;
        if (e.kind == SheetKind::Heading) {
            p.drawText(QRect(e.left, e.top, kSheetPictureWidth - e.left - 8, kControlHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
            continue;
        }
        if (!label.isEmpty()) {
            // The label ends just before its blank, so the control lies on the blank.
            const int w = fm.horizontalAdvance(label);
            p.drawText(QRect(e.left - w - 3, e.top, w + 1, height),
                       Qt::AlignRight | Qt::AlignVCenter, label);
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
