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

enum class BaseFrom { HighestStored, UnitCode };

// A base that holds something other than digits, or too many of them, told
// by what it was made from: `shown` is the highest number as stored, or the
// unit code.
QString unusable(const QString &what, BaseFrom from, const QString &shown, bool tooLong)
{
    // A code of at most twelve characters cannot overflow: only a non-digit
    // stops it.
    if (from == BaseFrom::UnitCode)
        return QStringLiteral("无法生成新的%1：单位代码“%2”含有数字以外的字符，无法由它编出本单位的"
                              "第一个%1。请用正确的单位代码打开调查表后再新增。")
            .arg(what, shown);
    return tooLong ? QStringLiteral("无法生成新的%1：本单位已有的最大%1“%2”位数过多，无法在它之后"
                                    "接着编号。请先改正那张调查表的%1，再新增。")
                         .arg(what, shown)
                   : QStringLiteral("无法生成新的%1：本单位已有的最大%1“%2”含有数字以外的字符，"
                                    "无法在它之后接着编号。请先改正那张调查表的%1，再新增。")
                         .arg(what, shown);
}

// Reads a base as a non-negative 64-bit number and adds one. Only the ASCII
// digits count: a sign, a blank or a full-width digit is a typing error in the
// stored number, not something to guess around.
qint64 incremented(const QString &base, const QString &what, BaseFrom from, const QString &shown)
{
    if (base.isEmpty()) throw NumberBaseError(noBase(what));
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    qint64 n = 0;
    for (const QChar c : base) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw NumberBaseError(unusable(what, from, shown, false));
        const int d = c.unicode() - '0';
        if (n > (max - d) / 10) throw NumberBaseError(unusable(what, from, shown, true));
        n = n * 10 + d;
    }
    if (n == max) throw NumberBaseError(unusable(what, from, shown, true));
    return n + 1;
}

QString parcelAfter(const QString &base, BaseFrom from, const QString &shown)
{
    // A lone "1" means there was no highest number: the result would be an
    // empty parcel number, which no form can save or move away from.
    if (base.size() == 1 && base == QLatin1String("1")) throw NumberBaseError(noBase(kParcel));
    const QString digits = QString::number(incremented(base, kParcel, from, shown));
    return digits.mid(1, base.size() - 1);
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
    return parcelAfter(base, BaseFrom::HighestStored, base.mid(1));
}

QString nextSurveyNumber(const QString &base)
{
    return QString::number(incremented(base, kSurvey, BaseFrom::HighestStored, base));
}

QString firstParcelNumber(const UnitCodeParts &parts)
{
    return parcelAfter(firstParcelNumberBase(parts), BaseFrom::UnitCode, parts.joined());
}

QString firstSurveyNumber(const UnitCodeParts &parts)
{
    return QString::number(
        incremented(firstSurveyNumberBase(parts), kSurvey, BaseFrom::UnitCode, parts.joined()));
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
