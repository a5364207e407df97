#include "data/db_error.h"

#include "data/connection.h"

#include <QRegularExpression>
#include <QSqlError>

namespace zarn {

bool Refusal::primaryKey() const
{
    if (kind != RefusalKind::DuplicateKey) return false;
    if (constraint.endsWith(QLatin1String("_pkey"), Qt::CaseInsensitive)) return true;
    return keyColumns.size() == 1 &&
           keyColumns[0].compare(QLatin1String("id"), Qt::CaseInsensitive) == 0;
}

namespace {

QRegularExpressionMatch find(const QString &text, const char *pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern),
                              QRegularExpression::CaseInsensitiveOption)
        .match(text);
}

bool has(const QString &text, const char *phrase)
{
    return text.contains(QString::fromUtf8(phrase), Qt::CaseInsensitive);
}

QStringList splitNames(const QString &list)
{
    QStringList out;
    for (QString n : list.split(QLatin1Char(','))) {
        n = n.trimmed();
        n.remove(QLatin1Char('"'));
        // SQLite says "table.column"; the column is what the key is made of.
        const qsizetype dot = n.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0) n = n.mid(dot + 1);
        if (!n.isEmpty()) out << n;
    }
    return out;
}

// The Oracle error number in a text ("ORA-12899: ..."), 0 when none.
int oracleCode(const QString &text)
{
    const auto m = find(text, R"(\bORA-(\d{5})\b)");
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// A PostgreSQL SQLSTATE: five characters of digits and capitals.
bool isSqlState(const QString &code)
{
    if (code.size() != 5) return false;
    for (const QChar c : code)
        if (!(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')))) return false;
    return true;
}

RefusalKind sqlStateKind(const QString &state)
{
    // The session ended: by the server or its administrator (57P0x), or
    // because it sat idle too long (25P03 in a transaction, 57P05 outside).
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03") ||
        state == QLatin1String("57P05") || state == QLatin1String("25P03"))
        return RefusalKind::ConnectionLost;
    // A lock not granted within lock_timeout.
    if (state == QLatin1String("55P03")) return RefusalKind::Busy;
    if (state == QLatin1String("XX001") || state == QLatin1String("XX002"))
        return RefusalKind::DamagedFile;
    if (state == QLatin1String("23505")) return RefusalKind::DuplicateKey;
    if (state == QLatin1String("22001")) return RefusalKind::ValueTooLong;
    // A standby server, or a transaction declared read-only.
    if (state == QLatin1String("25006")) return RefusalKind::ReadOnly;
    return RefusalKind::Other;
}

// SQLite's extended result codes keep the primary code in the low byte.
RefusalKind sqliteKind(int extended)
{
    switch (extended & 0xff) {
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return RefusalKind::DamagedFile;
    case 19: // SQLITE_CONSTRAINT: only its UNIQUE and PRIMARY KEY kinds are a key taken
        return extended == 2067 || extended == 1555 ? RefusalKind::DuplicateKey
                                                    : RefusalKind::Other;
    case 18: // SQLITE_TOOBIG
        return RefusalKind::ValueTooLong;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return RefusalKind::Busy;
    case 8: // SQLITE_READONLY
        return RefusalKind::ReadOnly;
    default:
        return RefusalKind::Other;
    }
}

RefusalKind oracleKind(int ora)
{
    switch (ora) {
    case 28:    // your session has been killed
    case 1012:  // not logged on
    case 2396:  // exceeded maximum idle time
    case 3113:  // end-of-file on communication channel
    case 3114:  // not connected to ORACLE
    case 3135:  // connection lost contact
    case 12170: // connect timeout
    case 12537: // connection closed
    case 12541: // no listener
    case 12543: // destination host unreachable
    case 12547: // lost contact
    case 12560: // protocol adapter error
        return RefusalKind::ConnectionLost;
    case 1578: // data block corrupted
        return RefusalKind::DamagedFile;
    case 1: // unique constraint violated
        return RefusalKind::DuplicateKey;
    case 12899: // value too large for column
    case 1401:  // inserted value too large for column
        return RefusalKind::ValueTooLong;
    case 54:    // resource busy
    case 30006: // resource busy; acquire with WAIT timeout expired
        return RefusalKind::Busy;
    case 16000: // database open for read-only access
        return RefusalKind::ReadOnly;
    default:
        return RefusalKind::Other;
    }
}

// Where the driver hands over no code to go by: psqlODBC numbers nearly
// every server error 1 (Qt's ODBC driver keeps the SQLSTATE to itself), and
// a connection that broke before any answer has only the client's words.
// The server's words are read in English and in its Chinese translation.
RefusalKind textKind(const QString &driver, const QString &code, const QString &text)
{
    // psqlODBC's "connection lost" number.
    if (driver == QLatin1String("QODBC") && code == QLatin1String("35"))
        return RefusalKind::ConnectionLost;
    for (const char *phrase :
         {"server closed the connection unexpectedly", "terminating connection due to",
          "no connection to the server", "connection has been lost", "due to the connection lost",
          "could not connect to server", "could not send data to server",
          "could not receive data from server", "connection to server at",
          "ssl connection has been closed", "communication link failure", "08S01",
          "服务器意外地关闭了联接", "由于管理员命令中断联接", "没有到服务器的联接"})
        if (has(text, phrase)) return RefusalKind::ConnectionLost;
    if (has(text, "database disk image is malformed") || has(text, "file is not a database"))
        return RefusalKind::DamagedFile;
    if (has(text, "duplicate key value violates unique constraint") ||
        has(text, "UNIQUE constraint failed") || has(text, "重复键违反唯一约束"))
        return RefusalKind::DuplicateKey;
    if (has(text, "value too long for type") || has(text, "string data, right truncat") ||
        has(text, "值太长了"))
        return RefusalKind::ValueTooLong;
    if (has(text, "database is locked") || has(text, "database table is locked") ||
        has(text, "due to lock timeout") || has(text, "由于锁超时"))
        return RefusalKind::Busy;
    if (has(text, "attempt to write a readonly database") ||
        has(text, "in a read-only transaction") || has(text, "只读模式的事务"))
        return RefusalKind::ReadOnly;
    return RefusalKind::Other;
}

// By the code alone wherever the driver gives one (a server answering in
// the surveyors' language words its refusals differently): PostgreSQL's
// SQLSTATE, SQLite's extended result code, Oracle's ORA- number (in the code
// or at the head of the text, which stays in English in every language).
RefusalKind kindOf(const QString &driver, const QString &code, const QString &text, int ora)
{
    bool numeric = false;
    const int native = code.toInt(&numeric);
    if (ora == 0 && driver == QLatin1String("QOCI") && numeric) ora = native;
    if (ora != 0) return oracleKind(ora);
    if (driver == QLatin1String("QPSQL") && isSqlState(code)) return sqlStateKind(code);
    // A bare SQLITE_CONSTRAINT says no more than its text does.
    if (driver == QLatin1String("QSQLITE") && numeric && native > 0 && native != 19)
        return sqliteKind(native);
    return textKind(driver, code, text);
}

void readDuplicate(Refusal &r, const QString &text)
{
    // PostgreSQL (also through ODBC), in any language: the constraint's name
    // is the first quoted name, and DETAIL holds "(a, b)=(1, 2)".
    if (auto m = find(text, R"(\"([^\"(]+)\")"); m.hasMatch()) r.constraint = m.captured(1);
    if (auto m = find(text, R"(\(([^()]*)\)=\()"); m.hasMatch())
        r.keyColumns = splitNames(m.captured(1));
    // SQLite: "UNIQUE constraint failed: t.a, t.b" or "PRIMARY KEY must be unique".
    if (auto m = find(text, R"(UNIQUE constraint failed:\s*([^\r\n]+))"); m.hasMatch()) {
        const QString list = m.captured(1).trimmed();
        if (const qsizetype dot = list.indexOf(QLatin1Char('.')); dot > 0)
            r.table = list.left(dot).trimmed();
        r.keyColumns = splitNames(list);
    }
    // Oracle, in any language: "ORA-00001: unique constraint (ZARN.UX_DJDCB_CURRENT) violated".
    if (auto m = find(text, R"(ORA-00001:[^(]*\(([^)]+)\))"); m.hasMatch()) {
        r.constraint = m.captured(1);
        if (const qsizetype dot = r.constraint.lastIndexOf(QLatin1Char('.')); dot >= 0)
            r.constraint = r.constraint.mid(dot + 1);
    }
}

void readTooLong(Refusal &r, const QString &text)
{
    // PostgreSQL, in any language: the width in brackets on the first line
    // ("value too long for type character varying(500)").
    if (auto m = find(text.section(QLatin1Char('\n'), 0, 0), R"(\((\d+)\))"); m.hasMatch())
        r.limit = m.captured(1).toInt();
    // Oracle, in any language: the column as "ZARN"."T_DJDCB"."SM", then in
    // brackets the actual length and, last, the maximum (actual: 5000, maximum: 500).
    if (auto m =
            find(text, R"((?:\"[^\"]*\"\.)?\"([^\"]*)\"\.\"([^\"]*)\"[^(]*\([^)]*?(\d+)\s*\))");
        m.hasMatch()) {
        r.table = m.captured(1);
        r.column = m.captured(2);
        r.limit = m.captured(3).toInt();
    }
}

} // namespace

Refusal classifyRefusal(const QSqlError &error, const QString &driverName, const QString &secret)
{
    Refusal r;
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.text().trimmed();
    r.driverText = withoutSecret(text, secret);
    r.nativeCode = error.nativeErrorCode();
    r.kind = kindOf(driverName, r.nativeCode, text, oracleCode(text));
    if (r.kind == RefusalKind::DuplicateKey) readDuplicate(r, text);
    if (r.kind == RefusalKind::ValueTooLong) readTooLong(r, text);
    return r;
}

DatabaseError databaseError(const QSqlError &error, const QString &driverName,
                            const QString &secret)
{
    Refusal r = classifyRefusal(error, driverName, secret);
    QString message = r.driverText;
    if (message.isEmpty()) message = QStringLiteral("数据库操作失败");
    return DatabaseError(message, std::move(r));
}

} // namespace zarn
