#pragma once

#include "support/backends.h"
#include "support/tempdir.h"

#include <QString>
#include <QVariantList>
#include <memory>

namespace zarn {
class Connection;
}

namespace zarn::test {

// An empty database of its own for one test: a new SQLite file, or on the
// PostgreSQL test server (directly or through its ODBC driver) a new database
// (tests of other programs run at the same time against that server, and the
// survey tables have fixed names). Dropped again at the end.
class ScratchDatabase {
public:
    explicit ScratchDatabase(Backend backend);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    const QString &connectionString() const { return m_connectionString; }
    // The SQLite file (not yet created), empty on PostgreSQL.
    const QString &file() const { return m_file; }
    // Makes the empty SQLite file if it is not there yet (the server's
    // database exists from the start).
    void create() const;
    // An open connection; creates the SQLite file first.
    std::unique_ptr<Connection> open() const;
    // The same with the survey tables made, as zarn-db init makes them.
    std::unique_ptr<Connection> openSurvey() const;
    // Opens a connection of someone else's (a data module's) on this
    // database and makes the survey tables there.
    void openSurvey(Connection &c) const;

private:
    Backend m_backend;
    TempDir m_dir;
    QString m_file;
    QString m_database;
    QString m_connectionString;
};

// A test run once per back-end on a scratch database of its own: `db`, and
// `conn` open on it. An unconfigured back-end skips the test. A fixture built
// on it makes its tables and datasets in prepare(); its own members go before
// the connection, and the connection before the database (a server drops a
// database only once no connection is left on it).
class ScratchDatabaseTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() final;
    virtual void prepare() {}

    std::unique_ptr<ScratchDatabase> db;
    std::unique_ptr<Connection> conn;
};

// Runs a statement with values and gives the first column of its first row
// (null when there is none).
QVariant scalar(Connection &c, const QString &sql, const QVariantList &params = {});
qint64 count(Connection &c, const QString &sql, const QVariantList &params = {});
// What a row holds in a column now, read through a statement of its own:
// the text, "<null>", or "<no row>" when there is no row of that id.
QString stored(Connection &c, const QString &table, qint64 id, const QString &column);

} // namespace zarn::test
