#include "schema/unit_code.h"

namespace zarn::unitcode {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The shortest digit text that sorts after every text beginning with
// `digits`: the last digit that is not a 9 goes up by one and what follows
// it is dropped. Empty when every digit is a 9.
QString digitsAfter(const QString &digits)
{
    qsizetype i = digits.size();
    while (i > 0 && digits[i - 1] == QLatin1Char('9'))
        --i;
    if (i == 0) return {};
    QString out = digits.left(i);
    out[i - 1] = QChar(out[i - 1].unicode() + 1);
    return out;
}

} // namespace

bool isDigitCode(const QString &dwdm)
{
    if (dwdm.isEmpty()) return false;
    for (const QChar c : dwdm)
        if (!isAsciiDigit(c)) return false;
    return true;
}

UnitRange unitRange(const QString &dwdm)
{
    UnitRange r;
    qsizetype n = 0;
    while (n < dwdm.size() && isAsciiDigit(dwdm[n]))
        ++n;
    const QString digits = dwdm.left(n);
    r.low = digits.isEmpty() ? QString(QChar(0x0001)) : digits;
    r.high = digitsAfter(digits);
    if (r.high.isEmpty()) r.high = QString(QChar(0xFFFF));

    r.pattern.reserve(dwdm.size() * 2 + 1);
    for (const QChar c : dwdm) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QChar(kLikeEscape))
            r.pattern += QChar(kLikeEscape);
        r.pattern += c;
    }
    r.pattern += QLatin1Char('%');
    return r;
}

} // namespace zarn::unitcode
