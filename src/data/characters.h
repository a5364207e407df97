#pragma once

#include <QString>
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

// Trims blanks and control characters at both ends, as the forms and the
// editors compare the texts they read (a parcel number of blanks is empty).
inline QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

} // namespace zarn
