#pragma once

#include "data/errors.h"

#include <QDate>
#include <QString>
#include <QVariant>

// How new survey rows are numbered. Plain functions without a database: the
// forms run the highest-number statements and hand the results in here.
namespace zarn::numbering {

// A number base that cannot give a new number: empty, holding something other
// than the digits 0-9, or beyond a signed 64-bit integer. The message names the
// number (地籍号 or 调查表号) and the offending base, for the user.
class NumberBaseError : public ConversionError {
public:
    using ConversionError::ConversionError;
};

// The five parts of a unit code by character position: 1-2, 3-4, 5-6, 7-9,
// 10-12. A short code gives short or empty parts; characters after the twelfth
// belong to no part.
struct UnitCodeParts {
    QString province; // 1-2
    QString city;     // 3-4
    QString district; // 5-6, stored as qhdm
    QString street;   // 7-9, stored as jddm
    QString block;    // 10-12, stored as jfdm

    QString joined() const { return province + city + district + street + block; }
};

UnitCodeParts splitUnitCode(const QString &dwdm);

// Bases of the first row of a unit (the form's dataset holds no row):
// survey number: the five parts joined, then "0000";
// parcel number: "1", street, block, then "0000".
QString firstSurveyNumberBase(const UnitCodeParts &parts);
QString firstParcelNumberBase(const UnitCodeParts &parts);

// Bases after the unit's highest stored numbers (max(dcbh), max(zdbh) as text,
// empty for null). The leading "1" of the parcel base carries the width and the
// leading zeros of the highest number through the increment.
QString surveyNumberBase(const QString &highestDcbh);
QString parcelNumberBase(const QString &highestZdbh);

// The next parcel number: base + 1 in decimal without its first digit, as wide
// as the base minus one ("10010010999" -> "0010011000", "1999" -> "000").
// Throws NumberBaseError for a base that is empty, is only the leading "1" (no
// highest number to continue from), holds a non-digit or overflows.
QString nextParcelNumber(const QString &base);

// The next survey table number: base + 1 in decimal; leading zeros are lost
// ("0123456789010000" -> "123456789010001"). Throws NumberBaseError as above.
QString nextSurveyNumber(const QString &base);

// A base that cannot give a number is told as the surveyor knows it: the
// unit's highest number as stored (never the base, whose leading "1" is ours),
// or for a unit's first row the unit code it was made from.

// The numbers of a unit's first row, from the first bases above.
QString firstParcelNumber(const UnitCodeParts &parts);
QString firstSurveyNumber(const UnitCodeParts &parts);

// The next row number after a highest stored one (max(id), max(XH)): 1 when
// the highest is null. Throws ConversionError when it is not a whole number.
qint64 nextRowNumber(const QVariant &highest);

// A date as the survey tables store it: eight digits "yyyymmdd".
QString dateText(const QDate &date);
// Today's local date as dateText.
QString todayText();

} // namespace zarn::numbering
