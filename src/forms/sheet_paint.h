#pragma once

#include <QFont>

class QPainter;

namespace zarn::forms {

struct SheetLayout;

// Draws a printed survey table (frame, group rules, labels and the underlined
// blanks) at design size from the sheet's constant table, for the screen and
// for paper alike.
void paintSheet(QPainter &painter, const SheetLayout &layout, const QFont &font);

} // namespace zarn::forms
