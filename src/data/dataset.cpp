#include "data/dataset.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/row_store.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <limits>

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
    const qint64 n = v.toLongLong(&ok);
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

QString tableOf(const QString &sql)
{
    static const QRegularExpression re(
        QStringLiteral(R"(\bfrom\s+("?[A-Za-z_][\w$#]*"?(?:\s*\.\s*"?[A-Za-z_][\w$#]*"?)?))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch()) return {};
    QString t = m.captured(1);
    t.remove(QLatin1Char(' '));
    return t;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    const bool an = Dataset::isNullValue(a), bn = Dataset::isNullValue(b);
    if (an || bn) return an == bn;
    if (a.metaType() == b.metaType()) return a == b;
    return Dataset::textOf(a) == Dataset::textOf(b);
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

// Characters as the databases count them (a pair of surrogates is one).
qsizetype characters(const QString &s)
{
    qsizetype n = 0;
    for (const QChar c : s)
        if (!c.isLowSurrogate()) ++n;
    return n;
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
{
    connect(m_connection, &Connection::aboutToClose, this, &Dataset::close);
}

Dataset::~Dataset() = default;

void Dataset::setSql(const QString &sql, const QVariantList &params)
{
    m_sql = sql;
    m_params = params;
    m_table = tableOf(sql);
}

void Dataset::requireOpen() const
{
    if (m_state == State::Inactive) throw DatasetStateError(QStringLiteral("数据集未打开"));
}

void Dataset::fetch()
{
    std::vector<FieldDef> fields = m_store->read(m_sql, m_params, m_table);
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

void Dataset::open()
{
    close();
    fetch();
    m_modified = false;
    m_original.clear();
    m_state = State::Browse;
    land(0, false);
    m_bof = true;
    m_eof = isEmpty();
    emit reset();
    emit opened();
    emit stateChanged(m_state);
    emit cursorMoved(m_cursor);
}

void Dataset::close()
{
    if (m_state == State::Inactive) return;
    m_store->clear();
    m_fields.clear();
    m_lookup.clear();
    m_idColumn = -1;
    m_original.clear();
    m_modified = false;
    m_cursor = -1;
    m_bof = m_eof = true;
    m_state = State::Inactive;
    emit reset();
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
    fetch();
    int row = m_store->indexOfId(id);
    if (row < 0) row = isEmpty() ? -1 : std::clamp(oldCursor, 0, recordCount() - 1);
    m_cursor = -1;
    land(row, false);
    m_bof = isEmpty();
    m_eof = isEmpty();
    emit reset();
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
    QVariantList fresh = currentRow();
    {
        QSqlQuery q = m_connection->exec(QStringLiteral("select * from %1 where %2 = ?")
                                             .arg(m_table, m_fields[size_t(m_idColumn)].name),
                                         {id}, true);
        if (!q.next()) return false;
        // The statement may read fewer columns, or in another order, than the table has.
        const QSqlRecord rec = q.record();
        for (size_t c = 0; c < m_fields.size(); ++c) {
            const int i = rec.indexOf(m_fields[c].name);
            if (i >= 0) fresh[qsizetype(c)] = q.isNull(i) ? QVariant() : q.value(i);
        }
    }
    currentRow() = std::move(fresh);
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
    emit rowChanged(m_cursor);
    return true;
}

// ---------------------------------------------------------------- moves

void Dataset::checkBrowseMode()
{
    requireOpen();
    if (!isEditing()) return;
    if (m_modified)
        post();
    else
        cancel();
}

// Reading the row a move goes to, before the cursor leaves its row: a page
// that cannot be read fails the move, and a row another user deleted meanwhile
// leaves the list and is reported, the cursor staying where it was.
void Dataset::reach(int row)
{
    if (row < 0 || row == m_cursor) return;
    if (m_store->row(row)) return;
    m_store->remove(row);
    if (m_cursor > row) --m_cursor;
    m_store->setCurrent(m_cursor);
    emit rowRemoved(row);
    throw RowChangedError(
        QStringLiteral("该记录已被其他用户删除，已从列表中移去。请重新选择要查看的记录。"));
}

// Puts the cursor on a row without a move of the user's (opening, after a
// delete or a cancelled new row): rows found deleted on the way are passed
// over, a page that cannot be read now is read when the row is next used.
void Dataset::land(int row, bool announce)
{
    row = isEmpty() ? -1 : std::clamp(row, 0, recordCount() - 1);
    while (row >= 0) {
        try {
            if (m_store->row(row)) break;
        } catch (const DatabaseError &) {
            break;
        }
        m_store->remove(row);
        if (announce) emit rowRemoved(row);
        row = isEmpty() ? -1 : std::min(row, recordCount() - 1);
    }
    m_cursor = row;
    m_store->setCurrent(row);
}

QVariantList &Dataset::currentRow()
{
    requireOpen();
    if (m_cursor < 0) throw DatasetStateError(QStringLiteral("数据集为空，没有当前记录"));
    QVariantList *row = m_store->row(m_cursor);
    if (!row)
        throw RowChangedError(QStringLiteral("当前记录已被其他用户删除。请刷新后重新选择记录。"));
    return *row;
}

void Dataset::setCursor(int row, bool bof, bool eof)
{
    reach(row);
    const bool moved = row != m_cursor;
    m_cursor = row;
    m_store->setCurrent(row);
    m_bof = bof;
    m_eof = eof;
    if (moved) emit cursorMoved(m_cursor);
}

void Dataset::first()
{
    checkBrowseMode();
    setCursor(isEmpty() ? -1 : 0, true, isEmpty());
}

void Dataset::last()
{
    checkBrowseMode();
    setCursor(recordCount() - 1, isEmpty(), true);
}

void Dataset::next()
{
    checkBrowseMode();
    if (isEmpty() || m_cursor >= recordCount() - 1)
        setCursor(m_cursor, isEmpty(), true);
    else
        setCursor(m_cursor + 1, false, false);
}

void Dataset::prior()
{
    checkBrowseMode();
    if (isEmpty() || m_cursor <= 0)
        setCursor(m_cursor, true, isEmpty());
    else
        setCursor(m_cursor - 1, false, false);
}

void Dataset::moveTo(int row)
{
    checkBrowseMode();
    if (isEmpty()) return;
    setCursor(std::clamp(row, 0, recordCount() - 1), false, false);
}

bool Dataset::locate(const QString &field, const QVariant &value, LocateOptions options)
{
    checkBrowseMode();
    const int column = indexOf(field);
    const Qt::CaseSensitivity cs =
        options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool partial = options.testFlag(PartialKey);
    const bool wantNull = isNullValue(value);
    const QString key = textOf(value);
    // Columns held for every row are searched without reading a row; any
    // other reads the rows page by page, letting earlier pages go.
    const int n = recordCount();
    for (int i = 0; i < n; ++i) {
        const QVariant v = m_store->read(i, column);
        if (m_store->isGone(i)) continue;
        bool hit;
        if (wantNull)
            hit = isNullValue(v);
        else if (isNullValue(v))
            hit = false;
        else if (partial)
            hit = textOf(v).startsWith(key, cs);
        else
            hit = textOf(v).compare(key, cs) == 0;
        if (hit) {
            setCursor(i, false, false);
            return true;
        }
    }
    return false;
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
        const int row = m_cursor;
        m_store->remove(row);
        m_modified = false;
        emit rowRemoved(row);
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

void Dataset::post()
{
    requireOpen();
    if (m_state == State::Insert) {
        for (int renumbered = 0;; ++renumbered) {
            try {
                postInsert();
                break;
            } catch (const DatabaseError &e) {
                // Inside a transaction the refused statement may have ended it
                // (PostgreSQL): the caller numbers its whole transaction anew.
                if (e.kind() != RefusalKind::DuplicateKey || !m_renumber ||
                    renumbered >= m_renumberAttempts || m_connection->inTransaction() ||
                    !m_renumber(*this, e))
                    throw;
            }
        }
        m_store->setStored(m_cursor);
    } else if (m_state == State::Edit)
        postEdit();
    else
        return;
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
}

void Dataset::postInsert()
{
    if (m_table.isEmpty()) throw DatabaseError(QStringLiteral("无法确定要写入的表: %1").arg(m_sql));
    const QVariantList &row = currentRow();
    checkWidths(row, nullptr);
    QStringList names, marks;
    QVariantList values;
    for (size_t c = 0; c < m_fields.size(); ++c)
        if (!isNullValue(row[qsizetype(c)])) {
            names << m_fields[c].name;
            marks << QStringLiteral("?");
            values << row[qsizetype(c)];
        }
    if (names.isEmpty()) {
        // A row of nulls only: still a row, as the user asked to store it.
        for (size_t c = 0; c < m_fields.size(); ++c) {
            names << m_fields[c].name;
            marks << QStringLiteral("?");
            values << QVariant();
        }
    }
    const QString sql =
        QStringLiteral("insert into %1 (%2) values (%3)")
            .arg(m_table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    const bool inTransaction = m_connection->inTransaction();
    try {
        // Not repeated blindly: the first run may have stored the row before
        // the connection broke.
        m_connection->exec(sql, values, false);
    } catch (DatabaseError &e) {
        explain(e, row);
        if (e.kind() != RefusalKind::ConnectionLost || inTransaction || !m_connection->isOpen() ||
            m_connection->isLost() || m_idColumn < 0)
            throw;
        // The connection is back: find out whether the row got there.
        if (storedAsWritten(row, nullptr)) return;
        Dataset probe(m_connection);
        probe.setSql(QStringLiteral("select %1 from %2 where %1 = ?")
                         .arg(m_fields[size_t(m_idColumn)].name, m_table),
                     {row[m_idColumn]});
        probe.open();
        if (!probe.isEmpty()) {
            // Another row took the number meanwhile: a duplicate key like any other.
            Refusal r;
            r.kind = RefusalKind::DuplicateKey;
            r.keyColumns = {m_fields[size_t(m_idColumn)].name};
            DatabaseError taken(
                QStringLiteral("记录号 %1 已被其他记录占用").arg(textOf(row[m_idColumn])),
                std::move(r));
            explain(taken, row);
            throw taken;
        }
        try {
            m_connection->exec(sql, values, false);
        } catch (DatabaseError &again) {
            explain(again, row);
            throw;
        }
    }
}

void Dataset::postEdit()
{
    const QVariantList &row = currentRow();
    QStringList sets, where;
    QVariantList values, whereValues;
    for (size_t c = 0; c < m_fields.size(); ++c) {
        const QVariant &now = row[qsizetype(c)];
        const QVariant &was = m_original[qsizetype(c)];
        if (sameValue(now, was)) continue;
        sets << m_fields[c].name + QStringLiteral(" = ?");
        values << now;
        if (isNullValue(was))
            where << m_fields[c].name + QStringLiteral(" is null");
        else {
            where << m_fields[c].name + QStringLiteral(" = ?");
            whereValues << was;
        }
    }
    if (sets.isEmpty()) return;
    if (m_table.isEmpty()) throw DatabaseError(QStringLiteral("无法确定要写入的表: %1").arg(m_sql));
    if (m_idColumn < 0 || isNullValue(m_original[m_idColumn]))
        throw DatabaseError(QStringLiteral("记录没有 id，无法保存到表 %1").arg(m_table));
    const QString sql =
        QStringLiteral("update %1 set %2 where %3 = ?%4")
            .arg(m_table, sets.join(QStringLiteral(", ")), m_fields[size_t(m_idColumn)].name,
                 where.isEmpty() ? QString()
                                 : QStringLiteral(" and ") + where.join(QStringLiteral(" and ")));
    values << m_original[m_idColumn];
    values << whereValues;
    checkWidths(row, &m_original);
    bool repeated = false;
    int affected = 0;
    try {
        affected = m_connection->exec(sql, values, true, true, &repeated).numRowsAffected();
    } catch (DatabaseError &e) {
        explain(e, row);
        throw;
    }
    // Run twice after a broken connection, the first run may be what changed the row.
    if (affected == 0 && !(repeated && storedAsWritten(row, &m_original)))
        throw RowChangedError(
            QStringLiteral("记录已被其他用户修改或删除，无法保存。请刷新后重新输入。"), m_table);
}

void Dataset::setRenumber(Renumber renumber, int attempts)
{
    m_renumber = std::move(renumber);
    m_renumberAttempts = std::max(0, attempts);
}

void Dataset::checkWidths(const QVariantList &row, const QVariantList *before) const
{
    // SQLite does not hold to a declared width, and a refusal found here
    // names its column on every database.
    for (size_t c = 0; c < m_fields.size(); ++c) {
        const FieldDef &f = m_fields[c];
        const QVariant &v = row[qsizetype(c)];
        if (f.length <= 0 || !isTextType(f.type) || isNullValue(v)) continue;
        if (before && sameValue(v, (*before)[qsizetype(c)])) continue;
        if (characters(textOf(v)) <= f.length) continue;
        Refusal r;
        r.kind = RefusalKind::ValueTooLong;
        r.table = m_table;
        r.column = f.name;
        r.limit = f.length;
        throw DatabaseError(
            QStringLiteral("字段 %1 的内容超过了它的宽度 %2").arg(f.name).arg(f.length),
            std::move(r));
    }
}

void Dataset::explain(DatabaseError &error, const QVariantList &row) const
{
    Refusal &r = error.refusal();
    if (r.table.isEmpty()) r.table = m_table;
    if (r.kind == RefusalKind::ValueTooLong && r.column.isEmpty()) {
        // PostgreSQL names the width but not the column: the written text
        // longer than its column's width is the one.
        for (size_t c = 0; c < m_fields.size(); ++c) {
            const FieldDef &f = m_fields[c];
            // The column's own width where known, else the width the database named.
            const int width = f.length > 0 ? f.length : isTextType(f.type) ? r.limit : -1;
            if (width <= 0 || (r.limit > 0 && width != r.limit)) continue;
            if (characters(textOf(row[qsizetype(c)])) > width) {
                r.column = f.name;
                r.limit = width;
                break;
            }
        }
    }
    if (r.kind == RefusalKind::DuplicateKey)
        for (size_t c = 0; c < m_fields.size(); ++c)
            r.row.insert(m_fields[c].name.toLower(), row[qsizetype(c)]);
}

bool Dataset::storedAsWritten(const QVariantList &row, const QVariantList *before) const
{
    if (m_idColumn < 0 || m_table.isEmpty()) return false;
    const QVariant id = before ? (*before)[m_idColumn] : row[m_idColumn];
    if (isNullValue(id)) return false;
    QSqlQuery q = m_connection->exec(QStringLiteral("select * from %1 where %2 = ?")
                                         .arg(m_table, m_fields[size_t(m_idColumn)].name),
                                     {id}, true);
    if (!q.next()) return false;
    const QSqlRecord rec = q.record();
    for (size_t c = 0; c < m_fields.size(); ++c) {
        const QVariant &now = row[qsizetype(c)];
        if (before ? sameValue(now, (*before)[qsizetype(c)]) : isNullValue(now)) continue;
        const int i = rec.indexOf(m_fields[c].name);
        if (i < 0 || !sameValue(q.isNull(i) ? QVariant() : q.value(i), now)) return false;
    }
    return true;
}

void Dataset::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit) cancel();
    if (isEmpty()) throw DatasetStateError(QStringLiteral("数据集为空，无法删除记录"));
    if (m_table.isEmpty())
        throw DatabaseError(QStringLiteral("无法确定要删除记录的表: %1").arg(m_sql));
    if (m_idColumn < 0 || isNullValue(value(m_idColumn)))
        throw DatabaseError(QStringLiteral("记录没有 id，无法从表 %1 删除").arg(m_table));
    const QString sql = QStringLiteral("delete from %1 where %2 = ?")
                            .arg(m_table, m_fields[size_t(m_idColumn)].name);
    m_connection->exec(sql, {value(m_idColumn)}, true);
    const int row = m_cursor;
    m_store->remove(row);
    emit rowRemoved(row);
    land(row, true);
    m_bof = m_eof = isEmpty();
    emit cursorMoved(m_cursor);
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
    if (m_cursor < 0 || column < 0 || column >= int(m_fields.size())) return QVariant();
    return m_store->value(m_cursor, column);
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= int(m_fields.size()))
        return QVariant();
    return m_store->value(row, column);
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
        else if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float) {
            const double d = v.toDouble();
            ok = d == double(qint64(d));
            n = qint64(d);
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
