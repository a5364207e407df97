#include "data/connection.h"

#include "data/connection_string.h"
#include "data/db_error.h"
#include "data/errors.h"
#include "data/pg_direct.h"
#include "data/sqlite_declaration.h"

#include <QAtomicInteger>
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
    if (keep) ++m_traffic.roundTrips; // a server prepares in a round trip of its own
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
        bool mayRunAgain = repeatable;
        if (pg::canRunDirectly(db)) {
            std::vector<QSqlQuery> ran = runDirectly(db, {{sql, params}}, &mayRunAgain);
            if (ran.back().isActive()) return std::move(ran.back());
            q = std::move(ran.back());
        } else if (params.isEmpty() && keepsStatements()) {
            // Nothing to bind: sent as it is, one round trip even the first
            // time, where preparing it would be one more.
            q = QSqlQuery(db);
            q.setForwardOnly(forwardOnly);
            ++m_traffic.runs;
            ++m_traffic.roundTrips;
            if (q.exec(sql)) return q;
        } else if (q = keptQuery(db, sql, forwardOnly, &reused);
                   q.lastError().type() == QSqlError::NoError || reused) {
            for (qsizetype i = 0; i < params.size(); ++i)
                q.bindValue(int(i), params[i]);
            ++m_traffic.runs;
            ++m_traffic.roundTrips;
            if (q.exec()) return q;
            if (reused && planChanged(q.lastError())) {
                // The table changed under the kept statement (a column added,
                // say): prepared anew for it, it runs as if first asked.
                m_kept.erase((forwardOnly ? QStringLiteral("f") : QStringLiteral("s")) + sql);
                q = keptQuery(db, sql, forwardOnly, &reused);
                for (qsizetype i = 0; i < params.size(); ++i)
                    q.bindValue(int(i), params[i]);
                ++m_traffic.runs;
                ++m_traffic.roundTrips;
                if (q.lastError().type() == QSqlError::NoError && q.exec()) return q;
            }
        }
        const QSqlError failure = q.lastError();
        q = QSqlQuery();
        afterFailure(failure, access, mayRunAgain, run);
        if (repeated) *repeated = true;
    }
}

std::vector<QSqlQuery> Connection::execAll(Access access, const std::vector<Statement> &statements,
                                           bool repeatable)
{
    if (statements.empty()) return {};
    for (int run = 0;; ++run) {
        QSqlDatabase db = database();
        if (m_standby && access == Access::Write) {
            requireWritable();
            db = database();
        }
        if (!pg::canRunDirectly(db)) {
            // One after the other: on SQLite nothing is far, and through
            // ODBC there is no way to send them together.
            std::vector<QSqlQuery> out;
            for (const Statement &s : statements)
                out.push_back(exec(access, s.sql, s.params, repeatable));
            return out;
        }
        bool mayRunAgain = repeatable;
        std::vector<QSqlQuery> ran = runDirectly(db, statements, &mayRunAgain);
        if (ran.size() == statements.size() && ran.back().isActive()) return ran;
        const QSqlError failure = ran.back().lastError();
        ran.clear();
        afterFailure(failure, access, mayRunAgain, run);
    }
}

// On PostgreSQL through libpq: the statements in one round trip, a
// transaction begun and not yet sent, and what was left to go with the next
// statement, going first in it.
std::vector<QSqlQuery> Connection::runDirectly(const QSqlDatabase &db,
                                               const std::vector<Statement> &statements,
                                               bool *mayRunAgain)
{
    const bool beginning = m_beginPending;
    std::vector<Statement> sent;
    if (beginning) sent.push_back({QStringLiteral("begin")});
    sent.insert(sent.end(), m_withNext.begin(), m_withNext.end());
    m_withNext.clear();
    const size_t ahead = sent.size();
    sent.insert(sent.end(), statements.begin(), statements.end());
    m_traffic.runs += sent.size();
    ++m_traffic.roundTrips;
    std::vector<QSqlQuery> ran = pg::runAll(db, sent);
    if (beginning) {
        m_beginPending = false;
        // A transaction begun with its first statement and lost with it did
        // nothing: on the new connection both may be sent again.
        if (!ran.back().isActive() && !handle().isOpen()) {
            *mayRunAgain = true;
            m_retryBegin = true;
        }
    }
    if (ran.size() <= ahead) { // one of those sent ahead failed: its error stands
        std::vector<QSqlQuery> failed;
        failed.push_back(std::move(ran.back()));
        return failed;
    }
    ran.erase(ran.begin(), ran.begin() + qsizetype(ahead));
    return ran;
}

void Connection::sendWithNext(std::vector<Statement> statements)
{
    if (!pg::canRunDirectly(handle())) {
        for (const Statement &s : statements)
            exec(Access::Read, s.sql, s.params, false);
        return;
    }
    m_withNext.insert(m_withNext.end(), std::make_move_iterator(statements.begin()),
                      std::make_move_iterator(statements.end()));
}

// After a statement failed: throws its refusal, or, when the connection was
// found lost, opens it anew and returns for the statement to run once more
// (only when it may, and not if it ran within a transaction that died).
void Connection::afterFailure(const QSqlError &failure, Access access, bool mayRunAgain, int run)
{
    const bool retryBegin = std::exchange(m_retryBegin, false);
    DatabaseError e = error(failure);
    // A driver that gave its connection up may say no more than that it is closed.
    if (e.kind() != RefusalKind::ConnectionLost && !handle().isOpen())
        e.refusal().kind = RefusalKind::ConnectionLost;
    e.refusal().reading = access == Access::Read;
    if (e.kind() != RefusalKind::ConnectionLost || run > 0) throw e;
    const bool hadTransaction = m_inTransaction && !retryBegin;
    reconnect(); // throws while the server cannot be reached
    if (!mayRunAgain || hadTransaction) throw e;
    if (retryBegin) {
        m_inTransaction = true;
        m_beginPending = true;
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

void Connection::begin(Begin when)
{
    for (int run = 0;; ++run) {
        // A transaction here is always opened to write.
        QSqlDatabase db = database();
        if (m_standby) {
            requireWritable();
            db = database();
        }
        QSqlError failure;
        if (when == Begin::WithFirstStatement && pg::canRunDirectly(db) &&
            !(m_stalledLimitKnown && !m_stalledLimitInSession && m_waits.stalledTransaction > 0)) {
            // Sent with the transaction's first statement, in its round trip.
            m_beginPending = true;
        } else if (db.driverName() == QLatin1String("QSQLITE")) {
            // Take the write lock at once: a transaction that reads first and
            // writes later could not wait for another writer (SQLite refuses
            // that upgrade at once instead of waiting, to avoid a deadlock).
            QSqlQuery q(db);
            ++m_traffic.runs;
            ++m_traffic.roundTrips;
            if (!q.exec(QStringLiteral("begin immediate"))) failure = q.lastError();
        } else if (++m_traffic.runs, ++m_traffic.roundTrips; !db.transaction()) {
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
                m_traffic.roundTrips += 2;
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
    if (std::exchange(m_beginPending, false)) {
        // Nothing was sent: nothing to end.
        if (m_afterCommit) m_afterCommit();
        return;
    }
    ++m_traffic.runs;
    ++m_traffic.roundTrips;
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
    const bool had = m_inTransaction && !std::exchange(m_beginPending, false);
    m_inTransaction = false;
    if (had && !m_lost && m_open && handle().isOpen()) {
        ++m_traffic.runs;
        ++m_traffic.roundTrips;
        handle().rollback();
    }
}

} // namespace zarn
