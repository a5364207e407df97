#pragma once

#include <QString>

namespace zarn {

// Why Qt could not open windows on the X display this process would use, or
// empty when it can, or when the process does not use X. Qt ends the whole
// process when it cannot reach its display, so the component asks first,
// before it makes an application object inside the host.
QString unreachableDisplay();

} // namespace zarn
