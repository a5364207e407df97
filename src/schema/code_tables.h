#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace zarn {
class Connection;
}

// The code tables behind the drop-down lists, read once a session: their
// rows hardly change, and over a slow link each reading is a round trip. The
// tables a form or an editor needs and no one has read yet are read
// together, in one round trip on a server.
namespace zarn::codes {

class CodeTables {
public:
    // Reads those of the statements (each reading one code table whole, no
    // values) not read yet, together. When one cannot be read none is kept
    // and nothing is said here: entries() then reads each table alone, so
    // the lists before the faulty table are filled and that one says why.
    void readAhead(Connection &connection, const std::vector<const QString *> &statements);

    // A column's entries, texts trimmed, in the order the database returned
    // the rows; the table read first when it was not. A column the table
    // lacks gives no entries.
    QStringList entries(Connection &connection, const QString &statement, const QString &column);

    // Forgets what was read: a form opening reads its tables as they are now.
    void clear() { m_tables.clear(); }

private:
    // As readAhead, throwing what the first table that cannot be read threw.
    void read(Connection &connection, const std::vector<const QString *> &statements);

    // statement -> lower-case column name -> entries
    QHash<QString, QHash<QString, QStringList>> m_tables;
};

} // namespace zarn::codes
