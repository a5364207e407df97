#include "survey_world.h"

#include "x_session.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

namespace zarn::e2e {

namespace {

QString connectionString(const QString &database)
{
    return QStringLiteral("Provider=SQLite;Data Source=") + database;
}

// Empty when the tool ran and said yes, else what it said.
QString runTool(const char *program, const QStringList &args, const QProcessEnvironment &env)
{
    const CommandResult r = runCommand(QString::fromUtf8(program), args, env, 120000);
    if (r.ok) return {};
    return QStringLiteral("%1 %2 failed (exit %3): %4 %5")
        .arg(QString::fromUtf8(program), args.join(QLatin1Char(' ')))
        .arg(r.exitCode)
        .arg(r.out, r.err);
}

} // namespace

SurveyWorld::SurveyWorld()
    : m_dir(QDir::tempPath() + QStringLiteral("/zarn-e2e-XXXXXX"))
{
}

SurveyWorld::~SurveyWorld() = default;

QProcessEnvironment SurveyWorld::hostEnvironment(const QProcessEnvironment &base) const
{
    QProcessEnvironment env = base;
    env.insert(QStringLiteral("ZARN_REGISTRY"), file(QStringLiteral("registry")));
    env.insert(QStringLiteral("ZARN_KEY_FILE"), file(QStringLiteral("zarn.key")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), file(QStringLiteral("run")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString SurveyWorld::build(int parcels, int seed)
{
    if (!m_dir.isValid()) return QStringLiteral("cannot make a temporary folder");
    const QDir dir(m_dir.path());
    if (!dir.mkpath(QStringLiteral("lib")) || !dir.mkpath(QStringLiteral("run")))
        return QStringLiteral("cannot make folders in %1").arg(folder());
    QFile::setPermissions(file(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString module = moduleFolder() + QStringLiteral("/Zarndcbdll.so");
    if (!QFile::copy(QStringLiteral(ZARN_MODULE_FILE), module) ||
        !QFile::copy(QStringLiteral(ZARN_DECRYPT_FILE),
                     moduleFolder() + QStringLiteral("/libZarnDecryptString.so")))
        return QStringLiteral("cannot copy the component into %1").arg(moduleFolder());

    const QProcessEnvironment env = hostEnvironment(QProcessEnvironment::systemEnvironment());
    const QString conn = connectionString(database());
    QString failed = runTool(ZARN_REGSVR_FILE, {QStringLiteral("-s"), module}, env);
    if (failed.isEmpty()) failed = runTool(ZARN_DB_TOOL, {QStringLiteral("init"), conn}, env);
    if (failed.isEmpty())
        failed =
            runTool(ZARN_DB_TOOL,
                    {QStringLiteral("demo"), conn, QStringLiteral("--parcels"),
                     QString::number(parcels), QStringLiteral("--seed"), QString::number(seed)},
                    env);
    if (failed.isEmpty())
        failed = runTool(
            ZARN_ENCRYPT_TOOL,
            {conn, QStringLiteral("--config"), moduleFolder() + QStringLiteral("/config.ini")},
            env);
    return failed;
}

// ---------------------------------------------------------------- host

HostRun::~HostRun()
{
    stop();
}

bool HostRun::start(const QProcessEnvironment &env, const QString &dwdm, const QString &zdh, int lx)
{
    m_process.setProcessEnvironment(env);
    m_process.start(QStringLiteral(ZARN_HOST_FILE),
                    {QStringLiteral("--dwdm"), dwdm, QStringLiteral("--zdh"), zdh,
                     QStringLiteral("--lx"), QString::number(lx)});
    return m_process.waitForStarted(30000);
}

bool HostRun::waitForExit(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning) return true;
    return m_process.waitForFinished(timeoutMs);
}

int HostRun::exitCode() const
{
    if (m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

QString HostRun::output()
{
    // Without an event loop the pipe is read only when asked to.
    if (m_process.state() == QProcess::Running) m_process.waitForReadyRead(0);
    m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
    return m_out;
}

QString HostRun::errors()
{
    m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
    return m_err;
}

void HostRun::stop()
{
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(10000);
}

// ---------------------------------------------------------------- database

SurveyDb::SurveyDb(const QString &file)
{
    static std::atomic<int> serial{0};
    m_name = QStringLiteral("e2e-probe-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(file);
    // The component writes while we look; wait for its locks rather than fail.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) m_error = db.lastError().text();
}

SurveyDb::~SurveyDb()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool SurveyDb::isOpen() const
{
    return QSqlDatabase::database(m_name, false).isOpen();
}

namespace {

// Runs a statement with its values bound; calls `each` for every row.
template <typename Each>
bool query(const QString &connection, const QString &sql, const QVariantList &params,
           QString &error, Each each)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QVariant &p : params)
            q.addBindValue(p);
        ok = q.exec();
    }
    if (!ok) {
        error = sql + QStringLiteral(": ") + q.lastError().text();
        return false;
    }
    while (q.next())
        if (!each(q)) break;
    q.finish();
    return true;
}

} // namespace

QVariant SurveyDb::value(const QString &sql, const QVariantList &params) const
{
    QVariant v;
    query(m_name, sql, params, m_error, [&](QSqlQuery &q) {
        v = q.value(0);
        return false;
    });
    return v;
}

QVariantList SurveyDb::column(const QString &sql, const QVariantList &params) const
{
    QVariantList values;
    query(m_name, sql, params, m_error, [&](QSqlQuery &q) {
        values << q.value(0);
        return true;
    });
    return values;
}

QVariantHash SurveyDb::row(const QString &sql, const QVariantList &params) const
{
    QVariantHash values;
    query(m_name, sql, params, m_error, [&](QSqlQuery &q) {
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i)
            values.insert(r.fieldName(i).toLower(), q.value(i));
        return false;
    });
    return values;
}

bool SurveyDb::exec(const QString &sql, const QVariantList &params) const
{
    return query(m_name, sql, params, m_error, [](QSqlQuery &) { return false; });
}

} // namespace zarn::e2e
