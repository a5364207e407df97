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
    return text.contains(QLatin1String(phrase), Qt::CaseInsensitive);
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

bool connectionLost(const QString &driver, const QString &code, const QString &text, int ora)
{
    if (driver == QLatin1String("QPSQL")) {
        if (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
            code == QLatin1String("57P02") || code == QLatin1String("57P03"))
            return true;
    }
    // psqlODBC's "connection lost" number.
    if (driver == QLatin1String("QODBC") && code == QLatin1String("35")) return true;
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
        return true;
    default:
        break;
    }
    for (const char *phrase :
         {"server closed the connection unexpectedly", "terminating connection due to",
          "no connection to the server", "connection has been lost", "due to the connection lost",
          "could not connect to server", "could not send data to server",
          "could not receive data from server", "connection to server at",
          "ssl connection has been closed", "communication link failure", "08S01"})
        if (has(text, phrase)) return true;
    return false;
}

void readDuplicate(Refusal &r, const QString &text)
{
    // PostgreSQL (also through ODBC): the constraint's name and, in DETAIL,
    // "Key (a, b)=(1, 2) already exists."
    if (auto m = find(text, R"(unique constraint \"([^\"]+)\")"); m.hasMatch())
        r.constraint = m.captured(1);
    if (auto m = find(text, R"(Key \(([^)]*)\)=)"); m.hasMatch())
        r.keyColumns = splitNames(m.captured(1));
    // SQLite: "UNIQUE constraint failed: t.a, t.b" or "PRIMARY KEY must be unique".
    if (auto m = find(text, R"(UNIQUE constraint failed:\s*([^\r\n]+))"); m.hasMatch()) {
        const QString list = m.captured(1).trimmed();
        if (const qsizetype dot = list.indexOf(QLatin1Char('.')); dot > 0)
            r.table = list.left(dot).trimmed();
        r.keyColumns = splitNames(list);
    }
    // Oracle: "unique constraint (ZARN.UX_DJDCB_CURRENT) violated".
    if (auto m = find(text, R"(unique constraint \(([^)]+)\) violated)"); m.hasMatch()) {
        r.constraint = m.captured(1);
        if (const qsizetype dot = r.constraint.lastIndexOf(QLatin1Char('.')); dot >= 0)
            r.constraint = r.constraint.mid(dot + 1);
    }
}

void readTooLong(Refusal &r, const QString &text)
{
    // PostgreSQL: "value too long for type character varying(500)".
    if (auto m = find(text, R"(value too long for type [a-z ]+\((\d+)\))"); m.hasMatch())
        r.limit = m.captured(1).toInt();
    // Oracle: value too large for column "ZARN"."T_DJDCB"."SM" (actual: 5000, maximum: 500)
    if (auto m = find(
            text,
            R"(too large for column (?:\"[^\"]*\"\.)?\"([^\"]*)\"\.\"([^\"]*)\".*maximum:\s*(\d+))");
        m.hasMatch()) {
        r.table = m.captured(1);
        r.column = m.captured(2);
        r.limit = m.captured(3).toInt();
    }
}

RefusalKind kindOf(const QString &driver, const QString &code, const QString &text, int ora)
{
    const bool sqlite = driver == QLatin1String("QSQLITE");
    bool numeric = false;
    const int native = code.toInt(&numeric);
    // SQLite's extended result codes keep the primary code in the low byte.
    const int primary = sqlite && numeric ? (native & 0xff) : -1;

    if (connectionLost(driver, code, text, ora)) return RefusalKind::ConnectionLost;
    if (primary == 11 || primary == 26 || code == QLatin1String("XX001") ||
        code == QLatin1String("XX002") || ora == 1578 ||
        has(text, "database disk image is malformed") || has(text, "file is not a database"))
        return RefusalKind::DamagedFile;
    if ((primary == 19 && (native == 1555 || native == 2067 || has(text, "UNIQUE constraint"))) ||
        code == QLatin1String("23505") || ora == 1 ||
        has(text, "duplicate key value violates unique constraint") ||
        has(text, "UNIQUE constraint failed"))
        return RefusalKind::DuplicateKey;
    if (primary == 18 || code == QLatin1String("22001") || ora == 12899 || ora == 1401 ||
        has(text, "value too long for type") || has(text, "string data, right truncat"))
        return RefusalKind::ValueTooLong;
    if (primary == 5 || primary == 6 || ora == 54 || has(text, "database is locked") ||
        has(text, "database table is locked"))
        return RefusalKind::Busy;
    // SQLite's SQLITE_READONLY, PostgreSQL's read-only transaction (a standby
    // server), Oracle's database open for reading only.
    if (primary == 8 || code == QLatin1String("25006") || ora == 16000 ||
        has(text, "attempt to write a readonly database") ||
        has(text, "in a read-only transaction"))
        return RefusalKind::ReadOnly;
    return RefusalKind::Other;
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
