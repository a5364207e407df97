// How new survey rows are numbered: unit-code parts, number bases, the next
// parcel and survey numbers, row numbers and date texts.
#include "schema/numbering.h"

#include <functional>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::numbering;

namespace {

// The numbers of a new row as the forms compute them.
struct FirstRow {
    QString zdbh, dcbh;
};
FirstRow firstRowOf(const QString &dwdm)
{
    const UnitCodeParts p = splitUnitCode(dwdm);
    return {firstParcelNumber(p), firstSurveyNumber(p)};
}

} // namespace

TEST(NumberingTest, UnitCodePartsFollowCharacterPositions)
{
    const UnitCodeParts full = splitUnitCode(QStringLiteral("320102003004"));
    EXPECT_EQ(full.province, "32");
    EXPECT_EQ(full.city, "01");
    EXPECT_EQ(full.district, "02");
    EXPECT_EQ(full.street, "003");
    EXPECT_EQ(full.block, "004");

    // A short code gives short and empty parts.
    const UnitCodeParts shortCode = splitUnitCode(QStringLiteral("3201020"));
    EXPECT_EQ(shortCode.district, "02");
    EXPECT_EQ(shortCode.street, "0");
    EXPECT_EQ(shortCode.block, "");
    EXPECT_EQ(splitUnitCode(QString()).joined(), "");

    // Characters after the twelfth belong to no part.
    EXPECT_EQ(splitUnitCode(QStringLiteral("3201020030049999")).joined(), "320102003004");
}

TEST(NumberingTest, FirstRowOfAUnitTakesItsNumbersFromTheUnitCode)
{
    const FirstRow a = firstRowOf(QStringLiteral("320102003004"));
    EXPECT_EQ(a.zdbh, "0030040001");
    EXPECT_EQ(a.dcbh, "3201020030040001");

    const FirstRow b = firstRowOf(QStringLiteral("320102001001"));
    EXPECT_EQ(b.zdbh, "0010010001");
    EXPECT_EQ(b.dcbh, "3201020010010001");

    // A leading zero of the unit code is lost in the survey number only.
    const FirstRow c = firstRowOf(QStringLiteral("012345678901"));
    EXPECT_EQ(firstSurveyNumberBase(splitUnitCode(QStringLiteral("012345678901"))),
              "0123456789010000");
    EXPECT_EQ(c.dcbh, "123456789010001");
    EXPECT_EQ(c.zdbh, "6789010001");

    // A short unit code gives short numbers.
    const FirstRow d = firstRowOf(QStringLiteral("3201020"));
    EXPECT_EQ(firstParcelNumberBase(splitUnitCode(QStringLiteral("3201020"))), "100000");
    EXPECT_EQ(d.zdbh, "00001");
    EXPECT_EQ(d.dcbh, "32010200001");
}

TEST(NumberingTest, NextParcelNumberKeepsWidthAndLeadingZeros)
{
    auto after = [](const char *highest) {
        return nextParcelNumber(parcelNumberBase(QString::fromLatin1(highest)));
    };
    EXPECT_EQ(after("0010010007"), "0010010008");
    EXPECT_EQ(after("0030040007"), "0030040008");
    EXPECT_EQ(after("0010010999"), "0010011000");
    // The carry runs into the leading "1", which is dropped: nines roll over.
    EXPECT_EQ(after("999"), "000");
    EXPECT_EQ(after("0"), "1");
    // 18 digits still fit with the leading "1".
    EXPECT_EQ(after("999999999999999998"), "999999999999999999");
}

TEST(NumberingTest, NextSurveyNumberLosesLeadingZeros)
{
    EXPECT_EQ(nextSurveyNumber(surveyNumberBase(QStringLiteral("3201020030040007"))),
              "3201020030040008");
    EXPECT_EQ(nextSurveyNumber(QStringLiteral("0012")), "13");
    EXPECT_EQ(nextSurveyNumber(QStringLiteral("9223372036854775806")), "9223372036854775807");
}

TEST(NumberingTest, UnusableBasesRaiseAClearErrorNamingWhatTheSurveyorKnows)
{
    const UnitCodeParts lettered = splitUnitCode(QStringLiteral("32010200A001"));
    struct Case {
        std::function<QString()> next;
        bool parcel;
        const char *mentions;
    };
    const Case cases[] = {
        // No highest number (an empty max(zdbh) leaves only the leading "1"):
        // the box says how to open the unit that numbers the parcel.
        {[] { return nextParcelNumber(parcelNumberBase(QString())); }, true, "完整代码"},
        {[] { return nextParcelNumber(QString()); }, true, "完整代码"},
        {[] { return nextSurveyNumber(QString()); }, false, "完整代码"},
        // The highest number as stored, never the base with our leading "1".
        {[] { return nextParcelNumber(parcelNumberBase(QStringLiteral("0010029999X"))); }, true,
         "最大地籍号“0010029999X”含有数字以外的字符"},
        {[] { return nextSurveyNumber(QStringLiteral("12 3")); }, false, "“12 3”含有数字以外"},
        {[] { return nextSurveyNumber(QStringLiteral("-5")); }, false, "数字以外"},
        {[] { return nextSurveyNumber(QStringLiteral("+5")); }, false, "数字以外"},
        {[] { return nextSurveyNumber(QStringLiteral("１２")); }, false, "数字以外"}, // full-width
        // 19 stored digits no longer fit behind the leading "1".
        {[] { return nextParcelNumber(parcelNumberBase(QStringLiteral("1234567890123456789"))); },
         true, "最大地籍号“1234567890123456789”位数过多"},
        {[] { return nextSurveyNumber(QStringLiteral("99999999999999999999")); }, false,
         "位数过多"},
        // The largest 64-bit number has no successor.
        {[] { return nextSurveyNumber(QStringLiteral("9223372036854775807")); }, false, "位数过多"},
        // A unit's first numbers come from its code, and the box names it.
        {[&] { return firstParcelNumber(lettered); }, true, "单位代码“32010200A001”含有数字以外"},
        {[&] { return firstSurveyNumber(lettered); }, false, "单位代码“32010200A001”"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mentions);
        try {
            c.next();
            ADD_FAILURE() << "no error";
        } catch (const NumberBaseError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.mentions)))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().startsWith(c.parcel ? QStringLiteral("无法生成新的地籍号")
                                                        : QStringLiteral("无法生成新的调查表号")))
                << e.message().toStdString();
            EXPECT_FALSE(e.message().contains(QStringLiteral("10010029999X")));
        }
    }
    // The forms report it as the conversion error it is.
    EXPECT_THROW(nextSurveyNumber(QStringLiteral("x")), ConversionError);
}

TEST(NumberingTest, RowNumbersFollowTheHighestStoredOne)
{
    EXPECT_EQ(nextRowNumber(QVariant()), 1);
    EXPECT_EQ(nextRowNumber(QVariant(QMetaType::fromType<qlonglong>())), 1); // a null of a type
    EXPECT_EQ(nextRowNumber(qlonglong(41)), 42);
    EXPECT_EQ(nextRowNumber(int(7)), 8);
    EXPECT_EQ(nextRowNumber(QStringLiteral("12")), 13); // drivers that hand out text
    EXPECT_THROW(nextRowNumber(QStringLiteral("abc")), ConversionError);
    EXPECT_THROW(nextRowNumber(std::numeric_limits<qint64>::max()), ConversionError);
}

TEST(NumberingTest, DatesAreEightDigits)
{
    EXPECT_EQ(dateText(QDate(2024, 3, 7)), "20240307");
    EXPECT_EQ(dateText(QDate(2006, 12, 6)), "20061206");
    const QString today = todayText();
    EXPECT_EQ(today.size(), 8);
    EXPECT_EQ(QDate::fromString(today, QStringLiteral("yyyyMMdd")), QDate::currentDate());
}
