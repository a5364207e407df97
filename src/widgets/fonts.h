#pragma once

#include <QFont>
#include <QStringList>

namespace zarn::ui {

// The Song face the survey forms are set in, followed by the installed Song
// and Ming faces that can stand in for it. Set explicitly so that the look of
// a form does not depend on whatever else happens to be installed.
QStringList songFamilies();

// The forms' font at a point size, sized in pixels at 96 dots per inch
// (9 point = 12 pixels), so that text fits the printed table's blanks on any
// screen.
QFont songFont(int pointSize = 9);

} // namespace zarn::ui
