#pragma once

#include <QStringView>

namespace zarn {

// Characters as the databases count them in a column's width: a character
// outside the Basic Multilingual Plane (𠮷) is one, not the two UTF-16 units
// QString::size() counts.
inline qsizetype characterCount(QStringView s)
{
    qsizetype n = 0;
    for (const QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
}

} // namespace zarn
