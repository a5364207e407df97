#pragma once

#include <QString>

// Soft checks of what a surveyor types into a blank: they point at a likely
// slip and never refuse a value. Plain functions without widgets.
namespace zarn::checks {

enum class ValueCheck {
    None,
    IdCard,     // resident identity card number: 18 characters with a check digit, or 15 digits
    Date,       // date text "yyyymmdd"
    PostalCode, // six digits
    Telephone,  // no letters
};

// Why the value looks wrong, as a Chinese sentence for the surveyor; empty
// when it looks right. An empty blank is always right: a blank may be left
// for later.
QString problem(ValueCheck check, const QString &value);

// The check character an 18-character identity card number ends with,
// computed from its first 17 digits; a null character when they are not 17
// digits.
QChar idCardCheckCharacter(const QString &first17);

} // namespace zarn::checks
