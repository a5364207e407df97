// Soft checks of typed values: identity card numbers with their check digit
// and region code, dates, postal codes and telephone numbers. A value passes or names its
// slip; an empty blank always passes.
#include "schema/value_checks.h"

#include <gtest/gtest.h>

using namespace zarn::checks;

namespace {

struct Case {
    ValueCheck check;
    const char *value;
    const char *reasonHas; // empty: the value passes
};

// clang-format off
const Case kCases[] = {
    // The national standard's own example, with a lower-case x too.
    {ValueCheck::IdCard, "11010519491231002X", ""},
    {ValueCheck::IdCard, "11010519491231002x", ""},
    {ValueCheck::IdCard, " 11010519491231002X ", ""},
    {ValueCheck::IdCard, "440582188001010018", ""},
    // Region codes: a current district, one abolished in 2010 (old numbers
    // stay valid), a city-level code, and codes no edition ever held; the
    // region is only looked at once the rest of the number is sound.
    {ValueCheck::IdCard, "11011519900307001X", ""},
    {ValueCheck::IdCard, "110103196508150024", ""},
    {ValueCheck::IdCard, "440300198001010038", ""},
    // Counties merged away in the 1980s and 1990s: 潮阳县 of 汕头市 (1983-1990
    // revisions) and of 汕头地区 before it (1980); people born there keep them.
    {ValueCheck::IdCard, "44052419850101001X", ""},
    {ValueCheck::IdCard, "440524850101001", ""},
    {ValueCheck::IdCard, "442724198203050024", ""},
    // The same prefecture with a county number no revision ever used.
    {ValueCheck::IdCard, "442799198501010013", "前六位 442799"},
    {ValueCheck::IdCard, "999999199003070012", "前六位 999999 不在本组件所带的各版行政区划代码"},
    {ValueCheck::IdCard, "110199199003070017", "前六位 110199"},
    {ValueCheck::IdCard, "999999199003070013", "校验位"},
    // One digit wrong, two digits swapped, the check digit wrong.
    {ValueCheck::IdCard, "11010519491231003X", "校验位"},
    {ValueCheck::IdCard, "11001519491231002X", "校验位"},
    {ValueCheck::IdCard, "110105194912310021", "应为“X”"},
    {ValueCheck::IdCard, "11010519491331002X", "出生日期"},
    {ValueCheck::IdCard, "1101051949123100", "16位"},
    {ValueCheck::IdCard, "1101051949123100YX", "数字"},
    // First-generation numbers carry a yymmdd birth date and no check digit.
    {ValueCheck::IdCard, "110105491231002", ""},
    {ValueCheck::IdCard, "110105490231002", "出生日期"},
    {ValueCheck::IdCard, "11010549123100X", "数字"},
    {ValueCheck::IdCard, "110104650815002", ""},
    {ValueCheck::IdCard, "110199650815002", "前六位 110199"},
    {ValueCheck::IdCard, "999999650231002", "出生日期"},
    {ValueCheck::Date, "20240229", ""},
    {ValueCheck::Date, "20230229", "不是实际日期"},
    {ValueCheck::Date, "20241301", "不是实际日期"},
    {ValueCheck::Date, "00000000", "不是实际日期"},
    {ValueCheck::Date, "2024-3-7", "8位数字"},
    {ValueCheck::Date, "2024年3月7日", "8位数字"},
    {ValueCheck::PostalCode, "210008", ""},
    {ValueCheck::PostalCode, "21000", "6位数字"},
    {ValueCheck::PostalCode, "2100081", "6位数字"},
    {ValueCheck::PostalCode, "21OO08", "6位数字"},
    {ValueCheck::Telephone, "025-84561234", ""},
    {ValueCheck::Telephone, "(025) 8456 1234转12", ""},
    {ValueCheck::Telephone, "025-8456l234", "字母"},
    {ValueCheck::Telephone, "ＡＢＣ", "字母"},
    {ValueCheck::None, "anything", ""},
};
// clang-format on

TEST(ValueChecksTest, EachValueEitherPassesOrNamesItsSlip)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.value);
        const QString why = problem(c.check, QString::fromUtf8(c.value));
        if (!*c.reasonHas)
            EXPECT_TRUE(why.isEmpty()) << qPrintable(why);
        else
            EXPECT_TRUE(why.contains(QString::fromUtf8(c.reasonHas))) << qPrintable(why);
    }
    // An empty blank is left for later, whatever the check.
    for (ValueCheck check : {ValueCheck::IdCard, ValueCheck::Date, ValueCheck::PostalCode})
        EXPECT_TRUE(problem(check, QStringLiteral("  ")).isEmpty());
    EXPECT_EQ(
        problem(ValueCheck::IdCard, QStringLiteral("999999199003070012")),
        QStringLiteral(
            "身份证号码前六位 999999 不在本组件所带的各版行政区划代码（GB/T 2260）中，请核对。"));
    EXPECT_EQ(idCardCheckCharacter(QStringLiteral("11010519491231002")), QChar(u'X'));
    EXPECT_TRUE(idCardCheckCharacter(QStringLiteral("1101051949123100")).isNull());
}

} // namespace
