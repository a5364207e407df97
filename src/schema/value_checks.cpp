#include "schema/value_checks.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <iterator>

namespace zarn::checks {

namespace {

bool allDigits(QStringView s)
{
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return !s.isEmpty();
}

// A real calendar day from "yyyymmdd" digits.
bool realDate(QStringView yyyymmdd)
{
    if (yyyymmdd.size() != 8 || !allDigits(yyyymmdd)) return false;
    const QDate d(yyyymmdd.left(4).toInt(), yyyymmdd.mid(4, 2).toInt(), yyyymmdd.mid(6, 2).toInt());
    return d.isValid() && d.year() >= 1000;
}

// The region codes of the editions of GB/T 2260 the component carries,
// abolished ones included: people keep the number they got in a county that
// has since been renamed or merged. Sorted when the build writes them.
constexpr int kRegionCodes[] = {
#include "region_codes.inc"
};

// A number whose first six digits name no region at all is mistyped there,
// even when its check digit happens to fit.
QString regionProblem(QStringView region)
{
    if (std::binary_search(std::begin(kRegionCodes), std::end(kRegionCodes), region.toInt()))
        return {};
    return QStringLiteral(
               "身份证号码前六位 %1 不在本组件所带的各版行政区划代码（GB/T 2260）中，请核对。")
        .arg(region);
}

QString idCardProblem(const QString &v)
{
    if (v.size() == 15) {
        // Numbers of the first generation: six digits of the region, the birth
        // date as yymmdd in the 1900s, three of sequence, no check digit.
        if (!allDigits(v)) return QStringLiteral("15位的身份证号码应全为数字，请核对。");
        if (!realDate(QString(QStringLiteral("19") + v.mid(6, 6))))
            return QStringLiteral("身份证号码中的出生日期“%1”不是实际日期，请核对。")
                .arg(v.mid(6, 6));
        return regionProblem(QStringView(v).left(6));
    }
    if (v.size() != 18)
        return QStringLiteral("身份证号码应为18位（旧号码15位），现在是%1位，请核对。")
            .arg(v.size());
    const QString first17 = v.left(17);
    const QChar last = v.at(17).toUpper();
    if (!allDigits(first17) || !(last == u'X' || (last >= u'0' && last <= u'9')))
        return QStringLiteral("身份证号码前17位应为数字，最后一位为数字或X，请核对。");
    if (!realDate(QStringView(v).mid(6, 8)))
        return QStringLiteral("身份证号码中的出生日期“%1”不是实际日期，请核对。").arg(v.mid(6, 8));
    const QChar expected = idCardCheckCharacter(first17);
    if (last != expected)
        return QStringLiteral("身份证号码校验位不符：按前17位应为“%1”，现在是“%2”，请核对号码。")
            .arg(expected)
            .arg(v.at(17));
    return regionProblem(QStringView(v).left(6));
}

QString dateProblem(const QString &v)
{
    if (v.size() != 8 || !allDigits(v))
        return QStringLiteral("日期应为8位数字，年月日相连，如20240307。");
    if (!realDate(v)) return QStringLiteral("“%1”不是实际日期，请核对年、月、日。").arg(v);
    return {};
}

QString telephoneProblem(const QString &v)
{
    for (QChar c : v)
        if (c.isLetter() && c.script() == QChar::Script_Latin)
            return QStringLiteral("电话号码中有字母“%1”，请核对。").arg(c);
    return {};
}

} // namespace

QChar idCardCheckCharacter(const QString &first17)
{
    if (first17.size() != 17 || !allDigits(first17)) return {};
    // Weights 2^(17-i) mod 11 for the digits from the left.
    static constexpr std::array<int, 17> weights{7, 9, 10, 5,  8, 4, 2, 1, 6,
                                                 3, 7, 9,  10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first17.at(i).unicode() - u'0') * weights[std::size_t(i)];
    return QChar(u"10X98765432"[sum % 11]);
}

QString problem(ValueCheck check, const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty()) return {};
    switch (check) {
    case ValueCheck::None:
        return {};
    case ValueCheck::IdCard:
        return idCardProblem(v);
    case ValueCheck::Date:
        return dateProblem(v);
    case ValueCheck::PostalCode:
        if (v.size() != 6 || !allDigits(v))
            return QStringLiteral("邮政编码应为6位数字，现在是“%1”，请核对。").arg(v);
        return {};
    case ValueCheck::Telephone:
        return telephoneProblem(v);
    }
    return {};
}

} // namespace zarn::checks
