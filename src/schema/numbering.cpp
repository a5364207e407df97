#include "schema/numbering.h"

#include <limits>

namespace zarn::numbering {

namespace {

const QString kParcel = QStringLiteral("地籍号");
const QString kSurvey = QStringLiteral("调查表号");

// No number to continue from: most often a session opened on a street's or a
// district's code, whose parcels are numbered under their own units' codes.
QString noBase(const QString &what)
{
    return QStringLiteral("无法生成新的%1：本单位代码下没有可接续的%1。若打开的是街道或区的代码，"
                          "请用要新增宗地的那个单位的完整代码打开调查表后再新增。")
        .arg(what);
}

// Reads a base as a non-negative 64-bit number and adds one. Only the ASCII
// digits count: a sign, a blank or a full-width digit is a typing error in the
// stored number, not something to guess around.
qint64 incremented(const QString &base, const QString &what)
{
    if (base.isEmpty())
        throw NumberBaseError(noBase(what));
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    qint64 n = 0;
    for (const QChar c : base) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw NumberBaseError(
                QStringLiteral("无法生成新的%1：编号基数“%2”含有非数字字符").arg(what, base));
        const int d = c.unicode() - '0';
        if (n > (max - d) / 10)
            throw NumberBaseError(
                QStringLiteral("无法生成新的%1：编号基数“%2”超出64位整数范围").arg(what, base));
        n = n * 10 + d;
    }
    if (n == max)
        throw NumberBaseError(
            QStringLiteral("无法生成新的%1：编号基数“%2”超出64位整数范围").arg(what, base));
    return n + 1;
}

} // namespace

UnitCodeParts splitUnitCode(const QString &dwdm)
{
    return {dwdm.mid(0, 2), dwdm.mid(2, 2), dwdm.mid(4, 2), dwdm.mid(6, 3), dwdm.mid(9, 3)};
}

QString firstSurveyNumberBase(const UnitCodeParts &parts)
{
    return parts.joined() + QStringLiteral("0000");
}

QString firstParcelNumberBase(const UnitCodeParts &parts)
{
    return QStringLiteral("1") + parts.street + parts.block + QStringLiteral("0000");
}

QString surveyNumberBase(const QString &highestDcbh)
{
    return highestDcbh;
}

QString parcelNumberBase(const QString &highestZdbh)
{
    return QStringLiteral("1") + highestZdbh;
}

QString nextParcelNumber(const QString &base)
{
    // A lone "1" means there was no highest number: the result would be an
    // empty parcel number, which no form can save or move away from.
    if (base.size() == 1 && base == QLatin1String("1"))
        throw NumberBaseError(noBase(kParcel));
    const QString digits = QString::number(incremented(base, kParcel));
    return digits.mid(1, base.size() - 1);
}

QString nextSurveyNumber(const QString &base)
{
    return QString::number(incremented(base, kSurvey));
}

qint64 nextRowNumber(const QVariant &highest)
{
    if (!highest.isValid() || highest.isNull()) return 1;
    bool ok = false;
    const qint64 n = highest.toLongLong(&ok);
    if (!ok || n == std::numeric_limits<qint64>::max())
        throw ConversionError(
            QStringLiteral("无法生成新的行号：最大行号“%1”不是有效的整数").arg(highest.toString()));
    return n + 1;
}

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString todayText()
{
    return dateText(QDate::currentDate());
}

} // namespace zarn::numbering
