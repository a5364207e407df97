// The Dataset: opening a statement or a declared query, its rows and their
// reading, and the turns of the event loop that bring a long list's keys.
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
    } catch (const std::exception &) {
        // A view never stays between the two signals.
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

void Dataset::execute(Rerun rerun)
{
    close();
    m_connection->exec(Access::Write, m_sql, m_params, rerun == Rerun::Repeatable);
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

// ---------------------------------------------------------------- rows

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

void Dataset::setAlongRereads(std::function<std::optional<Statement>(const QVariantList &row)> make,
                              std::function<void(const QVariant &value)> take)
{
    m_store->setAlongRereads(std::move(make), std::move(take));
}

} // namespace zarn
