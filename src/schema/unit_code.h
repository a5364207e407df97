#pragma once

#include <QString>
#include <QVariantList>

// Which rows belong to a session's unit: those whose dwdm begins with its
// unit code (the unit itself and every unit whose code extends it).
namespace zarn::unitcode {

// The escape character of the unit lists' like pattern (survey_statements.h).
inline constexpr char16_t kLikeEscape = u'!';

// The values the unit lists bind, in order: the low and high end of a range
// on dwdm that an index on dwdm can walk, then the like pattern that decides.
//
// The range is only a superset of the prefix match, never a subset, under any
// usual collation (binary, SQLite's nocase, PostgreSQL's "C", ICU or glibc
// locales): it is narrowed by the code's leading ASCII digits, which compare
// by their value everywhere, and the upper end carries over nines ("3209" ->
// "321") instead of using the character after '9', which locales may ignore.
// Without leading digits (an empty code matches every unit) the range runs
// from U+0001 (not the empty text, which Oracle reads as null) to U+FFFF.
//
// The pattern is the code with '%', '_' and the escape character escaped,
// then '%': a unit code matches itself and its sub-units only.
struct UnitRange {
    QString low;
    QString high;
    QString pattern;

    QVariantList params() const { return {low, high, pattern}; }
};

UnitRange unitRange(const QString &dwdm);

// A unit code is made of the digits 0-9 only (twelve of them for a village
// group, fewer for a district or a street). Anything else would reach the
// stored rows as it stands (DWDM, QSDM) and cut the new numbers out of it.
bool isDigitCode(const QString &dwdm);

// unitRange(dwdm).params(): what a form binds to open its unit's rows.
inline QVariantList unitListParams(const QString &dwdm)
{
    return unitRange(dwdm).params();
}

} // namespace zarn::unitcode
