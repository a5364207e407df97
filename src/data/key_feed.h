#pragma once

#include "data/access.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

class QSqlQuery;

namespace zarn {

class Connection;

// The keys of a long result in its order, read a page at a time, so that a
// list can show its first rows before the rest are read.
//
// The result is ordered by one column, text or number, with nulls last, and
// then by the id (whole numbers): the id breaks ties, so that a page can
// start right after the last key read (the order column and the id of the
// last row) whatever other users write meanwhile; no page is read twice and
// none depends on an offset. The rows with a null in the order column come
// last, as a part of their own ordered by id.
//
// The result may be split into parts, each with the same condition bound
// with its own values (a district read unit by unit), whose rows an index
// gives in order: the parts are read side by side and merged here, so no
// part is ever sorted by the database. The merge compares texts by their
// characters' codes, as SQLite's and PostgreSQL's "C" collations do: a column
// collated otherwise is not read by a feed (RowStore reads it whole).
class KeyFeed {
public:
    struct Shape {
        QString select;      // "select <keys> from <table> where (<condition>)"
        QString from;        // " from <table> where (<condition>)"
        QString orderColumn; // quoted
        QString idColumn;    // quoted
        int orderKey = 1;    // places of the order column and the id in a key row
        int idKey = 0;
        bool fetchFirst = false; // "fetch first ? rows only" in place of "limit ?"
    };

    // from: the first key handed out is the first whose order column is
    // from or after it (null: from the start).
    KeyFeed(Connection *connection, Shape shape, std::vector<QVariantList> parts, int firstPage,
            QVariant from = {});
    ~KeyFeed();
    KeyFeed(const KeyFeed &) = delete;
    KeyFeed &operator=(const KeyFeed &) = delete;

    // Where the keys are read. Not repeatable: a statement that finds the
    // connection lost is not run again on a new one, whose reads would not
    // be of the moment the earlier ones were (a read transaction's).
    void setConnection(Connection *connection, bool repeatable)
    {
        m_connection = connection;
        m_repeatable = repeatable;
    }

    // The rows of every part now, and of each part those with a value in
    // the order column; throws DatabaseError.
    qint64 count(std::vector<qint64> *ordered = nullptr);
    // The rows of every part now whose order column is before value. A part
    // wholly before it or after it is told by its highest and lowest value,
    // and takes its share from ordered (as count gave it), when given.
    qint64 countBefore(const QVariant &value, const std::vector<qint64> *ordered = nullptr);
    // Hands out no key whose order column is bound or after it (nor a null).
    void setBound(const QVariant &bound) { m_bound = bound; }
    const QVariant &bound() const { return m_bound; }
    // Order of two values of the order column as the merge sees them (nulls last).
    static int compareOrder(const QVariant &a, const QVariant &b);
    // The next key row in order into row; false when every row was read.
    // Throws DatabaseError when a page cannot be read (the row is read again
    // at the next call).
    bool next(QVariantList &row);
    bool done() const { return m_started && m_heap.empty() && m_pending.empty(); }

private:
    enum class Phase { Ordered, OrderedFrom, OrderedAfter, Nulls, NullsAfter, Done };
    struct Part {
        QVariantList values;
        Phase phase = Phase::Ordered;
        QList<QVariantList> rows; // the page being handed out
        qsizetype at = 0;
        QVariant lastOrder, lastId;
    };

    // True when the part has a row to hand out, reading its next page if needed.
    bool fill(Part &part);
    // The statement of a part's next page and its length in rows.
    Statement pageStatement(const Part &part, int *rows) const;
    void takePage(Part &part, QSqlQuery &q, int rows);
    // The next pages of the parts waiting for one, read together.
    void fillPending();
    bool before(int a, int b) const;

    Connection *m_connection;
    bool m_repeatable = true;
    Shape m_shape;
    std::vector<Part> m_parts;
    std::vector<int> m_heap;    // parts with a row to hand out, smallest head on top
    std::vector<int> m_pending; // parts that must read a page before they have one
    QVariant m_bound;
    int m_page;
    int m_firstPage;
    bool m_started = false;
};

} // namespace zarn
