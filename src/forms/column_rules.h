#pragma once

#include "schema/value_checks.h"

#include <QString>
#include <span>

namespace zarn::forms {

// What the input method should offer first in a blank.
enum class BlankInput {
    Text,   // Chinese text: names, addresses, notes
    Digits, // numbers, dates, counts, telephone and postal numbers
    Latin,  // codes of letters and digits
};

// What a column of the survey table takes when typed into a sheet's blank:
// the soft check its value is held to and the input it is typed with. One
// table for both sheets, since they bind the same columns; a column missing
// here is Chinese text without a check.
struct ColumnRule {
    const char *column; // column of T_DJDCB, any case
    zarn::checks::ValueCheck check;
    BlankInput input;
};

std::span<const ColumnRule> columnRules();

// The rule of a column (case-insensitive), or null.
const ColumnRule *columnRule(const QString &column);

} // namespace zarn::forms
