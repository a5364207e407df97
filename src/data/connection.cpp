#include "data/connection.h"

#include "data/connection_string.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/sqlite_declaration.h"
#include "data/sqlite_file.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <utility>

namespace zarn {

namespace {
QAtomicInteger<quint64> s_counter;

// A session runs a few dozen distinct statements; more than this many kept
// would be statements built anew each time, whose plans nobody runs again.
constexpr size_t kMostKept = 96;
// Kept statements of given-up connections held at most (see m_retired).
constexpr size_t kMostRetired = 1024;

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

QString withoutSecret(QString text, const QString &secret)
{
    if (!secret.isEmpty()) text.replace(secret, QStringLiteral("***"));
    return text;
}

Connection::Connection(QObject *parent)
    : QObject(parent)
    , m_name(QStringLiteral("zarn-connection-%1").arg(++s_counter))
{
}

Connection::~Connection()
{
    close();
    if (QSqlDatabase::contains(m_name)) QSqlDatabase::removeDatabase(m_name);
    // The driver is gone: the kept statements go without a word to the server.
    m_kept.clear();
    m_retired.clear();
}

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
    if (!QSqlDatabase::contains(m_name)) return;
    emit aboutToClose();
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen()) db.close();
    forgetKept();
}

// Kept only where a statement prepared is a round trip saved: on a server.
// SQLite prepares in the process, and a statement kept there between runs
// would hold its read snapshot open, hiding the other workstations' writes.
bool Connection::keepsStatements() const
{
    return driverName() != QLatin1String("QSQLITE");
}

// The statement prepared for the text: the one kept from an earlier run when
// nobody reads its result any more, otherwise prepared now (and kept).
QSqlQuery Connection::keptQuery(QSqlDatabase &db, const QString &sql, bool forwardOnly,
                                bool *reused)
{
    *reused = false;
    const bool keep = keepsStatements();
    QString key = sql;
    key.prepend(forwardOnly ? QLatin1Char('f') : QLatin1Char('s'));
    if (keep) {
        if (auto it = m_kept.find(key); it != m_kept.end()) {
            const QSqlQuery &kept = it->second.query;
            // Rows not read to their end may still be read by whoever ran it:
            // that run keeps its statement and this one gets its own.
            if (kept.isActive() && kept.isSelect() && kept.at() != QSql::AfterLastRow) {
                m_retired.push_back(std::move(it->second.query));
                m_kept.erase(it);
            } else {
                it->second.lastUse = ++m_uses;
                *reused = true;
                // The run's query shares the kept one's prepared statement.
                QT_WARNING_PUSH
                QT_WARNING_DISABLE_DEPRECATED
                return QSqlQuery(kept);
                QT_WARNING_POP
            }
        }
    }
    QSqlQuery q(db);
    q.setForwardOnly(forwardOnly);
    ++m_traffic.prepares;
    if (!q.prepare(sql) || !keep) return q;
    if (m_kept.size() >= kMostKept) {
        auto oldest =
            std::min_element(m_kept.begin(), m_kept.end(), [](const auto &a, const auto &b) {
                return a.second.lastUse < b.second.lastUse;
            });
        m_kept.erase(oldest);
    }
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    m_kept.emplace(key, Kept{QSqlQuery(q), ++m_uses});
    QT_WARNING_POP
    return q;
}

// The kept statements of a session given up. Freed now, each would tell the
// closed session to drop its statement (a round trip, or a warning where the
// driver already dropped the session): held until the driver goes with this
// object, beyond a bound freed now.
void Connection::forgetKept()
{
    for (auto &[key, kept] : m_kept)
        m_retired.push_back(std::move(kept.query));
    m_kept.clear();
    if (m_retired.size() > kMostRetired) m_retired.clear();
}

bool Connection::isOpen() const
{
    return m_open;
}

QSqlDatabase Connection::handle() const
{
    return QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false) : QSqlDatabase();
}

QSqlDatabase Connection::database()
{
    if (!m_open) throw DatabaseError(QStringLiteral("数据库连接未打开"));
    if (m_lost) {
        reconnect();
    } else if (!handle().isOpen()) {
        // The driver gave the connection up when a statement met the loss
        // (PostgreSQL's does): open anew. A transaction died with the old one.
        const bool hadTransaction = m_inTransaction;
        reconnect();
        if (hadTransaction) throw lostTransaction();
    }
    return handle();
}

DatabaseError Connection::lostTransaction() const
{
    return DatabaseError(QStringLiteral("与数据库服务器的连接中断，进行中的写入已被服务器撤销"),
                         Refusal::of(RefusalKind::ConnectionLost, {}));
}

QString Connection::driverName() const
{
    return QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false).driverName()
                                          : QString();
}

DatabaseError Connection::error(const QSqlError &e) const
{
    DatabaseError result = databaseError(e, driverName(), m_password);
    // A PostgreSQL server refusing to write is a standby (or on its way to
    // becoming one): for the surveyor a wait, not a setting to change.
    if (result.kind() == RefusalKind::ReadOnly && driverName() == QLatin1String("QPSQL")) {
        DatabaseError forNow = readOnlyForNow();
        forNow.refusal().nativeCode = result.refusal().nativeCode;
        return forNow;
    }
    return result;
}

QSqlQuery Connection::exec(Access access, const QString &sql, const QVariantList &params,
                           bool repeatable, bool forwardOnly, bool *repeated)
{
    if (repeated) *repeated = false;
    for (int run = 0;; ++run) {
        QSqlDatabase db = database();
        if (m_standby && access == Access::Write) {
            requireWritable();
            db = database();
        }
        bool reused = false;
        QSqlQuery q;
        if (params.isEmpty() && keepsStatements()) {
            // Nothing to bind: sent as it is, one round trip even the first
            // time, where preparing it would be one more.
            q = QSqlQuery(db);
            q.setForwardOnly(forwardOnly);
            ++m_traffic.runs;
            if (q.exec(sql)) return q;
        } else if (q = keptQuery(db, sql, forwardOnly, &reused);
                   q.lastError().type() == QSqlError::NoError || reused) {
            for (qsizetype i = 0; i < params.size(); ++i)
                q.bindValue(int(i), params[i]);
            ++m_traffic.runs;
            if (q.exec()) return q;
            if (reused && planChanged(q.lastError())) {
                // The table changed under the kept statement (a column added,
                // say): prepared anew for it, it runs as if first asked.
                m_kept.erase((forwardOnly ? QStringLiteral("f") : QStringLiteral("s")) + sql);
                q = keptQuery(db, sql, forwardOnly, &reused);
                for (qsizetype i = 0; i < params.size(); ++i)
                    q.bindValue(int(i), params[i]);
                ++m_traffic.runs;
                if (q.lastError().type() == QSqlError::NoError && q.exec()) return q;
            }
        }
        DatabaseError e = error(q.lastError());
        // A driver that gave its connection up may say no more than that it is closed.
        if (e.kind() != RefusalKind::ConnectionLost && !handle().isOpen())
            e.refusal().kind = RefusalKind::ConnectionLost;
        e.refusal().reading = access == Access::Read;
        if (e.kind() != RefusalKind::ConnectionLost || run > 0) throw e;
        const bool hadTransaction = m_inTransaction;
        q = QSqlQuery();
        reconnect(); // throws while the server cannot be reached
        if (!repeatable || hadTransaction) throw e;
        if (repeated) *repeated = true;
    }
}

// A statement kept prepared whose table's columns changed since: the server
// no longer runs its plan (PostgreSQL's "cached plan must not change result
// type"), though it would run the text prepared anew.
bool Connection::planChanged(const QSqlError &e)
{
    return e.nativeErrorCode() == QLatin1String("0A000") ||
           e.databaseText().contains(QLatin1String("cached plan must not change"));
}

QHash<QString, int> Connection::declaredTextWidths(const QString &table)
{
    if (driverName() != QLatin1String("QSQLITE") || table.isEmpty()) return {};
    QString name = table;
    name.remove(QLatin1Char('"'));
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot >= 0)
        name = name.mid(dot + 1);
    const QString key = name.toLower();
    if (auto it = m_widths.constFind(key); it != m_widths.constEnd()) return *it;
    QHash<QString, int> widths;
    try {
        QSqlQuery q =
            exec(Access::Read, QStringLiteral("select name, type from pragma_table_info(?)"),
                 {name}, true);
        while (q.next()) {
            const int width = sqlite::declaredWidth(q.value(1).toString());
            if (width >= 0) widths.insert(q.value(0).toString().toLower(), width);
        }
    } catch (const DatabaseError &) {
        // Widths unknown are no widths: the database itself still refuses
        // what does not fit. Asked again at the next open.
        return widths;
    }
    m_widths.insert(key, widths);
    return widths;
}

void Connection::begin()
{
    for (int run = 0;; ++run) {
        // A transaction here is always opened to write.
        QSqlDatabase db = database();
        if (m_standby) {
            requireWritable();
            db = database();
        }
        QSqlError failure;
        if (db.driverName() == QLatin1String("QSQLITE")) {
            // Take the write lock at once: a transaction that reads first and
            // writes later could not wait for another writer (SQLite refuses
            // that upgrade at once instead of waiting, to avoid a deadlock).
            QSqlQuery q(db);
            ++m_traffic.runs;
            if (!q.exec(QStringLiteral("begin immediate"))) failure = q.lastError();
        } else if (++m_traffic.runs; !db.transaction()) {
            failure = db.lastError();
        } else if (m_stalledLimitKnown && !m_stalledLimitInSession &&
                   m_waits.stalledTransaction > 0) {
            // For this transaction only: a reading session may rightly sit in
            // its snapshot, a writing one never waits for its own workstation.
            QSqlQuery q(db);
            if (!q.prepare(QStringLiteral(
                    "select set_config('idle_in_transaction_session_timeout', ?, true)"))) {
                failure = q.lastError();
            } else {
                q.bindValue(0, QString::number(m_waits.stalledTransaction));
                ++m_traffic.prepares;
                ++m_traffic.runs;
                if (!q.exec()) failure = q.lastError();
            }
            if (failure.isValid()) db.rollback();
        }
        if (!failure.isValid()) break;
        DatabaseError e = error(failure);
        if (e.kind() != RefusalKind::ConnectionLost && !handle().isOpen())
            e.refusal().kind = RefusalKind::ConnectionLost;
        // Nothing was begun on a server that went away: begin on the one
        // that takes writes now (the failover's new primary).
        if (e.kind() != RefusalKind::ConnectionLost || run > 0) throw e;
        reconnect();
    }
    m_inTransaction = true;
}

// A COMMIT whose reply was lost may or may not have been carried out: the
// ConnectionLost refusal it throws leaves it to the writer to look its rows
// up before it says anything or writes them again.
void Connection::commit()
{
    QSqlDatabase db = database();
    m_inTransaction = false;
    ++m_traffic.runs;
    if (!db.commit()) {
        // A transaction left open would hold its locks and its half.
        DatabaseError e = error(db.lastError());
        if (e.kind() != RefusalKind::ConnectionLost && !db.isOpen())
            e.refusal().kind = RefusalKind::ConnectionLost;
        db.rollback();
        throw e;
    }
    if (m_afterCommit) m_afterCommit();
}

void Connection::rollback()
{
    const bool had = m_inTransaction;
    m_inTransaction = false;
    if (had && !m_lost && m_open && handle().isOpen()) {
        ++m_traffic.runs;
        handle().rollback();
    }
}

} // namespace zarn
