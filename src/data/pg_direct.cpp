#include "data/pg_direct.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>
#include <QTime>

#include <libpq-fe.h>

#include <cmath>
#include <memory>
#include <vector>

namespace zarn::pg {

namespace {

// The type codes the driver decodes; every other type reads as text.
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kRegproc = 24,
    kInt4 = 23,
    kOid = 26,
    kXid = 28,
    kCid = 29,
    kFloat4 = 700,
    kFloat8 = 701,
    kAbstime = 702,
    kReltime = 703,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestamptz = 1184,
    kTimetz = 1266,
    kNumeric = 1700,
    kBit = 1560,
    kVarbit = 1562,
};
constexpr int kVarHeader = 4;

QMetaType metaTypeOf(Oid type)
{
    switch (type) {
    case kBool:
        return QMetaType(QMetaType::Bool);
    case kInt8:
        return QMetaType(QMetaType::LongLong);
    case kInt2:
    case kInt4:
    case kOid:
    case kRegproc:
    case kXid:
    case kCid:
        return QMetaType(QMetaType::Int);
    case kNumeric:
    case kFloat4:
    case kFloat8:
        return QMetaType(QMetaType::Double);
    case kAbstime:
    case kReltime:
    case kDate:
        return QMetaType(QMetaType::QDate);
    case kTime:
    case kTimetz:
        return QMetaType(QMetaType::QTime);
    case kTimestamp:
    case kTimestamptz:
        return QMetaType(QMetaType::QDateTime);
    case kBytea:
        return QMetaType(QMetaType::QByteArray);
    default:
        return QMetaType(QMetaType::QString);
    }
}

PGconn *connectionOf(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver() || db.driver()->dbmsType() != QSqlDriver::PostgreSQL)
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // The driver declares PGconn*; Qt names it by the struct behind the typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

struct ResultDeleter {
    void operator()(PGresult *r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// A result read whole, read as the driver reads its own.
class BufferedResult final : public QSqlResult {
public:
    BufferedResult(const QSqlDriver *driver, Result result)
        : QSqlResult(driver)
        , m_result(std::move(result))
    {
        setAt(QSql::BeforeFirstRow);
    }

    void said(const QString &sql) { setQuery(sql); }
    void finished(bool select)
    {
        setSelect(select);
        setActive(true);
    }
    void failed(const QSqlError &error)
    {
        setSelect(false);
        setActive(false);
        setLastError(error);
    }

protected:
    QVariant handle() const override { return {}; }

    bool fetch(int i) override
    {
        if (!isActive() || !isSelect() || i < 0 || i >= PQntuples(m_result.get())) return false;
        setAt(i);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(PQntuples(m_result.get()) - 1); }

    bool isNull(int field) override
    {
        return at() < 0 || PQgetisnull(m_result.get(), at(), field) != 0;
    }

    QVariant data(int i) override
    {
        PGresult *r = m_result.get();
        if (at() < 0 || i < 0 || i >= PQnfields(r)) return {};
        const Oid type = PQftype(r, i);
        const QMetaType meta = metaTypeOf(type);
        if (PQgetisnull(r, at(), i)) return QVariant(meta, nullptr);
        const char *value = PQgetvalue(r, at(), i);
        switch (meta.id()) {
        case QMetaType::Bool:
            return value[0] == 't';
        case QMetaType::LongLong:
            return QByteArray(value).toLongLong();
        case QMetaType::Int:
            return QByteArray(value).toInt();
        case QMetaType::Double:
            return number(type, value);
        case QMetaType::QDate:
            return QDate::fromString(QString::fromLatin1(value), Qt::ISODate);
        case QMetaType::QTime:
            return QTime::fromString(QString::fromLatin1(value), Qt::ISODate);
        case QMetaType::QDateTime: {
            // A time without a zone is the server's UTC.
            QString text = QString::fromLatin1(value);
            const QStringView time = QStringView(text).mid(11);
            if (!time.contains(u'+') && !time.contains(u'-') && !time.endsWith(u'Z')) text += u'Z';
            return QDateTime::fromString(text, Qt::ISODate);
        }
        case QMetaType::QByteArray: {
            size_t length = 0;
            unsigned char *bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char *>(value), &length);
            QByteArray out(reinterpret_cast<const char *>(bytes), qsizetype(length));
            PQfreemem(bytes);
            return out;
        }
        default:
            return QString::fromUtf8(value);
        }
    }

    bool reset(const QString &) override { return false; }
    int size() override { return isSelect() ? PQntuples(m_result.get()) : -1; }
    int numRowsAffected() override { return QByteArray(PQcmdTuples(m_result.get())).toInt(); }

    QSqlRecord record() const override
    {
        QSqlRecord info;
        if (!isActive() || !isSelect()) return info;
        PGresult *r = m_result.get();
        for (int i = 0; i < PQnfields(r); ++i) {
            QSqlField f(QString::fromUtf8(PQfname(r, i)), metaTypeOf(PQftype(r, i)));
            const Oid type = PQftype(r, i);
            int length = PQfsize(r, i);
            int precision = PQfmod(r, i);
            switch (type) {
            case kTimestamp:
            case kTimestamptz:
                precision = 3;
                break;
            case kNumeric:
                if (precision != -1) {
                    length = precision >> 16;
                    precision = (precision - kVarHeader) & 0xffff;
                }
                break;
            case kBit:
            case kVarbit:
                length = precision;
                precision = -1;
                break;
            default:
                if (length == -1 && precision >= kVarHeader) {
                    length = precision - kVarHeader;
                    precision = -1;
                }
            }
            f.setLength(length);
            f.setPrecision(precision);
            QT_WARNING_PUSH
            QT_WARNING_DISABLE_DEPRECATED
            f.setSqlType(int(type));
            QT_WARNING_POP
            info.append(f);
        }
        return info;
    }

private:
    QVariant number(Oid type, const char *value) const
    {
        if (type == kNumeric && numericalPrecisionPolicy() == QSql::HighPrecision)
            return QString::fromLatin1(value);
        bool ok = false;
        double d = QByteArray(value).toDouble(&ok);
        if (!ok) {
            if (qstricmp(value, "NaN") == 0)
                d = qQNaN();
            else if (qstricmp(value, "Infinity") == 0)
                d = qInf();
            else if (qstricmp(value, "-Infinity") == 0)
                d = -qInf();
            else
                return {};
        }
        if (type == kNumeric) {
            if (numericalPrecisionPolicy() == QSql::LowPrecisionInt64) return qlonglong(d);
            if (numericalPrecisionPolicy() == QSql::LowPrecisionInt32) return int(d);
        }
        return d;
    }

    Result m_result;
};

// A value as its text in the server's input syntax; null for a null.
struct Parameter {
    QByteArray bytes;
    bool null = false;
    bool binary = false;
};

// Null as the driver takes it: an empty variant, and a null text, bytes,
// date or time as well.
bool isNullValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull()) return true;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString *>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray *>(v.constData())->isNull();
    case QMetaType::QDate:
        return static_cast<const QDate *>(v.constData())->isNull();
    case QMetaType::QTime:
        return static_cast<const QTime *>(v.constData())->isNull();
    case QMetaType::QDateTime:
        return static_cast<const QDateTime *>(v.constData())->isNull();
    default:
        return false;
    }
}

Parameter parameterOf(const QVariant &v)
{
    if (isNullValue(v)) return {.bytes = {}, .null = true};
    switch (v.metaType().id()) {
    case QMetaType::QByteArray:
        return {.bytes = v.toByteArray(), .binary = true};
    case QMetaType::Bool:
        return {.bytes = v.toBool() ? "true" : "false"};
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isnan(d)) return {.bytes = "NaN"};
        if (std::isinf(d)) return {.bytes = d > 0 ? "Infinity" : "-Infinity"};
        return {.bytes = QByteArray::number(d, 'g', 17)};
    }
    case QMetaType::QDate:
        return {.bytes = v.toDate().toString(Qt::ISODate).toLatin1()};
    case QMetaType::QTime:
        return {.bytes = v.toTime().toString(Qt::ISODateWithMs).toLatin1()};
    case QMetaType::QDateTime:
        return {.bytes = v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1()};
    default:
        return {.bytes = v.toString().toUtf8()};
    }
}

QSqlError errorOf(PGconn *conn, PGresult *result)
{
    // A result's own message: in a pipeline the connection's may be another's.
    const char *said = result ? PQresultErrorMessage(result) : nullptr;
    QString message = QString::fromUtf8(said && *said ? said : PQerrorMessage(conn));
    QString code;
    if (result) {
        code = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        message += QStringLiteral("(%1)").arg(code);
    }
    return QSqlError(QStringLiteral("QPSQL: ") +
                         QCoreApplication::translate("QPSQLResult", "Unable to create query"),
                     message, QSqlError::StatementError, code);
}

} // namespace

bool canRunDirectly(const QSqlDatabase &db)
{
    PGconn *conn = connectionOf(db);
    return conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_ACTIVE;
}

QString numberedPlaceholders(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    QChar quote;
    int n = 0;
    for (const QChar ch : sql) {
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
            out += ch;
        } else if (ch == u'?') {
            out += u'$' + QString::number(++n);
        } else {
            if (ch == u'\'' || ch == u'"') quote = ch;
            out += ch;
        }
    }
    return out;
}

namespace {

// A statement's text and values as libpq takes them.
struct Bound {
    QByteArray text;
    std::vector<Parameter> values;
    std::vector<const char *> texts;
    std::vector<int> lengths, formats;

    explicit Bound(const Statement &s)
        : text(numberedPlaceholders(s.sql).toUtf8())
    {
        values.reserve(size_t(s.params.size()));
        for (const QVariant &v : s.params)
            values.push_back(parameterOf(v));
        for (const Parameter &p : values) {
            texts.push_back(p.null ? nullptr : p.bytes.constData());
            lengths.push_back(int(p.bytes.size()));
            formats.push_back(p.binary ? 1 : 0);
        }
    }
    int count() const { return int(values.size()); }
};

QSqlQuery queryOf(const QSqlDatabase &db, PGconn *conn, const QString &sql, Result result)
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    const QSqlError error = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK
                                ? QSqlError()
                                : errorOf(conn, result.get());
    auto *buffered = new BufferedResult(db.driver(), std::move(result));
    buffered->said(sql);
    if (error.type() == QSqlError::NoError)
        buffered->finished(status == PGRES_TUPLES_OK);
    else
        buffered->failed(error);
    return QSqlQuery(buffered);
}

// Reads what is left of a pipeline up to its end, so that the connection is
// free again whatever happened in it.
void drainPipeline(PGconn *conn)
{
    for (int nulls = 0; nulls < 2 && PQpipelineStatus(conn) != PQ_PIPELINE_OFF;) {
        PGresult *r = PQgetResult(conn);
        if (!r) {
            ++nulls; // two ends in a row: nothing more will come
            continue;
        }
        nulls = 0;
        const bool sync = PQresultStatus(r) == PGRES_PIPELINE_SYNC;
        PQclear(r);
        if (sync) break;
    }
    PQexitPipelineMode(conn);
}

} // namespace

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &params)
{
    PGconn *conn = connectionOf(db);
    const Bound b(Statement{sql, params});
    Result result(conn ? PQexecParams(conn, b.text.constData(), b.count(), nullptr, b.texts.data(),
                                      b.lengths.data(), b.formats.data(), 0)
                       : nullptr);
    return queryOf(db, conn, sql, std::move(result));
}

std::vector<QSqlQuery> runAll(const QSqlDatabase &db, const std::vector<Statement> &statements)
{
    std::vector<QSqlQuery> out;
    if (statements.size() == 1) {
        out.push_back(run(db, statements[0].sql, statements[0].params));
        return out;
    }
    PGconn *conn = connectionOf(db);
    if (!conn || !PQenterPipelineMode(conn)) {
        out.push_back(queryOf(db, conn, statements.front().sql, nullptr));
        return out;
    }
    size_t sent = 0;
    for (const Statement &s : statements) {
        const Bound b(s);
        if (!PQsendQueryParams(conn, b.text.constData(), b.count(), nullptr, b.texts.data(),
                               b.lengths.data(), b.formats.data(), 0))
            break;
        ++sent;
    }
    if (sent < statements.size() || !PQpipelineSync(conn)) {
        // The connection refused to take them (it is gone): nothing ran.
        Result failure;
        drainPipeline(conn);
        out.push_back(queryOf(db, conn, statements[sent < statements.size() ? sent : 0].sql,
                              std::move(failure)));
        return out;
    }
    for (size_t i = 0; i < sent; ++i) {
        Result result(PQgetResult(conn));
        // Each statement's results end with a null; a pipeline's with its sync.
        if (result && PQresultStatus(result.get()) != PGRES_PIPELINE_SYNC)
            while (PGresult *more = PQgetResult(conn))
                PQclear(more);
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        const bool ok = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
        out.push_back(queryOf(db, conn, statements[i].sql, std::move(result)));
        if (!ok) break;
    }
    drainPipeline(conn);
    return out;
}

} // namespace zarn::pg
