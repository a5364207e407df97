// The Dataset's cursor: the moves (each ending a pending edit first), where
// the cursor lands without a move of the user's, and the rows another user
// deleted meanwhile, found by a move or under the cursor.
#include "data/dataset.h"

#include "data/errors.h"
#include "data/row_store.h"

#include <algorithm>

namespace zarn {

bool Dataset::rowDeletedMeanwhile()
{
    requireOpen();
    if (m_cursor < 0 || m_state == State::Insert || m_table.isEmpty() || m_idColumn < 0)
        return false;
    const QVariant id = (m_state == State::Edit ? m_original : currentRow())[m_idColumn];
    return !isNullValue(id) && !storedRow(id);
}

void Dataset::dropRow()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_cursor < 0) return;
    const int row = m_cursor;
    m_original.clear();
    m_modified = false;
    removeRow(row);
    land(row, true);
    m_bof = m_eof = isEmpty();
    setState(State::Browse);
    emit cursorMoved(m_cursor);
}

void Dataset::checkBrowseMode()
{
    requireOpen();
    // Every move starts here: rows read before it are read again when reached.
    m_store->newMove();
    if (!isEditing()) return;
    if (m_modified)
        post();
    else
        cancel();
}

// Reading the row a move goes to, before the cursor leaves its row: a page
// that cannot be read fails the move. A row another user deleted meanwhile
// leaves the list, and with it the deleted rows beyond it in the direction of
// the move (step; 0 for a move to one row), so that the same move once more
// reaches a row that is there. The cursor stays where it was, and one error
// says how many rows went.
void Dataset::reach(int row, int step, bool asStoredNow)
{
    if (row < 0 || row == m_cursor) return;
    // A move of the user's shows the row as stored now: a row kept in memory
    // is read again, and one another user deleted is found so whether its
    // page was in memory or not. A loop of the program's own over rows it
    // read takes each as read, so that a change written over one still meets
    // another user's change of it.
    if (m_store->row(row, asStoredNow)) return;
    int removed = 0;
    for (;;) {
        removeRow(row);
        ++removed;
        if (step == 0) break;
        if (step < 0) --row; // going forward, the following row slid into its place
        if (row < 0 || row >= recordCount() || row == m_cursor) break;
        try {
            if (m_store->row(row, asStoredNow)) break;
        } catch (const DatabaseError &) {
            break; // read when it is next reached
        }
    }
    throw RowsDeletedError(removed, m_table);
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
        if (announce) {
            removeRow(row);
        } else {
            m_store->remove(row);
        }
        row = isEmpty() ? -1 : std::min(row, recordCount() - 1);
    }
    m_cursor = row;
    m_store->setCurrent(row);
}

void Dataset::removeRow(int row)
{
    emit rowAboutToBeRemoved(row);
    m_store->remove(row);
    // A pending new row goes back to the row it came from, wherever rows
    // before it left meanwhile.
    if (m_state == State::Insert && m_cursorBeforeInsert > row) --m_cursorBeforeInsert;
    if (m_cursor > row || m_cursor >= recordCount()) --m_cursor;
    m_store->setCurrent(m_cursor);
    emit rowRemoved(row);
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

void Dataset::setCursor(int row, bool bof, bool eof, int step, bool asStoredNow)
{
    reach(row, step, asStoredNow);
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
    setCursor(isEmpty() ? -1 : 0, true, isEmpty(), 1, true);
}

int Dataset::firstRowWith(const QString &field)
{
    requireOpen();
    const int column = indexOf(field);
    for (int row = 0;; ++row) {
        arriveBeyond(row - 1);
        if (row >= recordCount()) return -1;
        if (!m_store->isGone(row) && !textOf(m_store->read(row, column)).isEmpty()) return row;
    }
}

int Dataset::lastRowWith(const QString &field)
{
    requireOpen();
    const int column = indexOf(field);
    arrive(-1);
    for (int row = recordCount() - 1; row >= 0; --row)
        if (!m_store->isGone(row) && !textOf(m_store->read(row, column)).isEmpty()) return row;
    return -1;
}

void Dataset::last()
{
    checkBrowseMode();
    // The true last row: every key, the rows another user added included.
    arrive(-1);
    setCursor(recordCount() - 1, isEmpty(), true, -1, true);
}

void Dataset::move(Move to)
{
    switch (to) {
    case Move::First:
        first();
        break;
    case Move::Prior:
        prior();
        break;
    case Move::Next:
        next();
        break;
    case Move::Last:
        last();
        break;
    }
}

void Dataset::next()
{
    checkBrowseMode();
    arriveBeyond(m_cursor);
    if (isEmpty() || m_cursor >= recordCount() - 1)
        setCursor(m_cursor, isEmpty(), true, 1, true);
    else
        setCursor(m_cursor + 1, false, false, 1, true);
}

void Dataset::prior()
{
    checkBrowseMode();
    if (isEmpty() || m_cursor <= 0)
        setCursor(m_cursor, true, isEmpty(), -1, true);
    else
        setCursor(m_cursor - 1, false, false, -1, true);
}

void Dataset::moveTo(int row, bool asStoredNow)
{
    checkBrowseMode();
    if (isEmpty()) return;
    setCursor(std::clamp(row, 0, recordCount() - 1), false, false, 0, asStoredNow);
}

int Dataset::seek(const QString &field, const QVariant &value)
{
    requireOpen();
    if (indexOf(field) != m_store->seekColumn()) return -1;
    return m_store->seek(value);
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
    // In a list in the order of the column, the first match is where the
    // database counts it; when there is none there, a row added at the end
    // may still hold it.
    if (cs == Qt::CaseSensitive) {
        const int at = seek(field, value);
        if (at >= 0 && at < recordCount()) {
            const QVariant v = m_store->read(at, column);
            if (!isNullValue(v) &&
                (partial ? textOf(v).startsWith(key, cs) : textOf(v).compare(key, cs) == 0)) {
                setCursor(at, false, false, 0, true);
                return true;
            }
        }
    }
    // Keys not arrived yet are read as the search reaches them.
    for (int i = 0;; ++i) {
        arriveBeyond(i - 1);
        if (i >= recordCount()) break;
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
            setCursor(i, false, false, 0, true);
            return true;
        }
    }
    return false;
}

} // namespace zarn
