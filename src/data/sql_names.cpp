#include "data/sql_names.h"

#include "data/declared_query.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringList>

namespace zarn {

namespace {

// A name created without quotes, in the case the database stores it.
QString storedCase(const QSqlDatabase &db, const QString &name)
{
    const QString driver = db.driverName();
    if (driver == QLatin1String("QPSQL")) return name.toLower();
    if (driver == QLatin1String("QOCI")) return name.toUpper();
    if (driver == QLatin1String("QSQLITE")) return name; // names match without regard to case
    // Behind ODBC the folding is the server's: the catalogue says. Read once
    // per connection and name.
    static QHash<QString, QString> known;
    const QString key = db.connectionName() + QLatin1Char('\n') + name.toLower();
    if (const auto it = known.constFind(key); it != known.constEnd()) return *it;
    QString stored = name;
    const QStringList tables = db.tables(QSql::AllTables);
    for (const QString &t : tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0) {
            stored = t;
            break;
        }
    known.insert(key, stored);
    return stored;
}

} // namespace

QString quotedTable(const QSqlDatabase &db, const QString &name)
{
    const QSqlDriver *driver = db.driver();
    QStringList parts = name.split(QLatin1Char('.'));
    for (QString &part : parts) {
        part = part.trimmed();
        if (driver->isIdentifierEscaped(part, QSqlDriver::TableName)) continue;
        const bool last = &part == &parts.last();
        // A schema's case follows the same folding; only tables are in the catalogue.
        const QString stored = last                                       ? storedCase(db, part)
                               : db.driverName() == QLatin1String("QOCI") ? part.toUpper()
                                                                          : part.toLower();
        part = driver->escapeIdentifier(stored, QSqlDriver::TableName);
    }
    return parts.join(QLatin1Char('.'));
}

QString quotedColumn(const QSqlDatabase &db, const QString &name)
{
    const QSqlDriver *driver = db.driver();
    if (driver->isIdentifierEscaped(name, QSqlDriver::FieldName)) return name;
    return driver->escapeIdentifier(name, QSqlDriver::FieldName);
}

QString selectText(const DeclaredQuery &query, const QSqlDatabase &db, const QStringList &columns,
                   const QString &what)
{
    QString sql = QStringLiteral("select %1 from %2").arg(what, quotedTable(db, query.table));
    if (!query.filter.isEmpty()) sql += QStringLiteral(" where ") + query.filter;
    QStringList order;
    for (const OrderColumn &o : query.order) {
        // A column the list does not name takes the database's folding.
        const QString driver = db.driverName();
        QString name = driver == QLatin1String("QPSQL")  ? o.column.toLower()
                       : driver == QLatin1String("QOCI") ? o.column.toUpper()
                                                         : o.column;
        for (const QString &c : columns)
            if (c.compare(o.column, Qt::CaseInsensitive) == 0) name = c;
        order << quotedColumn(db, name) + (o.descending ? QStringLiteral(" desc") : QString()) +
                     (o.nullsLast ? QStringLiteral(" nulls last") : QString());
    }
    if (!order.isEmpty()) sql += QStringLiteral(" order by ") + order.join(QStringLiteral(", "));
    return sql;
}

} // namespace zarn
