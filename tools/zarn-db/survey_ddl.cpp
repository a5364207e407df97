#include "zarn-db/survey_ddl.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace zarn::dbsetup {

Dialect dialectOf(Connection &connection)
{
    const QString driver = connection.driverName();
    if (driver == QLatin1String("QSQLITE")) return Dialect::Sqlite;
    if (driver == QLatin1String("QPSQL")) return Dialect::Postgres;
    if (driver == QLatin1String("QODBC") &&
        connection.database().driver()->dbmsType() == QSqlDriver::PostgreSQL)
        return Dialect::Postgres;
    throw Error(QStringLiteral("zarn-db 只能在 SQLite 和 PostgreSQL 上建表（当前驱动 %1）；"
                               "Oracle 请由数据库管理员运行 sql/oracle.sql")
                    .arg(driver));
}

QString sqlFile(const QString &name)
{
    QFile f(QStringLiteral(":/zarn/sql/") + name);
    if (!f.open(QIODevice::ReadOnly)) throw Error(QStringLiteral("缺少建表脚本 %1").arg(name));
    return QString::fromUtf8(f.readAll());
}

QString ddlText(Dialect dialect)
{
    switch (dialect) {
    case Dialect::Sqlite:
        return sqlFile(QStringLiteral("sqlite.sql"));
    case Dialect::Postgres:
        return sqlFile(QStringLiteral("postgresql.sql"));
    case Dialect::Oracle:
        return sqlFile(QStringLiteral("oracle.sql"));
    }
    return {};
}

QStringList splitStatements(const QString &script)
{
    QStringList out;
    QString current;
    bool inQuote = false;
    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = script[i];
        if (inQuote) {
            current += c;
            if (c == QLatin1Char('\''))
                inQuote = false; // a doubled quote closes and reopens: same text
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && script[i + 1] == QLatin1Char('-')) {
            while (i < n && script[i] != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
            continue;
        }
        if (c == QLatin1Char('\'')) {
            inQuote = true;
            current += c;
        } else if (c == QLatin1Char(';')) {
            const QString s = current.trimmed();
            if (!s.isEmpty()) out << s;
            current.clear();
        } else {
            current += c;
        }
    }
    const QString rest = current.trimmed();
    if (!rest.isEmpty()) out << rest;
    return out;
}

const QStringList &surveyTables()
{
    static const QStringList tables = {
        QStringLiteral("T_DJDCB"), QStringLiteral("T_JZBSB"), QStringLiteral("T_ZJB"),
        QStringLiteral("T_SZB"),   QStringLiteral("T_GYQ"),   QStringLiteral("S_DWXZDM"),
        QStringLiteral("S_QSXZ"),  QStringLiteral("S_GYLX"),  QStringLiteral("S_DLDM"),
        QStringLiteral("S_JBLX"),  QStringLiteral("S_JXLB"),  QStringLiteral("S_JXWZDM")};
    return tables;
}

QStringList existingSurveyTables(Connection &connection)
{
    // Asking the table itself finds it the way the forms will: by plain name
    // through whatever schema path the connection has.
    QStringList found;
    QSqlDatabase db = connection.database();
    for (const QString &t : surveyTables()) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select * from %1 where 1 = 0").arg(t))) found << t;
    }
    return found;
}

namespace {

bool startsWith(const QString &statement, const char *words)
{
    return statement.simplified().startsWith(QLatin1String(words), Qt::CaseInsensitive);
}

void run(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement)) {
        const QString why = q.lastError().databaseText().trimmed().isEmpty()
                                ? q.lastError().text()
                                : q.lastError().databaseText().trimmed();
        throw DatabaseError(QStringLiteral("建表失败：%1\n语句：%2").arg(why, statement));
    }
}

} // namespace

InitSummary createSurveyDatabase(Connection &connection)
{
    const Dialect dialect = dialectOf(connection);
    const QStringList existing = existingSurveyTables(connection);
    if (!existing.isEmpty())
        throw Error(QStringLiteral("数据库中已有表 %1，未做任何改动；"
                                   "zarn-db init 只在空数据库上建表")
                        .arg(existing.join(QStringLiteral(", "))));
    const QStringList ddl = splitStatements(ddlText(dialect));
    const QStringList codes = splitStatements(sqlFile(QStringLiteral("code_tables.sql")));
    InitSummary summary;
    connection.transaction([&] {
        QSqlDatabase db = connection.database();
        for (const QString &s : ddl) {
            run(db, s);
            if (startsWith(s, "create table"))
                ++summary.tables;
            else if (startsWith(s, "create index") || startsWith(s, "create unique index"))
                ++summary.indexes;
        }
        for (const QString &s : codes) {
            run(db, s);
            ++summary.codeRows;
        }
    });
    return summary;
}

QString analyseSurveyTables(Connection &connection)
{
    if (dialectOf(connection) != Dialect::Postgres) return {};
    QSqlQuery q(connection.database());
    // With the vacuum the unit's keys are read from the index alone at once,
    // not only once autovacuum has set the table's visibility map.
    if (q.exec(QStringLiteral("vacuum analyze ") + surveyTables().join(QStringLiteral(", "))))
        return {};
    const QString why = q.lastError().databaseText().trimmed();
    return why.isEmpty() ? q.lastError().text() : why;
}

QString createSqliteFileIfMissing(const QString &connectionString)
{
    const ConnectionSettings settings = mapConnectionString(connectionString, false);
    if (settings.driver != QLatin1String("QSQLITE")) return {};
    if (settings.databaseName.isEmpty())
        throw Error(QStringLiteral("连接字符串缺少 Data Source（SQLite 数据库文件）"));
    const QFileInfo info(settings.databaseName);
    if (info.exists()) return {};
    QFile f(settings.databaseName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw Error(QStringLiteral("无法创建数据库文件 %1：%2")
                        .arg(settings.databaseName, f.errorString()));
    f.close();
    return info.absoluteFilePath();
}

} // namespace zarn::dbsetup
