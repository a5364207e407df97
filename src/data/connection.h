#pragma once

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include "data/access.h"
#include "data/pg_direct.h"

#include <functional>
#include <unordered_map>
#include <vector>

class QSqlError;

namespace zarn {

class DatabaseError;
struct ConnectionSettings;
namespace sqlitefile {
struct Access;
}

// The one database connection of a survey session. Owns a uniquely named
// QSqlDatabase; closing it tells every dataset on it to close first, so no
// query outlives its database.
//
// A connection to a server that went away (server restarted, network down,
// backend ended by an administrator) is noticed by the statement that finds
// it dead: the connection is then opened anew, quietly, without closing the
// datasets, so the rows and pending changes on the forms stay. While the
// server cannot be reached, every statement fails with a ConnectionLost
// refusal and the next one tries again.
//
// No wait is without end: a lock another workstation holds is waited for a
// few seconds (SQLite's busy wait, PostgreSQL's lock_timeout) and then
// refused as Busy; a server that stops answering is found out by TCP
// keepalives, and a workstation stopped inside a write transaction (a hung
// process, a laptop put to sleep) loses that transaction on the server after
// a while, so that what it held is free for the others.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    void setConnectionString(const QString &text);

    // How long this workstation waits, in milliseconds, taking effect at the
    // next open. lock: for a lock another workstation holds (SQLite's write
    // lock; a PostgreSQL row, table or advisory lock). stalledTransaction:
    // PostgreSQL ends a session whose write transaction stays idle longer
    // (0: never), the transaction rolled back and its locks freed.
    struct Waits {
        int lock = 5000;
        int stalledTransaction = 60000;
    };
    void setWaits(const Waits &waits) { m_waits = waits; }
    const Waits &waits() const { return m_waits; }
    const QString &connectionString() const { return m_connectionString; }

    // Opens with the connection string; throws DatabaseError (driver's text,
    // never the password) or Error for an unusable string.
    void open();
    void close();
    // Open, or opened and waiting for its lost server to come back.
    bool isOpen() const;
    // The server went away and could not be reached again yet.
    bool isLost() const { return m_lost; }
    // Opened for browsing only: an SQLite file the user may not write.
    bool isReadOnly() const { return m_readOnly; }
    // On a PostgreSQL server in recovery (a standby not promoted): nothing is
    // written while it stays so; a write is refused as read-only for now.
    bool isOnStandby() const { return m_standby; }

    // The open database; throws DatabaseError when closed, and a
    // ConnectionLost refusal when a lost server still cannot be reached.
    QSqlDatabase database();
    QString driverName() const;

    // Prepares a statement, binds the values to its positional placeholders in
    // order and runs it. The caller says whether it reads or writes: a write
    // goes only to a server that takes writes. A refusal is thrown as a
    // classified DatabaseError.
    // When the run finds the server connection lost, the connection is opened
    // anew; a repeatable statement (one whose second run cannot do what the
    // first did twice) then runs once more, unless a transaction was open,
    // which died with the old connection. *repeated (when given) tells
    // whether that second run happened.
    QSqlQuery exec(Access access, const QString &sql, const QVariantList &params, bool repeatable,
                   bool forwardOnly = true, bool *repeated = nullptr);

    // Several statements, each as exec() runs it, in the order given; on
    // PostgreSQL all in one round trip, each still with its own snapshot
    // (a statement after a lock sees what the lock's holder committed).
    // The first that fails throws, and those after it do not run. On
    // PostgreSQL statements sent together outside a transaction stand or
    // fall together: send together only reads, or statements of one
    // transaction.
    std::vector<QSqlQuery> execAll(Access access, const std::vector<Statement> &statements,
                                   bool repeatable);

    // Statements with nothing to read back (a read transaction's begin and
    // settings) sent ahead of the next exec() or execAll(), in its round
    // trip; where statements cannot travel together, run now. One that fails
    // fails that next statement with its error. A lost connection forgets them.
    void sendWithNext(std::vector<Statement> statements);

    // What this connection has sent the server since it was made: statements
    // run (each a round trip on a server, a transaction's begin and end
    // included) and statements prepared (one more round trip each on
    // PostgreSQL, where Qt's driver prepares on the server). Tests bound the
    // traffic of an action with it; it never decides anything.
    struct Traffic {
        quint64 runs = 0;
        quint64 prepares = 0;
        quint64 roundTrips = 0; // several statements sent together count one
    };
    const Traffic &traffic() const { return m_traffic; }

    // The classified error for a driver's error on this connection, secret removed.
    DatabaseError error(const QSqlError &e) const;

    // The declared widths of a table's text columns (lower-case column name
    // -> characters) where the driver does not report them with a result:
    // SQLite keeps "varchar(n)" only as the declared type, read from the
    // table's information. Empty for other drivers.
    QHash<QString, int> declaredTextWidths(const QString &table);

    // When a transaction's BEGIN goes to the server. WithFirstStatement (on
    // PostgreSQL) saves it a round trip of its own: it travels with the
    // transaction's first exec() or execAll(). Only for transactions whose
    // every statement goes through this class; one begun and then ended
    // without a statement sends nothing at all.
    enum class Begin { Now, WithFirstStatement };

    // Runs fn inside one transaction: commits when it returns, rolls back when it throws.
    template <class F> void transaction(F &&fn, Begin when = Begin::Now)
    {
        begin(when);
        // Whatever leaves fn early (an exception of any kind) leaves nothing
        // begun behind it.
        struct Unfinished {
            Connection *c;
            ~Unfinished()
            {
                if (c) c->rollback();
            }
        } unfinished{this};
        fn();
        unfinished.c = nullptr;
        commit();
    }
    void begin(Begin when = Begin::Now);
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    // For tests: runs after every commit the server confirmed, before
    // commit() returns; what it throws, commit() throws. A test ends the
    // backend there and throws a ConnectionLost refusal to stand for a
    // COMMIT whose reply never arrived.
    void setAfterCommit(std::function<void()> hook) { m_afterCommit = std::move(hook); }

signals:
    // Emitted before the database closes; datasets close on it.
    void aboutToClose();
    void opened();
    // The lost server connection was opened anew.
    void reconnected();

private:
    QSqlDatabase handleFor(const QString &driver);
    void openDatabase(bool again);
    void openReadOnlySqlite(const ConnectionSettings &settings, const sqlitefile::Access &access);
    void reconnect();
    DatabaseError lostTransaction() const;
    void applyPostgresSettings(QSqlDatabase &db);
    QSqlDatabase handle() const;
    bool openOnServers(QSqlDatabase &db, const ConnectionSettings &settings);
    bool inRecovery(const QSqlDatabase &db) const;
    void requireWritable();
    QSqlQuery keptQuery(QSqlDatabase &db, const QString &sql, bool forwardOnly, bool *reused);
    void forgetKept();
    static bool planChanged(const QSqlError &e);
    std::vector<QSqlQuery> runDirectly(const QSqlDatabase &db,
                                       const std::vector<Statement> &statements, bool *mayRunAgain);
    void afterFailure(const QSqlError &failure, Access access, bool mayRunAgain, int run);
    bool keepsStatements() const;
    DatabaseError readOnlyForNow() const;

    QString m_connectionString;
    QString m_name;
    QString m_password;  // to strip it from error texts, and to open again after a loss
    bool m_open = false; // open() succeeded and close() was not called since
    bool m_lost = false;
    bool m_readOnly = false;
    bool m_standby = false;
    int m_servers = 1;
    bool m_inTransaction = false;
    bool m_stalledLimitKnown = false; // the server has idle_in_transaction_session_timeout
    Waits m_waits;
    std::function<void()> m_afterCommit;
    QHash<QString, QHash<QString, int>> m_widths;
    Traffic m_traffic;
    // Statements kept prepared on the server for the life of its connection,
    // by text, so that running one again sends only its execution.
    struct Kept {
        QSqlQuery query;
        quint64 lastUse = 0;
    };
    std::unordered_map<QString, Kept> m_kept;
    quint64 m_uses = 0;
    // Kept statements of a connection given up (closed, or lost and opened
    // anew), held until the driver goes with this object: freed before it,
    // each would send a DEALLOCATE the closed session no longer needs.
    std::vector<QSqlQuery> m_retired;
    bool m_stalledLimitInSession = false; // set at the session's start, not per transaction
    bool m_beginPending = false;          // a transaction begun here, its BEGIN not yet sent
    bool m_retryBegin = false; // that BEGIN went with a statement that met a lost connection
    std::vector<Statement> m_withNext; // sendWithNext(), not sent yet
};

// Removes every occurrence of a secret from a text meant for the user.
QString withoutSecret(QString text, const QString &secret);

} // namespace zarn
