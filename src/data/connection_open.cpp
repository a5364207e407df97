// Opening a connection, again after it was lost, and closing it: the
// servers a connection string names, the start-up settings, a standby
// that may not be written to, SQLite files opened read-only.
#include "data/connection.h"

#include "data/connection_string.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/sqlite_file.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace zarn {

namespace {
// The settings a PostgreSQL session starts with, sent with the connect
// request itself rather than as statements after it: no round trip of their
// own. lock: see Connection::Waits; the server's side of the keepalives
// notices a workstation that vanished (put to sleep, cut off) as the
// workstation notices a silent server.
QString startupOptions(int lockMs, bool searchPath, int stalledMs)
{
    QString o = QStringLiteral("-c lock_timeout=%1 -c tcp_keepalives_idle=10 "
                               "-c tcp_keepalives_interval=5 -c tcp_keepalives_count=3")
                    .arg(std::max(0, lockMs));
    if (searchPath) o += QStringLiteral(" -c search_path=zarn,public");
    if (stalledMs > 0)
        o += QStringLiteral(" -c idle_in_transaction_session_timeout=%1").arg(stalledMs);
    return QStringLiteral("options='%1'").arg(o);
}
} // namespace

void Connection::setConnectionString(const QString &text)
{
    m_connectionString = text;
}

void Connection::open()
{
    if (isOpen()) return;
    openDatabase(false);
    m_open = true;
    m_lost = false;
    m_inTransaction = false;
    m_widths.clear();
    emit opened();
}

// The connection's database handle, made for the driver (anew when the
// connection string names another driver than before).
QSqlDatabase Connection::handleFor(const QString &driver)
{
    QSqlDatabase db = QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false)
                                                     : QSqlDatabase::addDatabase(driver, m_name);
    if (db.driverName() != driver) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        db = QSqlDatabase::addDatabase(driver, m_name);
    }
    return db;
}

void Connection::openDatabase(bool again)
{
    m_standby = false;
    m_stalledLimitKnown = false;
    ConnectionSettings settings =
        mapConnectionString(m_connectionString, QSqlDatabase::isDriverAvailable("QOCI"));
    if (settings.driver == QLatin1String("QSQLITE")) {
        settings.connectOptions =
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(std::max(0, m_waits.lock));
    } else if (settings.driver == QLatin1String("QPSQL")) {
        // A server or a network gone silent is noticed within half a minute
        // rather than the system's two hours, and a server that does not
        // answer a connect is given up after ten seconds (each, of several).
        const QString link = QStringLiteral("keepalives=1;keepalives_idle=10;"
                                            "keepalives_interval=5;keepalives_count=3;"
                                            "connect_timeout=10");
        settings.connectOptions = settings.connectOptions.isEmpty()
                                      ? link
                                      : settings.connectOptions + QLatin1Char(';') + link;
    }
    const QString plainOptions = settings.connectOptions;
    // A write transaction left idle is ended by the server for the whole
    // session at once: on this connection every transaction is one that
    // writes (a reading snapshot sets its own limit), so none is cut that
    // may rightly sit.
    m_stalledLimitInSession =
        settings.driver == QLatin1String("QPSQL") && m_waits.stalledTransaction > 0;
    auto withStartup = [&](bool stalled) {
        settings.connectOptions = plainOptions + QLatin1Char(';') +
                                  startupOptions(m_waits.lock, settings.setZarnSearchPath,
                                                 stalled ? m_waits.stalledTransaction : 0);
    };
    if (settings.driver == QLatin1String("QPSQL")) withStartup(m_stalledLimitInSession);
    if (!again) m_password = settings.password;
    if (!QSqlDatabase::isDriverAvailable(settings.driver))
        throw DatabaseError(QStringLiteral("数据库驱动 %1 不可用").arg(settings.driver));
    if (settings.driver == "QSQLITE") {
        // SQLite would silently create an empty database for a mistyped name.
        if (settings.databaseName.isEmpty() || !QFileInfo(settings.databaseName).isFile())
            throw DatabaseError(QStringLiteral("数据库文件不存在: %1").arg(settings.databaseName));
        const sqlitefile::Access access = sqlitefile::accessOf(settings.databaseName);
        sqlitefile::requireUsable(access);
        m_readOnly = !access.fileWritable;
        if (m_readOnly) {
            openReadOnlySqlite(settings, access);
            return;
        }
    } else {
        m_readOnly = false;
    }
    QSqlDatabase db = handleFor(settings.driver);
    db.setDatabaseName(settings.databaseName);
    db.setHostName(settings.hostName);
    db.setPort(settings.port);
    db.setUserName(settings.userName);
    db.setPassword(settings.password);
    db.setConnectOptions(settings.connectOptions);
    bool opened = openOnServers(db, settings);
    if (!opened && m_stalledLimitInSession &&
        db.lastError().text().contains(QLatin1String("idle_in_transaction_session_timeout"))) {
        // A server older than the setting: the session goes without the limit.
        m_stalledLimitInSession = false;
        withStartup(false);
        db.setConnectOptions(settings.connectOptions);
        opened = openOnServers(db, settings);
    }
    if (!opened) {
        DatabaseError e = error(db.lastError());
        db.setPassword(QString());
        if (e.message().isEmpty()) throw DatabaseError(QStringLiteral("无法打开数据库"));
        throw e;
    }
    // The driver need not hold the password once connected.
    db.setPassword(QString());
    if (settings.driver == "QSQLITE") {
        // An embedded survey database: a write-ahead log, so that a second
        // reader (another workstation on the file, the host) never waits for
        // a writer nor a writer for readers; sorts and temporary indexes in
        // memory rather than in temporary files; 16 MiB of page cache for
        // the indexes of a big unit. The log is kept in the file, so a
        // database that cannot switch (read-only, locked) stays as it is,
        // and so does a file that is no survey database.
        QSqlQuery q(db);
        for (const char *pragma : {"pragma foreign_keys = on", "pragma temp_store = memory",
                                   "pragma cache_size = -16384"})
            q.exec(QString::fromLatin1(pragma));
        if (sqlitefile::maySwitchToWriteAheadLog(db))
            q.exec(QStringLiteral("pragma journal_mode = wal"));
        q.finish();
    }
    if (settings.driver == QLatin1String("QPSQL")) {
        // Its settings came with the connect request; what is left to ask
        // is asked at once. A server too old to say is no standby of ours.
        QSqlQuery q(db);
        ++m_traffic.runs;
        ++m_traffic.roundTrips;
        if (q.exec(QStringLiteral(
                "select current_setting('server_version_num'), pg_is_in_recovery()")) &&
            q.next()) {
            m_stalledLimitKnown = q.value(0).toInt() >= 90600;
            m_standby = q.value(1).toBool();
        }
        return;
    }
    // Through ODBC a PostgreSQL server is still a PostgreSQL server: the survey
    // tables lie in schema zarn there too, whatever the driver is called.
    if (db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        applyPostgresSettings(db);
        return;
    }
    if (settings.setZarnSearchPath) {
        QSqlQuery q(db);
        ++m_traffic.runs;
        ++m_traffic.roundTrips;
        if (!q.exec(QStringLiteral("set search_path to zarn, public"))) {
            DatabaseError e = error(q.lastError());
            q.finish();
            db.close();
            throw e;
        }
    }
}

// A PostgreSQL session through a driver that takes no settings with its
// connect request: the search path, the waits and the server's version in one
// statement, the values bound. A server that refuses it is not one to work on.
void Connection::applyPostgresSettings(QSqlDatabase &db)
{
    QSqlQuery q(db);
    ++m_traffic.prepares;
    ++m_traffic.runs;
    m_traffic.roundTrips += 2;
    if (q.prepare(QStringLiteral("select set_config('search_path', 'zarn, public', false), "
                                 "set_config('lock_timeout', ?, false), "
                                 "set_config('tcp_keepalives_idle', '10', false), "
                                 "set_config('tcp_keepalives_interval', '5', false), "
                                 "set_config('tcp_keepalives_count', '3', false), "
                                 "current_setting('server_version_num')"))) {
        q.bindValue(0, QString::number(std::max(0, m_waits.lock)));
        if (q.exec() && q.next()) {
            m_stalledLimitKnown = q.value(5).toInt() >= 90600;
            return;
        }
    }
    DatabaseError e = error(q.lastError());
    q = QSqlQuery();
    db.close();
    throw e;
}

// Of several servers, the one that takes writes; when none does (the primary
// is gone and its standby not yet promoted), one that can be read, so that
// the forms can still be browsed while every write is refused for now.
bool Connection::openOnServers(QSqlDatabase &db, const ConnectionSettings &settings)
{
    m_servers = settings.driver == QLatin1String("QPSQL") ? settings.servers : 1;
    if (m_servers <= 1) return db.open();
    const QString options =
        settings.connectOptions.isEmpty() ? QString() : settings.connectOptions + QLatin1Char(';');
    db.setConnectOptions(options + QStringLiteral("target_session_attrs=read-write"));
    if (db.open()) return true;
    db.setConnectOptions(options + QStringLiteral("target_session_attrs=any"));
    return db.open();
}

bool Connection::inRecovery(const QSqlDatabase &db) const
{
    QSqlQuery q(db);
    // A server too old to say is no standby of ours.
    return q.exec(QStringLiteral("select pg_is_in_recovery()")) && q.next() && q.value(0).toBool();
}

DatabaseError Connection::readOnlyForNow() const
{
    return DatabaseError(
        QStringLiteral("数据库服务器暂时只允许查阅，不允许写入（例如正在切换到备用服务器），这次"
                       "没有保存。表上填写的内容仍然保留，请不要关闭窗口；稍等片刻后再按“保存”"
                       "或移动记录，系统会连接可写入的服务器并保存。"),
        Refusal::of(RefusalKind::ReadOnly, {}));
}

// A standby refuses every write, so none is sent to it. It may have been
// promoted since (the connection then writes as it is), or another of the
// servers may take writes by now.
void Connection::requireWritable()
{
    if (!m_standby) return;
    if (!inRecovery(handle())) {
        m_standby = false;
        return;
    }
    if (m_servers > 1) {
        reconnect();
        if (!m_standby) return;
    }
    throw readOnlyForNow();
}

// A write-protected survey file is opened for browsing: with SQLite's locks
// where it can read that way, else without them where nobody can change the
// file meanwhile; otherwise the administrator reads why it cannot be.
void Connection::openReadOnlySqlite(const ConnectionSettings &settings,
                                    const sqlitefile::Access &access)
{
    const QString options =
        settings.connectOptions.isEmpty() ? QString() : settings.connectOptions + QLatin1Char(';');
    QSqlDatabase db = handleFor(settings.driver);
    // Opening alone reads nothing: a first statement tells whether it can be read.
    auto tryOpen = [&](const QString &name, const QString &extra, QString *why) {
        db.setDatabaseName(name);
        db.setConnectOptions(options + QStringLiteral("QSQLITE_OPEN_READONLY") + extra);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select count(*) from sqlite_master"))) {
                q.finish();
                for (const char *pragma :
                     {"pragma temp_store = memory", "pragma cache_size = -16384"})
                    q.exec(QString::fromLatin1(pragma));
                return true;
            }
            *why = error(q.lastError()).message();
        } else {
            *why = error(db.lastError()).message();
        }
        db.close();
        return false;
    };
    QString driverWhy;
    if (tryOpen(settings.databaseName, QString(), &driverWhy)) return;
    QString unsafe;
    if (sqlitefile::immutableIsSafe(access, &unsafe)) {
        if (tryOpen(sqlitefile::immutableUri(settings.databaseName),
                    QStringLiteral(";QSQLITE_OPEN_URI"), &driverWhy))
            return;
        unsafe.clear();
    }
    throw DatabaseError(
        sqlitefile::unreadableReadOnlyMessage(
            access, unsafe.isEmpty() ? QStringLiteral("数据库信息：") + driverWhy : unsafe),
        Refusal::of(RefusalKind::NoAccess, {}));
}

void Connection::reconnect()
{
    {
        QSqlDatabase db = handle();
        if (db.isOpen()) db.close();
    }
    // Prepared on the old session: unknown to the new one.
    forgetKept();
    m_inTransaction = false;
    m_beginPending = false;
    m_withNext.clear();
    try {
        openDatabase(true);
    } catch (const DatabaseError &e) {
        // Whatever stops the new connection, for the surveyor the server
        // cannot be reached; the next statement tries again.
        m_lost = true;
        Refusal r = e.refusal();
        r.kind = RefusalKind::ConnectionLost;
        if (r.driverText.isEmpty()) r.driverText = e.message();
        throw DatabaseError(e.message(), std::move(r));
    }
    m_lost = false;
    emit reconnected();
}

void Connection::close()
{
    m_open = false;
    m_lost = false;
    m_standby = false;
    m_inTransaction = false;
    m_beginPending = false;
    m_withNext.clear();
    if (!QSqlDatabase::contains(m_name)) return;
    emit aboutToClose();
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen()) db.close();
    forgetKept();
}

} // namespace zarn
