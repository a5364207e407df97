#include "schema/quality_evaluators.h"

#include "schema/numbering.h"
#include "schema/quality_statements.h"
#include "schema/unit_code.h"

#include <algorithm>
#include <array>

// The checks over the current survey rows alone: complete, well formed and
// numbered as the unit numbers.
namespace zarn::quality::internal {

namespace q = sql::quality;

// ---------------------------------------------------------------- complete

namespace {

// The columns a handed-in table must carry, per kind of table (dcblx; a row
// of no kind is a use-right table, as the forms print it), by their place
// among currentValues' values.
struct Required {
    int kind;
    int value;
    const char *label;
};
constexpr std::array<Required, 9> kRequired{{
    {0, 1, "权利人"},
    {0, 2, "土地坐落"},
    {0, 3, "权属性质"},
    {0, 4, "用途"},
    {0, 5, "调查员"},
    {0, 6, "调查日期"},
    {1, 7, "土地所有者名称"},
    {1, 8, "权属调查员"},
    {1, 6, "调查日期"},
}};

bool filled(const QString &v)
{
    const QString t = v.trimmed();
    return !t.isEmpty() && t != QLatin1String("000");
}
} // namespace

void complete(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues)) {
        const int kind = r.kind == 1 ? 1 : 0;
        QStringList missing;
        for (const Required &req : kRequired)
            if (req.kind == kind && !filled(r.values[req.value]))
                missing << QString::fromUtf8(req.label);
        if (!missing.isEmpty()) out << keyed(r, check, missing.join(QStringLiteral("、")));
    }
}

// ---------------------------------------------------------------- well formed

namespace {

struct Formed {
    int value; // among currentValues' values
    const char *label;
    checks::ValueCheck check;
};
// The dates in the order they are made: survey, measuring, review.
constexpr std::array<Formed, 6> kFormed{{
    {9, "法人代表身份证号码", checks::ValueCheck::IdCard},
    {10, "代理人身份证号码", checks::ValueCheck::IdCard},
    {6, "调查日期", checks::ValueCheck::Date},
    {11, "勘丈日期", checks::ValueCheck::Date},
    {12, "审核日期", checks::ValueCheck::Date},
    {13, "邮政编码", checks::ValueCheck::PostalCode},
}};

} // namespace

// The value checks of one kind over the current rows, one finding per faulty value.
template <checks::ValueCheck Kind> void formed(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues))
        for (std::size_t i = 0; i < kFormed.size(); ++i) {
            if (kFormed[i].check != Kind) continue;
            const QString &raw = r.values[kFormed[i].value];
            if (raw.isEmpty()) continue;
            const QString problem = checks::problem(Kind, raw);
            if (problem.isEmpty()) continue;
            // The sentence says what a date or postcode should be; a card's
            // problem says which of its rules it breaks.
            const QString label = QString::fromUtf8(kFormed[i].label);
            const QString value = raw.trimmed();
            out << keyed(r, check,
                         Kind == checks::ValueCheck::IdCard ? label + QStringLiteral("：") + problem
                         : Kind == checks::ValueCheck::Date
                             ? label + QStringLiteral("“%1”").arg(value)
                             : QStringLiteral("“%1”").arg(value));
        }
}

// The check table names one instance per kind.
template void formed<checks::ValueCheck::IdCard>(Reader &, int, Out &);
template void formed<checks::ValueCheck::Date>(Reader &, int, Out &);
template void formed<checks::ValueCheck::PostalCode>(Reader &, int, Out &);

// 调查日期 ≤ 勘丈日期 ≤ 审核日期 among those present and well formed.
void dateOrder(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.table(q::currentValues)) {
        QString last, lastLabel;
        for (std::size_t i = 2; i <= 4; ++i) {
            const QString v = r.values[kFormed[i].value].trimmed();
            if (v.isEmpty() || !checks::problem(checks::ValueCheck::Date, v).isEmpty()) continue;
            const QString label = QString::fromUtf8(kFormed[i].label);
            if (!last.isEmpty() && v < last) {
                out << keyed(r, check,
                             QStringLiteral("%1 %2 早于%3 %4").arg(label, v, lastLabel, last));
                break;
            }
            last = v;
            lastLabel = label;
        }
    }
}

// ---------------------------------------------------------------- numbering

namespace {

bool digitsOnly(QStringView s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// A number as the unit's numbering makes it: as long as the unit's first
// number, digits only, and never below it. What differs between the survey
// table number and the parcel number is data.
struct NumberForm {
    QString Row::*column;
    bool trimmed; // the survey table number is compared trimmed, the parcel number as it stands
    QString (*first)(const numbering::UnitCodeParts &);
    const char *blank;
    QString (*wrong)(const Row &r, const QString &first);
};

// The survey table number: the unit code and four digits of sequence, the
// sequence carrying into the code's last digits past 9999 (the forms number
// a big unit so).
const NumberForm kSurveyNumber{
    &Row::dcbh, true, &numbering::firstSurveyNumber, "未填写调查表号",
    [](const Row &r, const QString &first) {
        return QStringLiteral("应为单位代码 %1 后接4位顺序号，本单位第一个调查表号为 %2")
            .arg(r.dwdm, first);
    }};

// The parcel number: street and block code and four digits of sequence
// (carrying into the block digits past 9999).
const NumberForm kParcelNumber{
    &Row::zdbh, false, &numbering::firstParcelNumber, "未填写地籍号",
    [](const Row &, const QString &first) {
        return QStringLiteral("应为%1位数字，本单位第一个地籍号为 %2").arg(first.size()).arg(first);
    }};

void numberForm(const NumberForm &form, Reader &reader, int check, Out &out)
{
    QHash<QString, QString> firstOf;
    for (const Row &r : reader.table(q::numberRows)) {
        auto it = firstOf.constFind(r.dwdm);
        if (it == firstOf.constEnd())
            it = firstOf.insert(r.dwdm, unitcode::isDigitCode(r.dwdm)
                                            ? form.first(numbering::splitUnitCode(r.dwdm))
                                            : QString());
        const QString &first = *it;
        const QString &stated = r.*form.column;
        const QString number = form.trimmed ? stated.trimmed() : stated;
        if (!first.isEmpty() && number.size() == first.size() && digitsOnly(number) &&
            number >= first)
            continue;
        out << keyed(r, check,
                     stated.trimmed().isEmpty() ? QString::fromUtf8(form.blank)
                                                : form.wrong(r, first));
    }
}

} // namespace

void surveyNumberForm(Reader &reader, int check, Out &out)
{
    numberForm(kSurveyNumber, reader, check, out);
}

void parcelNumberForm(Reader &reader, int check, Out &out)
{
    numberForm(kParcelNumber, reader, check, out);
}

} // namespace zarn::quality::internal
