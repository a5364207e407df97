#include "zarn-db/batch_insert.h"

#include "data/errors.h"

#include <QSqlError>

namespace zarn::dbsetup {

namespace {

constexpr int kRowsPerBatch = 500;

QString errorText(const QSqlQuery &q)
{
    const QString db = q.lastError().databaseText().trimmed();
    return db.isEmpty() ? q.lastError().text() : db;
}

void appendJsonString(QString &out, const QString &s)
{
    out += QLatin1Char('"');
    qsizetype plain = 0; // start of the run not yet copied
    const qsizetype n = s.size();
    const QChar *d = s.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c >= 0x20 && c != u'"' && c != u'\\') continue;
        out.append(d + plain, i - plain);
        plain = i + 1;
        if (c == u'"')
            out += QLatin1String("\\\"");
        else if (c == u'\\')
            out += QLatin1String("\\\\");
        else
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
    }
    out.append(d + plain, n - plain);
    out += QLatin1Char('"');
}

void appendJsonValue(QString &out, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        out += QLatin1String("null");
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out += QString::number(v.toLongLong());
        break;
    default:
        appendJsonString(out, v.toString());
    }
}

} // namespace

void BatchInserter::appendJsonRow(QString &out, const QVariantList &row, const QStringList *keys)
{
    out += keys ? QLatin1Char('{') : QLatin1Char('[');
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (i > 0) out += QLatin1Char(',');
        if (keys) {
            appendJsonString(out, (*keys)[i]);
            out += QLatin1Char(':');
        }
        appendJsonValue(out, row[i]);
    }
    out += keys ? QLatin1Char('}') : QLatin1Char(']');
}

BatchInserter::BatchInserter(QSqlDatabase db, Dialect dialect, QString table, QStringList columns)
    : m_db(std::move(db))
    , m_dialect(dialect)
    , m_table(std::move(table))
    , m_columns(std::move(columns))
{
    const QString names = m_columns.join(QStringLiteral(", "));
    if (m_dialect == Dialect::Postgres) {
        for (const QString &c : m_columns)
            m_keys << c.toLower();
        m_sql =
            QStringLiteral("insert into %1 (%2) select %2 from json_populate_recordset(null::%1, "
                           "cast(? as json))")
                .arg(m_table, names);
    } else if (m_dialect == Dialect::Sqlite) {
        // json_each renders a row's text anew each time its value is read;
        // materialised once, every json_extract of the row finds it parsed.
        QStringList picks;
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            picks << QStringLiteral("json_extract(r, '$[%1]')").arg(i);
        m_sql = QStringLiteral("with batch(r) as materialized (select value from json_each(?)) "
                               "insert into %1 (%2) select %3 from batch")
                    .arg(m_table, names, picks.join(QStringLiteral(", ")));
    } else {
        throw Error(QStringLiteral("演示数据只能写入 SQLite 和 PostgreSQL"));
    }
    m_batch += QLatin1Char('[');
}

BatchInserter::~BatchInserter()
{
    // Unwritten rows are dropped, not written behind the caller's back: the
    // caller flushes before it commits.
    if (m_query) m_query->finish();
}

void BatchInserter::add(const QVariantList &row)
{
    if (row.size() != m_columns.size())
        throw Error(QStringLiteral("写入 %1 的一行有 %2 个值，应为 %3 个")
                        .arg(m_table)
                        .arg(row.size())
                        .arg(m_columns.size()));
    if (m_rows > 0) m_batch += QLatin1Char(',');
    appendJsonRow(m_batch, row, m_dialect == Dialect::Postgres ? &m_keys : nullptr);
    if (++m_rows >= kRowsPerBatch) write();
}

void BatchInserter::write()
{
    if (!m_query) {
        m_query = std::make_unique<QSqlQuery>(m_db);
        if (!m_query->prepare(m_sql))
            throw DatabaseError(
                QStringLiteral("写入 %1 失败：%2").arg(m_table, errorText(*m_query)));
    }
    m_batch += QLatin1Char(']');
    m_query->bindValue(0, m_batch);
    if (!m_query->exec())
        throw DatabaseError(QStringLiteral("写入 %1 失败：%2").arg(m_table, errorText(*m_query)));
    m_written += m_rows;
    m_rows = 0;
    m_batch.resize(0);
    m_batch += QLatin1Char('[');
}

void BatchInserter::flush()
{
    if (m_rows > 0) write();
}

} // namespace zarn::dbsetup
