#include "data/connection.h"

#include "data/connection_string.h"
#include "data/errors.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace zarn {

namespace {
QAtomicInteger<quint64> s_counter;
}

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
}

void Connection::setConnectionString(const QString &text)
{
    m_connectionString = text;
}

void Connection::open()
{
    if (isOpen()) return;
    const ConnectionSettings settings =
        mapConnectionString(m_connectionString, QSqlDatabase::isDriverAvailable("QOCI"));
    m_password = settings.password;
    if (!QSqlDatabase::isDriverAvailable(settings.driver))
        throw DatabaseError(QStringLiteral("数据库驱动 %1 不可用").arg(settings.driver));
    if (settings.driver == "QSQLITE") {
        // SQLite would silently create an empty database for a mistyped name.
        if (settings.databaseName.isEmpty() || !QFileInfo(settings.databaseName).isFile())
            throw DatabaseError(QStringLiteral("数据库文件不存在: %1").arg(settings.databaseName));
    }
    {
        QSqlDatabase db = QSqlDatabase::contains(m_name)
                              ? QSqlDatabase::database(m_name, false)
                              : QSqlDatabase::addDatabase(settings.driver, m_name);
        if (db.driverName() != settings.driver) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            db = QSqlDatabase::addDatabase(settings.driver, m_name);
        }
        db.setDatabaseName(settings.databaseName);
        db.setHostName(settings.hostName);
        db.setPort(settings.port);
        db.setUserName(settings.userName);
        db.setPassword(settings.password);
        db.setConnectOptions(settings.connectOptions);
        if (!db.open()) {
            const QString text = withoutSecret(db.lastError().text(), m_password);
            db.setPassword(QString());
            throw DatabaseError(text.isEmpty() ? QStringLiteral("无法打开数据库") : text);
        }
        // The password is not needed once connected; keep it out of memory.
        db.setPassword(QString());
        if (settings.driver == "QSQLITE") {
            // An embedded survey database: a write-ahead log, so that a second
            // reader (another workstation on the file, the host) never waits for
            // a writer nor a writer for readers; sorts and temporary indexes in
            // memory rather than in temporary files; 16 MiB of page cache for
            // the indexes of a big unit. The log is kept in the file, so a
            // database that cannot switch (read-only, locked) stays as it is.
            QSqlQuery q(db);
            for (const char *pragma : {"pragma foreign_keys = on", "pragma journal_mode = wal",
                                       "pragma temp_store = memory", "pragma cache_size = -16384"})
                q.exec(QString::fromLatin1(pragma));
            q.finish();
        }
        if (settings.setZarnSearchPath) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("set search_path to zarn, public"))) {
                const QString text = withoutSecret(q.lastError().text(), m_password);
                q.finish();
                db.close();
                throw DatabaseError(text);
            }
        }
    }
    emit opened();
}

void Connection::close()
{
    if (!QSqlDatabase::contains(m_name)) return;
    emit aboutToClose();
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen()) db.close();
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Connection::database() const
{
    if (!isOpen()) throw DatabaseError(QStringLiteral("数据库连接未打开"));
    return QSqlDatabase::database(m_name, false);
}

QString Connection::driverName() const
{
    return QSqlDatabase::contains(m_name) ? QSqlDatabase::database(m_name, false).driverName()
                                          : QString();
}

void Connection::begin()
{
    QSqlDatabase db = database();
    if (!db.transaction()) throw DatabaseError(withoutSecret(db.lastError().text(), m_password));
}

void Connection::commit()
{
    QSqlDatabase db = database();
    if (!db.commit()) throw DatabaseError(withoutSecret(db.lastError().text(), m_password));
}

void Connection::rollback()
{
    if (isOpen()) database().rollback();
}

} // namespace zarn
