#pragma once

// The baseline of the open: the keys of every row of a session read through
// the databases' own C interfaces, as the form asks for them: the probe for
// sub-units, then id and zdbh over the narrowed or the ranged condition, in
// the form's order. Names are unquoted, so that each database folds them as
// it did when the tables were made.
#include "data/connection_string.h"
#include "data/declared_query.h"
#include "schema/survey_statements.h"
#include "schema/unit_code.h"

#include <QSqlDatabase>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <functional>
#include <memory>

namespace bench {

using Row = std::function<void(const char *zdbh, int size)>;

class KeyReader {
public:
    virtual ~KeyReader() = default;
    // Calls row for each key; the rows read.
    virtual qint64 read(const QString &unit, const Row &row) = 0;

protected:
    static QString statement(bool exact)
    {
        const QString name = QStringLiteral("bench-keys");
        const QSqlDatabase db = QSqlDatabase::contains(name)
                                    ? QSqlDatabase::database(name, false)
                                    : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        zarn::DeclaredQuery keys = zarn::sql::djdcListUseRight;
        if (exact) keys.filter = keys.exactFilter;
        return zarn::selectText(keys, db, {}, QStringLiteral("id, zdbh")).remove(QLatin1Char('"'));
    }

    static QList<QByteArray> range(const QString &unit)
    {
        QList<QByteArray> values;
        for (const QVariant &v : zarn::unitcode::unitListParams(unit))
            values << v.toString().toUtf8();
        return values;
    }

    static QList<QByteArray> exactValues(const QList<QByteArray> &range)
    {
        QList<QByteArray> values;
        for (int i : zarn::sql::djdcListUseRight.exactValues) values << range[i];
        return values;
    }
};

class SqliteKeys : public KeyReader {
public:
    explicit SqliteKeys(const QString &file) : m_file(file.toUtf8()) {}

    qint64 read(const QString &unit, const Row &row) override
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(m_file.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        const QList<QByteArray> all = range(unit);
        sqlite3_stmt *st = prepare(db, zarn::sql::djdcListUseRight.exactProbe, all);
        const bool exact =
            sqlite3_step(st) != SQLITE_ROW || sqlite3_column_type(st, 0) == SQLITE_NULL;
        sqlite3_finalize(st);
        st = prepare(db, statement(exact), exact ? exactValues(all) : all);
        qint64 rows = 0;
        for (; sqlite3_step(st) == SQLITE_ROW; ++rows) {
            sqlite3_column_int64(st, 0);
            row(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)),
                sqlite3_column_bytes(st, 1));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }

private:
    static sqlite3_stmt *prepare(sqlite3 *db, const QString &sql, const QList<QByteArray> &values)
    {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        for (int i = 0; i < values.size(); ++i)
            sqlite3_bind_text(st, i + 1, values[i].constData(), int(values[i].size()),
                              SQLITE_TRANSIENT);
        return st;
    }

    QByteArray m_file;
};

class PgKeys : public KeyReader {
public:
    explicit PgKeys(const zarn::ConnectionSettings &s)
    {
        m_info = QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5 "
                                "options='-c search_path=zarn,public'")
                     .arg(s.hostName)
                     .arg(s.port)
                     .arg(s.databaseName, s.userName, s.password.isEmpty() ? "''" : s.password)
                     .toUtf8();
    }

    qint64 read(const QString &unit, const Row &row) override
    {
        std::unique_ptr<PGconn, decltype(&PQfinish)> db(PQconnectdb(m_info.constData()),
                                                        &PQfinish);
        const QList<QByteArray> all = range(unit);
        Result probe = exec(db.get(), zarn::sql::djdcListUseRight.exactProbe, all);
        const bool exact = PQntuples(probe.get()) == 0 || PQgetisnull(probe.get(), 0, 0);
        Result keys = exec(db.get(), statement(exact), exact ? exactValues(all) : all);
        const int rows = PQntuples(keys.get());
        for (int i = 0; i < rows; ++i) {
            PQgetvalue(keys.get(), i, 0);
            row(PQgetvalue(keys.get(), i, 1), PQgetlength(keys.get(), i, 1));
        }
        return rows;
    }

private:
    using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

    // The statement with $1, $2... for its placeholders (it has no '?' in a literal).
    static Result exec(PGconn *db, QString sql, const QList<QByteArray> &values)
    {
        for (int n = 1, at = 0; (at = int(sql.indexOf(QLatin1Char('?'), at))) >= 0; ++n)
            sql.replace(at, 1, QLatin1Char('$') + QString::number(n));
        QList<const char *> params;
        for (const QByteArray &v : values) params << v.constData();
        return Result(PQexecParams(db, sql.toUtf8().constData(), int(params.size()), nullptr,
                                   params.constData(), nullptr, nullptr, 0),
                      &PQclear);
    }

    QByteArray m_info;
};

} // namespace bench
