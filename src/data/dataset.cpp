#include "data/dataset.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/row_store.h"
#include "data/sql_names.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>

#include <algorithm>
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

bool startsWithWord(const QString &sql, QLatin1String word)
{
    return sql.trimmed().startsWith(word, Qt::CaseInsensitive);
}

} // namespace

QString Dataset::textOf(const QVariant &v)
{
    if (isNullValue(v)) return QString();
    if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// ---------------------------------------------------------------- Dataset

Dataset::Dataset(Connection *connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_store(std::make_unique<RowStore>(connection))
    , m_arrival(new QTimer(this))
{
    connect(m_connection, &Connection::aboutToClose, this, &Dataset::close);
    // Rows added at the end leave every row and the cursor where they were;
    // inside a reset the rows are announced as a whole.
    m_store->setGrowth(
        [this](int first, int last) {
            if (!m_resetting) emit rowsAboutToArrive(first, last);
        },
        [this](int first, int last) {
            if (!m_resetting) emit rowsArrived(first, last);
        });
    m_arrival->setSingleShot(true);
    m_arrival->setInterval(0);
    connect(m_arrival, &QTimer::timeout, this, [this] {
        try {
            arrive(kKeysPerTurn);
        } catch (const DatabaseError &) {
            return; // read again when a row needs them, and reported there
        }
        scheduleArrival();
    });
}

Dataset::~Dataset() = default;

void Dataset::setSql(const QString &sql, const QVariantList &params)
{
    m_sql = sql;
    m_params = params;
    m_query.reset();
    m_table.clear();
    m_sqlTable.clear();
}

void Dataset::setQuery(const DeclaredQuery &query, const QVariantList &params)
{
    m_query = query;
    m_sql.clear();
    m_params = params;
    m_table = query.table;
    m_sqlTable.clear();
}

QString Dataset::sqlColumn(int column) const
{
    return quotedColumn(m_connection->database(), m_fields[size_t(column)].name);
}

void Dataset::requireOpen() const
{
    if (m_state == State::Inactive) throw DatasetStateError(QStringLiteral("数据集未打开"));
}

void Dataset::fetch()
{
    std::vector<FieldDef> fields =
        m_query ? m_store->read(*m_query, m_params) : m_store->read(m_sql, m_params);
    if (m_query) {
        m_sql = m_store->statement();
        m_sqlTable = quotedTable(m_connection->database(), m_table);
    }
    if (m_connection->driverName() == QLatin1String("QSQLITE")) {
        // SQLite keeps a text column's width only in its declaration.
        const QHash<QString, int> widths = m_connection->declaredTextWidths(m_table);
        for (FieldDef &f : fields)
            if (isTextType(f.type)) f.length = widths.value(f.name.toLower(), -1);
    }
    m_fields = std::move(fields);
    m_lookup.clear();
    m_lookup.reserve(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_lookup.emplace_back(m_fields[i].name.toLower(), int(i));
    // The first spelling of a name wins, as a lookup from the left would.
    std::stable_sort(m_lookup.begin(), m_lookup.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    m_idColumn = fieldIndex(QStringLiteral("id"));
}

void Dataset::replaceRows(const std::function<void()> &replace)
{
    emit aboutToReset();
    m_resetting = true;
    try {
        replace();
    } catch (...) {
        m_resetting = false;
        emit reset();
        throw;
    }
    m_resetting = false;
    emit reset();
    scheduleArrival();
}

void Dataset::arrive(qsizetype n)
{
    if (m_store->isArriving()) m_store->arrive(n);
    // Rows counted at the open that another user deleted before their keys
    // came: never shown, so they leave the list without a word.
    for (int r = m_store->lastMissed(); r >= 0 && !m_resetting; r = m_store->lastMissed())
        removeRow(r);
}

bool Dataset::keysArriving() const
{
    return m_store->isArriving();
}

void Dataset::scheduleArrival()
{
    if (m_store->isArriving())
        m_arrival->start();
    else
        m_arrival->stop();
}

void Dataset::arriveBeyond(int row)
{
    while (m_store->isArriving() && row >= recordCount() - 1)
        m_store->arrive(kKeysPerTurn);
}

void Dataset::open()
{
    close();
    replaceRows([this] {
        fetch();
        m_modified = false;
        m_original.clear();
        m_state = State::Browse;
        land(0, false);
        m_bof = true;
        m_eof = isEmpty();
    });
    emit opened();
    emit stateChanged(m_state);
    emit cursorMoved(m_cursor);
}

void Dataset::close()
{
    if (m_state == State::Inactive) return;
    replaceRows([this] {
        m_store->clear();
        m_fields.clear();
        m_lookup.clear();
        m_idColumn = -1;
        m_original.clear();
        m_modified = false;
        m_cursor = -1;
        m_bof = m_eof = true;
        m_state = State::Inactive;
    });
    emit closed();
    emit stateChanged(m_state);
}

void Dataset::execute()
{
    close();
    // A select, or a delete of rows picked by value, does the same when run twice.
    const bool repeatable = startsWithWord(m_sql, QLatin1String("select")) ||
                            startsWithWord(m_sql, QLatin1String("delete"));
    m_connection->exec(m_sql, m_params, repeatable);
}

void Dataset::refresh()
{
    requireOpen();
    checkBrowseMode();
    const QVariant id = (m_idColumn >= 0 && m_cursor >= 0) ? value(m_idColumn) : QVariant();
    const int oldCursor = m_cursor;
    replaceRows([&] {
        fetch();
        int row = m_store->indexOfId(id);
        if (row < 0) row = isEmpty() ? -1 : std::clamp(oldCursor, 0, recordCount() - 1);
        m_cursor = -1;
        land(row, false);
        m_bof = isEmpty();
        m_eof = isEmpty();
    });
    emit cursorMoved(m_cursor);
}

bool Dataset::refreshRow()
{
    requireOpen();
    if (m_cursor < 0 || m_state == State::Insert) return false;
    if (m_table.isEmpty() || m_idColumn < 0)
        throw DatabaseError(QStringLiteral("无法重新读取记录: %1").arg(m_sql));
    const QVariantList &readRow = m_state == State::Edit ? m_original : currentRow();
    const QVariant id = readRow[m_idColumn];
    if (isNullValue(id)) return false;
    const std::optional<QVariantList> stored = storedRow(id);
    if (!stored) return false;
    QVariantList fresh = currentRow();
    for (qsizetype c = 0; c < fresh.size(); ++c)
        if ((*stored)[c].isValid())
            fresh[c] = isNullValue((*stored)[c]) ? QVariant() : (*stored)[c];
    currentRow() = std::move(fresh);
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
    emit rowChanged(m_cursor);
    return true;
}

// ---------------------------------------------------------------- changes

void Dataset::setState(State s)
{
    if (m_state == s) return;
    m_state = s;
    emit stateChanged(s);
}

void Dataset::beginPending(int row)
{
    m_cursorBeforeInsert = m_cursor;
    QVariantList blank;
    blank.resize(qsizetype(m_fields.size()));
    emit rowAboutToBeInserted(row);
    m_store->insertNew(row, std::move(blank));
    m_modified = false;
    m_original.clear();
    m_cursor = row;
    m_store->setCurrent(row);
    m_bof = m_eof = false;
    emit rowInserted(row);
    setState(State::Insert);
    emit cursorMoved(m_cursor);
}

void Dataset::append()
{
    checkBrowseMode();
    beginPending(recordCount());
}

void Dataset::insert()
{
    checkBrowseMode();
    beginPending(m_cursor < 0 ? 0 : m_cursor);
}

void Dataset::edit()
{
    requireOpen();
    if (isEditing()) return;
    if (isEmpty()) {
        // Typing into an empty dataset starts a new row, as data-aware forms do.
        append();
        return;
    }
    m_original = currentRow();
    m_modified = false;
    setState(State::Edit);
}

void Dataset::cancel()
{
    requireOpen();
    if (m_state == State::Insert) {
        m_modified = false;
        removeRow(m_cursor);
        // Back to the row that was current when the new row was started; an
        // inserted row stood before it, an appended one after, so its index holds.
        land(m_cursorBeforeInsert, true);
        m_bof = m_eof = isEmpty();
        setState(State::Browse);
        emit cursorMoved(m_cursor);
    } else if (m_state == State::Edit) {
        currentRow() = m_original;
        m_original.clear();
        m_modified = false;
        setState(State::Browse);
        emit rowChanged(m_cursor);
    }
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

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= int(m_fields.size()))
        return QVariant();
    return m_store->value(row, column);
}

QVariant Dataset::heldValueAt(int row, int column, bool *held) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= int(m_fields.size())) {
        *held = true;
        return QVariant();
    }
    return m_store->held(row, column, held);
}

bool Dataset::fetchRows(int first, int last)
{
    if (m_state == State::Inactive || isEmpty()) return false;
    first = std::clamp(first, 0, recordCount() - 1);
    last = std::clamp(last, first, recordCount() - 1);
    const bool read = m_store->loadRows(first, last);
    // Rows the read found deleted leave a grid's list (and its count) once
    // the view is done with the rows it asked for.
    for (int row = first; read && row <= last && !m_dropQueued; ++row)
        if (row != m_cursor && m_store->isGone(row)) {
            m_dropQueued = true;
            QMetaObject::invokeMethod(this, &Dataset::dropGoneRows, Qt::QueuedConnection);
        }
    return read;
}

void Dataset::dropGoneRows()
{
    m_dropQueued = false;
    if (m_state == State::Inactive || m_resetting) return;
    for (int row = recordCount() - 1; row >= 0; --row)
        if (row != m_cursor && row < recordCount() && m_store->isGone(row)) removeRow(row);
}

int Dataset::recordCount() const
{
    return m_store->size();
}

void Dataset::setPaging(int rowsPerPage, int pagesKept)
{
    m_store->setPaging(rowsPerPage, pagesKept);
}

int Dataset::rowsInMemory() const
{
    return m_store->rowsInMemory();
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
