#include "forms/column_rules.h"

#include <array>

namespace zarn::forms {

namespace {

using C = zarn::checks::ValueCheck;
using I = BlankInput;

// clang-format off
constexpr std::array<ColumnRule, 21> kRules{{
    {.column = "FRSFZM", .check = C::IdCard,     .input = I::Digits},
    {.column = "DLRSFZ", .check = C::IdCard,     .input = I::Digits},
    {.column = "DCRQ",   .check = C::Date,       .input = I::Digits},
    {.column = "KZRQ",   .check = C::Date,       .input = I::Digits},
    {.column = "DCSHRQ", .check = C::Date,       .input = I::Digits},
    {.column = "QLRYB",  .check = C::PostalCode, .input = I::Digits},
    {.column = "FRDBDH", .check = C::Telephone,  .input = I::Digits},
    {.column = "DLRDH",  .check = C::Telephone,  .input = I::Digits},
    // The period of use is kept as typed (it may read 长期); digits come first.
    {.column = "QSRQ",   .check = C::None,       .input = I::Digits},
    {.column = "ZZRQ",   .check = C::None,       .input = I::Digits},
    {.column = "DCBH",   .check = C::None,       .input = I::Digits},
    {.column = "ZDBH",   .check = C::None,       .input = I::Digits},
    {.column = "YBDJH",  .check = C::None,       .input = I::Digits},
    {.column = "DWDM",   .check = C::None,       .input = I::Digits},
    {.column = "QSDM",   .check = C::None,       .input = I::Digits},
    {.column = "QLRZS",  .check = C::None,       .input = I::Digits},
    {.column = "JZDGS",  .check = C::None,       .input = I::Digits},
    {.column = "BDDJ",   .check = C::None,       .input = I::Digits},
    {.column = "PZYTDM", .check = C::None,       .input = I::Digits},
    {.column = "TDYTDM", .check = C::None,       .input = I::Digits},
    // Map sheet numbers mix letters and digits (J50E001001, 3250.0-480.5).
    {.column = "SZTFH",  .check = C::None,       .input = I::Latin},
}};
// clang-format on

} // namespace

std::span<const ColumnRule> columnRules()
{
    return kRules;
}

const ColumnRule *columnRule(const QString &column)
{
    for (const ColumnRule &r : kRules)
        if (column.compare(QLatin1String(r.column), Qt::CaseInsensitive) == 0) return &r;
    return nullptr;
}

} // namespace zarn::forms
