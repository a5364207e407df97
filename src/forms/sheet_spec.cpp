#include "forms/sheet_spec.h"

namespace zarn::forms {

const SheetEntry *sheetEntry(const SheetSpec &spec, const QString &control)
{
    for (const SheetEntry &e : spec.entries)
        if (*e.control && control == QLatin1String(e.control)) return &e;
    return nullptr;
}

} // namespace zarn::forms
