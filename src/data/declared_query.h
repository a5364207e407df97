#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace zarn {

// One column a declared query is ordered by.
struct OrderColumn {
    QString column{};
    bool descending = false;
    bool nullsLast = false;
};

// A query whose shape the data layer is told rather than reads back from its
// text: whole rows of one table, picked by a condition and put in an order,
// written back to that table by the id column. The data layer builds the
// statements from it, quoting every name it joins in, and reads a long result
// a page at a time, holding the id, the order columns and `held` for every row.
// Every statement built from it reads (Access::Read); what is written back
// goes through the dataset's own statements, declared as writes.
struct DeclaredQuery {
    // The table as it was created (the database's own folding applies).
    QString table{};
    QString idColumn = QStringLiteral("id");
    // The condition after "where", values as positional placeholders bound
    // when the query is opened; empty: every row.
    QString filter{};
    // The same condition narrowed, for when `exactProbe` (a statement bound
    // with the same values as filter) reads a null or no row: written so that
    // an index gives the rows in the asked order where filter leaves them to
    // a sort. It binds the values of filter that exactValues lists by
    // position, in its order. Empty: filter always.
    QString exactFilter{};
    QList<int> exactValues{};
    // The probe is also walked: bound again with each value it found in
    // place of the first filter value, it names the units one by one, and
    // the row store reads each under exactFilter (that value in place of the
    // first) and merges them in order (KeyFeed).
    QString exactProbe{};
    // The same walk in one statement, for a server far away (PostgreSQL):
    // the units it names, in order. Binds filter's three values, its second
    // and third again, and the most units to name. Empty: walked one by one.
    QString probeWalk{};
    QList<OrderColumn> order{};
    // Further columns held for every row without reading the row (a form
    // locates by them).
    QStringList held{};
};

// The statement that reads a declared query's rows (`what`: the column list,
// "*" for all), its names quoted for db. columns are the table's as the driver
// reports them, giving each name its stored case.
QString selectText(const DeclaredQuery &query, const QSqlDatabase &db, const QStringList &columns,
                   const QString &what = QStringLiteral("*"));

} // namespace zarn
