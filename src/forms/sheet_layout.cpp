#include "forms/sheet_layout.h"

namespace zarn::forms {

const SheetEntry *sheetEntry(const SheetLayout &layout, const QString &control)
{
    for (const SheetEntry &e : layout.entries)
        if (*e.control && control == QLatin1String(e.control)) return &e;
    return nullptr;
}

} // namespace zarn::forms
