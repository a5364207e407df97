// A dataset's columns and values: the column types read from the driver,
// the Field handle, and converting what a form sets to what the column holds.
#include "data/dataset.h"

#include "data/errors.h"
#include "data/row_store.h"

#include <QDate>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlField>

#include <cmath>
#include <limits>
#include <optional>

namespace zarn {

bool isIntegerType(FieldType t)
{
    return t == FieldType::Int16 || t == FieldType::Int32 || t == FieldType::Int64;
}
bool isFloatType(FieldType t)
{
    return t == FieldType::Double || t == FieldType::Decimal;
}
bool isTextType(FieldType t)
{
    return t == FieldType::UnicodeText || t == FieldType::Text || t == FieldType::LongText;
}

namespace {

bool isFloatValue(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

// A double as a 64-bit whole number when it lies in that range: casting one
// outside it (or infinity, or NaN) is undefined. The fraction is dropped.
std::optional<qint64> wholeNumber(double d)
{
    constexpr double limit = 9223372036854775808.0; // 2^63, exact as a double
    if (!std::isfinite(d) || d >= limit || d < -limit) return std::nullopt;
    return qint64(d);
}

} // namespace

// ---------------------------------------------------------------- Field

const QString &Field::name() const
{
    return m_dataset->fieldDef(m_column).name;
}
FieldType Field::type() const
{
    return m_dataset->fieldDef(m_column).type;
}
QVariant Field::value() const
{
    return m_dataset->value(m_column);
}
bool Field::isNull() const
{
    return Dataset::isNullValue(value());
}
QString Field::asString() const
{
    return Dataset::textOf(value());
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (Dataset::isNullValue(v)) return 0;
    bool ok = false;
    qint64 n = 0;
    if (isFloatValue(v)) {
        // Rounded to the nearest, as the driver's own conversion does.
        const std::optional<qint64> whole = wholeNumber(std::round(v.toDouble()));
        ok = whole.has_value();
        n = whole.value_or(0);
    } else {
        n = v.toLongLong(&ok);
    }
    if (!ok)
        throw ConversionError(
            QStringLiteral("'%1' 不是有效的整数 (字段 %2)").arg(Dataset::textOf(v), name()));
    return n;
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (Dataset::isNullValue(v)) return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw ConversionError(
            QStringLiteral("'%1' 不是有效的数值 (字段 %2)").arg(Dataset::textOf(v), name()));
    return d;
}

void Field::setValue(const QVariant &v)
{
    m_dataset->setValue(m_column, v);
}

// ---------------------------------------------------------------- helpers

namespace {

FieldType categorize(const QSqlField &f, const QString &driver)
{
    switch (f.metaType().id()) {
    case QMetaType::QString:
        // PostgreSQL reports unbounded text as its own type (oid 25).
        if (driver == QLatin1String("QPSQL") && f.typeID() == 25) return FieldType::LongText;
        // ODBC's LONGVARCHAR and WLONGVARCHAR: PostgreSQL's text, Oracle's CLOB.
        if (driver == QLatin1String("QODBC") && (f.typeID() == -1 || f.typeID() == -10))
            return FieldType::LongText;
        return FieldType::UnicodeText;
    case QMetaType::QByteArray:
        return FieldType::Other;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return FieldType::Int16;
    case QMetaType::Int:
    case QMetaType::UInt:
        return FieldType::Int32;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return FieldType::Int64;
    case QMetaType::Double:
    case QMetaType::Float:
        // PostgreSQL numeric (oid 1700) arrives as double but is a decimal column.
        if (driver == QLatin1String("QPSQL") && f.typeID() == 1700) return FieldType::Decimal;
        return FieldType::Double;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        return FieldType::Date;
    default:
        return FieldType::Other;
    }
}

// A text column's width as the driver reports it with a result (SQLite's
// are read from the table's declaration instead).
int widthOf(const QSqlField &f, const QString &driver)
{
    if (f.metaType().id() != QMetaType::QString || f.length() <= 0) return -1;
    if (driver == QLatin1String("QPSQL")) return f.typeID() == 25 ? -1 : f.length();
    if (driver == QLatin1String("QODBC")) {
        // CHAR, VARCHAR, WCHAR, WVARCHAR; the long types report a buffer size.
        switch (f.typeID()) {
        case 1:
        case 12:
        case -8:
        case -9:
            return f.length();
        default:
            return -1;
        }
    }
    if (driver == QLatin1String("QOCI")) return f.length();
    return -1;
}

} // namespace

QString Dataset::textOf(const QVariant &v)
{
    if (isNullValue(v)) return QString();
    if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// ---------------------------------------------------------------- fields

int Dataset::fieldIndex(const QString &name) const
{
    const QString key = name.toLower();
    auto it = std::lower_bound(m_lookup.begin(), m_lookup.end(), key,
                               [](const auto &p, const QString &k) { return p.first < k; });
    if (it == m_lookup.end() || it->first != key) return -1;
    return it->second;
}

int Dataset::indexOf(const QString &name) const
{
    const int i = fieldIndex(name);
    if (i < 0) throw FieldNotFoundError(QStringLiteral("字段不存在: %1").arg(name));
    return i;
}

QVariant Dataset::value(int column) const
{
    if (m_cursor < 0 || m_cursor >= recordCount() || column < 0 || column >= int(m_fields.size()))
        return QVariant();
    return m_store->value(m_cursor, column);
}

QVariant Dataset::convert(int column, const QVariant &v) const
{
    if (isNullValue(v)) return QVariant();
    const FieldDef &f = m_fields[size_t(column)];
    const bool isString = v.metaType().id() == QMetaType::QString;
    const QString s = isString ? v.toString() : QString();
    if (isString && s.isEmpty()) return QVariant(); // empty text is stored as null
    auto bad = [&](const QString &what) {
        return ConversionError(
            QStringLiteral("'%1' 不是%2 (字段 %3)").arg(textOf(v), what, f.name));
    };
    if (isIntegerType(f.type)) {
        bool ok = false;
        qint64 n;
        if (isString)
            n = s.trimmed().toLongLong(&ok);
        else if (isFloatValue(v)) {
            const double d = v.toDouble();
            const std::optional<qint64> whole = wholeNumber(d);
            ok = whole && double(*whole) == d;
            n = whole.value_or(0);
        } else
            n = v.toLongLong(&ok);
        if (!ok) throw bad(QStringLiteral("有效的整数"));
        const qint64 lo = f.type == FieldType::Int16   ? std::numeric_limits<qint16>::min()
                          : f.type == FieldType::Int32 ? std::numeric_limits<qint32>::min()
                                                       : std::numeric_limits<qint64>::min();
        const qint64 hi = f.type == FieldType::Int16   ? std::numeric_limits<qint16>::max()
                          : f.type == FieldType::Int32 ? std::numeric_limits<qint32>::max()
                                                       : std::numeric_limits<qint64>::max();
        if (n < lo || n > hi) throw bad(QStringLiteral("该字段范围内的整数"));
        return QVariant(n);
    }
    if (isFloatType(f.type)) {
        bool ok = false;
        const double d = isString ? QLocale::c().toDouble(s.trimmed(), &ok) : v.toDouble(&ok);
        if (!ok) throw bad(QStringLiteral("有效的数值"));
        return QVariant(d);
    }
    if (isTextType(f.type)) return QVariant(isString ? s : textOf(v));
    if (f.type == FieldType::Date) {
        if (!isString) return v;
        const QString t = s.trimmed();
        QDate d = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
        if (!d.isValid()) d = QDate::fromString(t, Qt::ISODate);
        if (!d.isValid()) throw bad(QStringLiteral("有效的日期"));
        return QVariant(d);
    }
    return v;
}

void Dataset::setValue(int column, const QVariant &v)
{
    requireOpen();
    if (column < 0 || column >= int(m_fields.size()))
        throw FieldNotFoundError(QStringLiteral("字段序号无效: %1").arg(column));
    if (!isEditing())
        throw DatasetStateError(QStringLiteral("数据集不在编辑状态，无法修改字段 %1")
                                    .arg(m_fields[size_t(column)].name));
    QVariant stored = convert(column, v);
    currentRow()[column] = std::move(stored);
    m_modified = true;
    emit fieldChanged(m_cursor, column);
}

// Shared with the row store.
namespace detail {
FieldDef fieldDefOf(const QSqlField &f, const QString &driver)
{
    return {f.name(), categorize(f, driver), widthOf(f, driver)};
}
} // namespace detail
} // namespace zarn
