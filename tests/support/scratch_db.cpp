#include "support/scratch_db.h"

#include "data/connection.h"
#include "data/connection_string.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "zarn-db/survey_ddl.h"

#include <QFile>

namespace zarn::test {

namespace {

// The test server's connection string with another database name: the
// PostgreSQL provider's Data Source, or the ODBC driver's Database.
QString withDatabase(const QString &connectionString, const QString &database)
{
    const ConnectionString cs = ConnectionString::parse(connectionString);
    if (cs.contains(QStringLiteral("Driver"))) {
        QStringList pairs;
        for (const ConnectionPair &p : cs.pairs())
            pairs << (p.key.compare(QLatin1String("Database"), Qt::CaseInsensitive) == 0
                          ? QStringLiteral("Database=") + database
                          : p.raw);
        return pairs.join(QLatin1Char(';'));
    }
    QString source = cs.value(QStringLiteral("Data Source"));
    const qsizetype slash = source.indexOf(QLatin1Char('/'));
    source = (slash < 0 ? source : source.left(slash)) + QLatin1Char('/') + database;
    return QStringLiteral("Provider=PostgreSQL;Data Source=%1;User ID=%2;Password=%3")
        .arg(source, cs.value(QStringLiteral("User ID")), cs.value(QStringLiteral("Password")));
}

void onServer(Backend backend, const QString &statement)
{
    Connection admin;
    admin.setConnectionString(connectionStringFor(backend, {}));
    admin.open();
    execAll(admin, {statement});
}

} // namespace

ScratchDatabase::ScratchDatabase(Backend backend)
    : m_backend(backend)
{
    if (backend == Backend::Sqlite) {
        m_file = m_dir.file(QStringLiteral("survey.db"));
        m_connectionString = connectionStringFor(backend, m_file);
        return;
    }
    m_database = uniqueName(QStringLiteral("zarn_schema")).toLower();
    onServer(backend, QStringLiteral("create database %1").arg(m_database));
    m_connectionString = withDatabase(connectionStringFor(backend, {}), m_database);
}

ScratchDatabase::~ScratchDatabase()
{
    if (m_database.isEmpty()) return;
    try {
        onServer(m_backend,
                 QStringLiteral("drop database if exists %1 with (force)").arg(m_database));
    } catch (...) {
        // A database left behind dies with the throwaway server.
    }
}

void ScratchDatabase::create() const
{
    if (m_backend == Backend::Sqlite && !QFile::exists(m_file)) writeFile(m_file, {});
}

std::unique_ptr<Connection> ScratchDatabase::open() const
{
    create();
    auto c = std::make_unique<Connection>();
    c->setConnectionString(m_connectionString);
    c->open();
    return c;
}

std::unique_ptr<Connection> ScratchDatabase::openSurvey() const
{
    std::unique_ptr<Connection> c = open();
    dbsetup::createSurveyDatabase(*c);
    return c;
}

void ScratchDatabase::openSurvey(Connection &c) const
{
    create();
    c.setConnectionString(m_connectionString);
    c.open();
    dbsetup::createSurveyDatabase(c);
}

void ScratchDatabaseTest::SetUp()
{
    ZARN_SKIP_UNLESS_CONFIGURED(GetParam());
    db = std::make_unique<ScratchDatabase>(GetParam());
    conn = db->open();
    prepare();
}

QVariant scalar(Connection &c, const QString &sql, const QVariantList &params)
{
    Dataset d(&c);
    d.setSql(sql, params);
    d.open();
    return d.isEmpty() ? QVariant() : d.value(0);
}

qint64 count(Connection &c, const QString &sql, const QVariantList &params)
{
    return scalar(c, sql, params).toLongLong();
}

QString stored(Connection &c, const QString &table, qint64 id, const QString &column)
{
    Dataset q(&c);
    q.setSql(QStringLiteral("select %1 from %2 where id = ?").arg(column, table), {id});
    q.open();
    if (q.isEmpty()) return QStringLiteral("<no row>");
    return q.field(0).isNull() ? QStringLiteral("<null>") : q.field(0).asString();
}

} // namespace zarn::test
