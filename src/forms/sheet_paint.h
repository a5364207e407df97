#pragma once

#include <QFont>
#include <QList>
#include <QRectF>

class QPainter;
class QRect;

namespace zarn::forms {

struct SheetEntry;
struct SheetLayout;

// Where the printed rows of a sheet lie when drawn, in design pixels. On the
// screen every entry sits where the sheet's table puts it, under its control.
// On paper each printed row gets a band of the page's height, as many lines
// tall as its tallest entry, with the blank's line at the foot of its band,
// clear of the rule that opens the next group.
class SheetGeometry {
public:
    static SheetGeometry screen(const SheetLayout &layout);
    // The rows spread over `height`.
    static SheetGeometry paper(const SheetLayout &layout, qreal height);

    // The entry's blank; its line is the bottom edge.
    QRectF box(const SheetEntry &e) const;
    // The line of one-line text in the blank: labels and short values.
    QRectF line(const SheetEntry &e) const;
    // Where the rule opening a group above `row` lies.
    qreal ruleAbove(int row) const;
    // A place given in screen positions (the change notice), moved onto the
    // line of the printed row it lies on.
    QRectF place(const QRect &onScreen) const;
    qreal height() const { return m_height; }

private:
    explicit SheetGeometry(const SheetLayout &layout);
    int rowAt(qreal screenY) const;

    const SheetLayout *m_layout;
    // Per printed row (index row - 1): its top on the screen, and on paper the
    // band's top and height; no bands on the screen.
    QList<qreal> m_screenTop, m_bandTop, m_bandHeight;
    qreal m_height = 0;
};

// Draws a printed survey table (frame, group rules, labels and the underlined
// blanks) from the sheet's constant table, for the screen and for paper alike.
void paintSheet(QPainter &painter, const SheetLayout &layout, const QFont &font,
                const SheetGeometry &geometry);
inline void paintSheet(QPainter &painter, const SheetLayout &layout, const QFont &font)
{
    paintSheet(painter, layout, font, SheetGeometry::screen(layout));
}

} // namespace zarn::forms
