#pragma once

#include "data/dataset.h"
#include "data/declared_query.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class QSqlQuery;

namespace zarn {

class Connection;

// The rows of a dataset, in the dataset's order.
//
// A declared query is read in two steps: at once only each row's id, the
// columns it is ordered by and the columns it holds (a survey form locates and
// types ahead by those), then whole rows by id, a page of neighbouring rows at
// a time, when a move, a grid or a field read reaches them. Pages not used
// lately are let go, and read again, as the database has them then, when they
// are reached again. A row the database no longer has reads as gone.
//
// Any other statement, and a declared query of a table without its id
// column, is read whole at once, as are new rows until they are stored.
class RowStore {
public:
    static constexpr int kDefaultPageRows = 64;
    static constexpr int kDefaultPagesKept = 16;

    explicit RowStore(Connection *connection);
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    // Rows per page and how many pages stay in memory; taken at the next read.
    void setPaging(int rowsPerPage, int pagesKept);

    // Runs the statement and holds its whole result in place of the rows held
    // so far; gives its columns. Throws DatabaseError, leaving the rows held as
    // they were.
    std::vector<FieldDef> read(const QString &sql, const QVariantList &params);
    // The same for a declared query, read by pages; statement() is the text it ran.
    std::vector<FieldDef> read(const DeclaredQuery &query, const QVariantList &params);
    const QString &statement() const { return m_statement; }
    // Lets every row go, and the statements kept for reading pages.
    void clear();

    int size() const { return int(m_slots.size()); }
    bool isPaged() const { return m_paged; }
    // Whole rows in memory now.
    int rowsInMemory() const { return m_loaded; }

    // Row r whole, for reading and writing, read with its page when needed.
    // Null when the database no longer has the row. Throws DatabaseError when
    // its page cannot be read.
    QVariantList *row(int r);
    // A value of row r: a column the store holds for every row without reading
    // the row, any other read with its page. Null for a gone row. Throws
    // DatabaseError when the page cannot be read.
    QVariant read(int r, int column);
    // read() for painting and lookups that cannot take an exception: null
    // when the page cannot be read.
    QVariant value(int r, int column) noexcept;
    // A value of row r from memory only; held false when reading it would
    // read its page. A gone row is held as nulls.
    QVariant held(int r, int column, bool *held) const;
    // Reads the pages of rows first..last not in memory. True when any was read.
    // Throws DatabaseError when a page cannot be read.
    bool loadRows(int first, int last);
    // True when the column is held for every row (reading it reads no page).
    bool holdsForEveryRow(int column) const;
    // True once a read found that the database no longer has row r.
    bool isGone(int r) const { return m_slots[size_t(r)].gone; }

    // The cursor's row: never let go.
    void setCurrent(int r) { m_current = r; }
    // A new row not in the database: held whole until setStored.
    void insertNew(int r, QVariantList values);
    // The new row r is in the database now: it can be let go and read again by id.
    void setStored(int r);
    void remove(int r);
    // Index of the row with this id, -1 when none.
    int indexOfId(const QVariant &id) const;

private:
    struct Slot {
        QVariantList values; // the whole row while it is in memory
        bool loaded = false;
        bool gone = false;
        bool pinned = false; // not stored (or stored without an id): cannot be read again
    };

    void readWhole(const QString &sql, const QVariantList &params, std::vector<FieldDef> &fields);
    void readKeys(const DeclaredQuery &query, const QVariantList &params,
                  std::vector<FieldDef> &fields);
    void take(RowStore &fresh);
    void loadPage(int r);
    void touch(int page);
    void letGo(int page);
    void unload(int r);
    void sweep();
    QVariant &key(int r, int k) { return m_keys[qsizetype(r) * m_width + k]; }

    Connection *m_connection;
    int m_nextPageRows = kDefaultPageRows; // for the next read
    int m_nextPagesKept = kDefaultPagesKept;
    int m_pageRows = kDefaultPageRows;
    int m_pagesKept = kDefaultPagesKept;

    bool m_paged = false;
    int m_columnCount = 0;
    int m_idColumn = -1;
    std::vector<int> m_keyColumns; // dataset columns held for every row, id first
    std::vector<int> m_keyOf;      // dataset column -> place in m_keyColumns, or -1
    // m_width values per row. A QList: it grows and moves its values without
    // copying them, which a hundred thousand rows notice.
    QList<QVariant> m_keys;
    qsizetype m_width = 0; // m_keyColumns.size()
    std::vector<Slot> m_slots;
    QString m_table;
    QStringList m_names; // column names, for reading a page
    QString m_pageSql;
    QString m_statement;

    int m_current = -1;
    int m_loaded = 0;
    std::vector<int> m_recentPages; // most recent last
};

} // namespace zarn
