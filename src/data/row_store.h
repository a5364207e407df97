#pragma once

#include "data/dataset.h"
#include "data/declared_query.h"
#include "data/key_feed.h"
#include "data/key_table.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

class QSqlQuery;
class QSqlRecord;

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
// A declared query that reads a unit's rows (DeclaredQuery::exactFilter)
// opens with the count of its rows and the keys of its first page only; the
// keys of the rest arrive behind (KeyFeed), a chunk at each arrive() and at
// once as far as a read needs them. Until its key arrives a row is waiting:
// it counts, reads no value from memory, and reading it reads keys up to it.
//
// The count, every page of keys and every seek's count are read as of one
// moment: on a connection of the list's own, inside one read transaction
// (SQLite under its write-ahead log, PostgreSQL in repeatable read), ended
// once every key is in. So each row there was at the open arrives once, in
// its place, whatever other users write meanwhile (their rows show at the
// next read of the list), and the count is the list's. Whole rows are read
// by id on the session's connection, as stored now: a row deleted since
// reads as gone. Rows this session stores meanwhile are not of that moment
// and stay where they were put.
//
// Where no such read is to be had (another driver, a database file without
// its log), or once that connection is lost, the keys still to come are read
// as the database has them then: rows the count missed (another user added
// them) are added at the end, rows it counted that never arrive read as
// gone, a row already listed is passed over, and a seek is not made.
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
    // its page cannot be read. stored: as the database holds it now, read
    // again by id when it was in memory since before the last newMove().
    QVariantList *row(int r, bool stored = false);
    // A move begins: rows read from now on are as stored for it.
    void newMove() { ++m_move; }
    // A value of row r: a column the store holds for every row without reading
    // the row, any other read with its page. Null for a gone row. Throws
    // DatabaseError when the page cannot be read.
    QVariant read(int r, int column);
    // read() for painting and lookups that take no refusal: null when the
    // page cannot be read (what is no refusal, running out of memory, still
    // goes to the caller).
    QVariant value(int r, int column);
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
    // Index of the row with this id, -1 when none; reads keys until it arrives.
    int indexOfId(const QVariant &id);

    // True while keys are still to arrive.
    bool isArriving() const { return !m_gaps.empty(); }
    // True while the keys still to arrive are of the moment of the open.
    bool arrivesAsOfOpen() const { return isArriving() && m_snapshot != nullptr; }
    // For a list whose keys arrive: the first row whose order column is
    // value or after it in the list's order (size() when none), its key
    // read without the keys before it (the database counts those). -1 when
    // the list's keys do not arrive, or when the rows around it do not bear
    // the count out (another user's changes): a search from the top finds it.
    int seek(const QVariant &value);
    // The column a seek goes by, -1 while no keys arrive.
    int seekColumn() const { return isArriving() ? m_keyColumns[size_t(m_shape.orderKey)] : -1; }
    // The last row counted whose key never arrived (another user deleted
    // it before), -1 when none: it reads as gone until taken out.
    int lastMissed() const;
    // Reads up to n more keys (all of them for n < 0): waiting rows take
    // theirs, rows beyond the count are added at the end. Throws DatabaseError.
    void arrive(qsizetype n);
    // Told about rows added at the end, before (first..last not there yet) and after.
    void setGrowth(std::function<void(int, int)> aboutToGrow, std::function<void(int, int)> grown);

    // A read of one value that goes with each reading of a kept row as it is
    // stored now: `make` builds it from the row as it was read before (or
    // gives none), and `take` gets the value (null when no row came back).
    // On a server both travel in one round trip.
    using AlongMake = std::function<std::optional<Statement>(const QVariantList &row)>;
    using AlongTake = std::function<void(const QVariant &value)>;
    void setAlongRereads(AlongMake make, AlongTake take)
    {
        m_alongMake = std::move(make);
        m_alongTake = std::move(take);
    }

private:
    struct Slot {
        std::unique_ptr<QVariantList> values; // the whole row while it is in memory
        quint32 readIn = 0;                   // the move it was read in
        bool gone = false;
        bool pinned = false; // not stored (or stored without an id): cannot be read again
        bool missed = false; // counted, its key never arrived: deleted meanwhile
        bool own = false;    // put in by this session, not of the open's moment
        bool loaded() const { return bool(values); }
    };

    // An id as text, the key rows are matched by across drivers' types.
    static QString idText(const QVariant &v);
    void readWhole(const QString &sql, const QVariantList &params, std::vector<FieldDef> &fields);
    void readKeys(const DeclaredQuery &query, const QVariantList &params,
                  std::vector<FieldDef> &fields);
    // The reading of a unit's keys by KeyFeed; false when the query is not one.
    bool startFeed(const DeclaredQuery &query, const QVariantList &params,
                   const std::vector<FieldDef> &fields, const QStringList &columns);
    // The declared query narrowed to its exact filter when the unit has no sub-units.
    void narrow(DeclaredQuery &query, QVariantList &values);
    // Counted, its key not arrived yet.
    bool isWaiting(int r) const { return gapOf(r) >= 0; }
    // Reads keys until row r is no longer waiting.
    void keyUpTo(int r);
    void takeKey(int r, const QVariantList &keys);
    int findId(const QString &wanted, int from, int to) const;
    // The gap holding waiting row r, -1 when r is not waiting.
    int gapOf(int r) const;
    // Its feed has no more keys: rows still waiting never came.
    void closeGap(size_t g);
    // Keys for rows beyond the count, from the last gap's feed, added at the end.
    void arriveBeyondCount(qsizetype n);
    // A new row stored while keys arrive: should its key arrive from the
    // database as it is now, it is passed over.
    void setPlaced(int r);
    // The connection the keys are read on, in one read transaction; false
    // when the driver or the database offers none.
    bool beginSnapshot();
    // True when the database orders the column as the merge does.
    bool binaryOrder(const QString &column, const QString &table);
    void endSnapshot();
    // The keys still to come are read on the session's connection from now
    // on, passing over every row already listed.
    void loseSnapshot();
    // The next key of a feed, read on the session's connection should the
    // keys' own connection fail.
    bool nextKey(KeyFeed &feed, QVariantList &keys);
    // A key read from the database as it is now whose row is listed already.
    bool passOver(const QVariantList &keys);
    // Reads row r again by id; false when the database no longer has it.
    bool reread(int r);
    // Where each column of the list is in a result read by id (-1: the
    // table no longer has it); throws when the id is not there.
    std::vector<int> placesIn(const QSqlRecord &rec) const;
    // A row read by id, into the row's slot and its keys.
    void readInto(int r, const QSqlQuery &q, const std::vector<int> &from);
    void take(RowStore &fresh);
    void loadPage(int r);
    void touch(int page);
    void letGo(int page);
    void unload(int r);
    void sweep();
    QVariant key(int r, int k) const { return m_keys.value(r, k); }

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
    KeyTable m_keys;               // m_keyColumns' values of every row
    qsizetype m_width = 0;         // m_keyColumns.size()
    std::vector<Slot> m_slots;
    // Waiting rows come in runs, each with the feed that brings their keys:
    // the run of the open, and one more from each seek into a run. Only the
    // last run's feed goes on past the count.
    struct Gap {
        int fill = 0; // its first waiting row
        int waiting = 0;
        std::unique_ptr<KeyFeed> feed;
    };
    std::vector<Gap> m_gaps;
    std::unique_ptr<KeyFeed> seekFeed(const QVariant &from) const;
    KeyFeed::Shape m_shape; // what a seek's feed reads
    std::vector<QVariantList> m_parts;
    std::vector<qint64> m_partOrdered; // each part's rows with an order value, at the open
    int m_missed = 0;                  // rows missed still in the list
    // The keys' own connection, in its read transaction, while keys arrive.
    std::unique_ptr<Connection> m_snapshot;
    // Keys read from the database as it is now: the ids listed, so none is
    // listed twice (another user renumbered a row already listed).
    bool m_live = false;
    std::unordered_set<qint64> m_listed;
    // What moved rows from where the open's count puts them: rows this
    // session put in, and the order keys of rows it took out.
    int m_own = 0;
    std::vector<QVariant> m_removedKeys;
    quint32 m_move = 0;
    QString m_rowSql; // one row by id
    std::function<void(int, int)> m_aboutToGrow, m_grown;
    QString m_table;
    QStringList m_names; // column names, for reading a page
    QString m_pageSql;
    QString m_statement;

    int m_current = -1;
    int m_loaded = 0;
    std::vector<int> m_recentPages; // most recent last
    AlongMake m_alongMake;
    AlongTake m_alongTake;
};

} // namespace zarn
