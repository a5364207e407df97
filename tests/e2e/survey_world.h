#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace zarn::e2e {

// A private installation in a temporary folder, laid out as an integrator
// sets one up: copies of the built component and its decryption library,
// a registration file with the copy registered, a key file, a SQLite survey
// database with demo data and config.ini beside the component holding the
// enciphered connection string. Everything comes from the built tools.
class SurveyWorld {
public:
    SurveyWorld();
    ~SurveyWorld();

    // Builds it; empty on success, else what failed.
    QString build(int parcels = 300, int seed = 7);

    QString folder() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString database() const { return file(QStringLiteral("survey.db")); }
    QString moduleFolder() const { return file(QStringLiteral("lib")); }
    // The environment a host process needs to find the component and its key.
    QProcessEnvironment hostEnvironment(const QProcessEnvironment &base) const;

    // Keeps the folder after the test, for a look at what was left there.
    void keep() { m_dir.setAutoRemove(false); }

private:
    QTemporaryDir m_dir;
};

// The demo host making one call, as its own process.
class HostRun {
public:
    HostRun() = default;
    ~HostRun();
    HostRun(const HostRun &) = delete;
    HostRun &operator=(const HostRun &) = delete;

    // Asks for the form of kind lx (0 use-right, 1 ownership).
    bool start(const QProcessEnvironment &env, const QString &dwdm, const QString &zdh, int lx = 0);
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Waits for the end; false when it did not end within the time.
    bool waitForExit(int timeoutMs);
    int exitCode() const;
    QString output(); // standard output so far
    QString errors(); // standard error so far
    // Ends a host that is still running (a failed test).
    void stop();

private:
    QProcess m_process;
    QString m_out, m_err;
};

// The survey database read and prepared from outside the component, through
// a connection of its own.
class SurveyDb {
public:
    explicit SurveyDb(const QString &file);
    ~SurveyDb();
    SurveyDb(const SurveyDb &) = delete;
    SurveyDb &operator=(const SurveyDb &) = delete;

    bool isOpen() const;
    // First column of the first row; an invalid QVariant when there is none.
    QVariant value(const QString &sql, const QVariantList &params = {}) const;
    // First column of every row.
    QVariantList column(const QString &sql, const QVariantList &params = {}) const;
    // All columns of the first row, by lower-case name; empty when none.
    QVariantHash row(const QString &sql, const QVariantList &params = {}) const;
    // A statement without rows; false (and the error in lastError) on failure.
    bool exec(const QString &sql, const QVariantList &params = {}) const;
    QString lastError() const { return m_error; }

private:
    QString m_name;
    mutable QString m_error;
};

} // namespace zarn::e2e
