#include "schema/code_tables.h"

#include "data/characters.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"

#include <QSqlRecord>

#include <algorithm>

namespace zarn::codes {

void CodeTables::read(Connection &connection, const std::vector<const QString *> &statements)
{
    std::vector<Statement> asked;
    for (const QString *sql : statements) {
        const bool already = m_tables.contains(*sql) ||
                             std::any_of(asked.begin(), asked.end(),
                                         [&](const Statement &s) { return s.sql == *sql; });
        if (!already) asked.push_back({*sql});
    }
    if (asked.empty()) return;
    std::vector<QSqlQuery> answers = connection.execAll(Access::Read, asked, /*repeatable=*/true);
    for (size_t i = 0; i < asked.size(); ++i) {
        QSqlQuery &q = answers[i];
        const QSqlRecord record = q.record();
        QHash<QString, QStringList> columns;
        while (q.next())
            for (int c = 0; c < record.count(); ++c)
                columns[record.fieldName(c).toLower()]
                    << zarn::trimBlanks(Dataset::textOf(q.value(c)));
        for (int c = 0; c < record.count(); ++c) // an empty table has its columns too
            if (!columns.contains(record.fieldName(c).toLower()))
                columns.insert(record.fieldName(c).toLower(), {});
        m_tables.insert(asked[i].sql, columns);
    }
}

void CodeTables::readAhead(Connection &connection, const std::vector<const QString *> &statements)
{
    try {
        read(connection, statements);
    } catch (const Error &) {
        // Said by entries(), for the table it concerns.
    }
}

QStringList CodeTables::entries(Connection &connection, const QString &statement,
                                const QString &column)
{
    read(connection, {&statement});
    return m_tables.value(statement).value(column.toLower());
}

} // namespace zarn::codes
