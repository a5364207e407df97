#pragma once

#include <QFont>

class QPainter;

namespace zarn::forms {

// Draws the printed use-right survey table (labels and the underlined blanks)
// at design size from the sheet's constant table. Used for the screen and
// for printing alike.
void paintUseRightSheet(QPainter &painter, const QFont &font);

} // namespace zarn::forms
