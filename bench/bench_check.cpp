// The quality check of a unit of 100 000 parcels with its attached rows, as
// `zarn-db demo --units 1 --parcels 100000` makes it (the same file as
// bench_open's): the library's whole run, the time each check takes, and the
// same statements run by the sqlite3 command line, their rows to /dev/null,
// each figure the median of several runs. Besides the time on the clock it
// says the processor time of both, which a busy machine stretches less.
//
//   bench_check [--dir DIR] [--runs N]
//
// DIR (default $ZARN_BENCH_DIR, else /tmp/zarn-bench) keeps the database
// between runs (big.db, made on the first run in a minute or two). Build
// with CMAKE_BUILD_TYPE=Release and without sanitizers for figures worth
// quoting; take them on a quiet machine.
#include "bench_options.h"
#include "data/connection.h"
#include "schema/quality_checks.h"
#include "schema/unit_code.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/survey_ddl.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

const QString kUnit = QStringLiteral("320102001001"); // demo unit 0

void say(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The processor time (user and system, ms) of this process or of its
// finished children.
double cpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// The statements with the unit's values as literals, for the command line
// (digits and a pattern of our own: nothing to escape).
QString script(const QString &unit)
{
    const QVariantList values = zarn::unitcode::unitListParams(unit);
    QString out;
    for (QString sql : zarn::quality::statements()) {
        for (int n = 0; sql.contains(QLatin1Char('?')); ++n)
            sql.replace(sql.indexOf(QLatin1Char('?')), 1,
                        QLatin1Char('\'') + values[n % values.size()].toString() +
                            QLatin1Char('\''));
        out += sql + QStringLiteral(";\n");
    }
    return out;
}

double timeSqlite3(const QString &file, const QString &scriptFile, double *cpu)
{
    const double cpuBefore = cpuMs(RUSAGE_CHILDREN);
    QProcess p;
    p.setStandardInputFile(scriptFile);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), file});
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw zarn::Error(QStringLiteral("sqlite3 did not run the statements: %1")
                              .arg(QString::fromLocal8Bit(p.readAllStandardError())));
    *cpu = cpuMs(RUSAGE_CHILDREN) - cpuBefore;
    return t.nsecsElapsed() / 1e6;
}

int parent(const QString &dir, int runs, const QString &)
{
    const QString file = dir + QStringLiteral("/big.db");
    const QString connection = QStringLiteral("Provider=SQLite;Data Source=") + file;
    QDir().mkpath(dir);
    if (!QFile::exists(file)) {
        say(QStringLiteral("making a unit of 100000 parcels: %1").arg(file));
        zarn::dbsetup::createSqliteFileIfMissing(connection);
        zarn::Connection c;
        c.setConnectionString(connection);
        c.open();
        zarn::dbsetup::createSurveyDatabase(c);
        zarn::demo::fillDemoData(c, {1, 100000, 7});
    }
    const QString scriptFile = dir + QStringLiteral("/check.sql");
    {
        QFile f(scriptFile);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw zarn::Error(QStringLiteral("cannot write %1").arg(scriptFile));
        f.write(script(kUnit).toUtf8());
    }

    QList<double> library, shell, libraryCpu, shellCpu;
    QList<QList<double>> perCheck(qsizetype(zarn::quality::checks().size()));
    QList<zarn::quality::Finding> found;
    for (int r = 0; r < runs; ++r) {
        zarn::Connection c;
        c.setConnectionString(connection);
        c.open();
        QElapsedTimer t, step;
        const double cpuBefore = cpuMs(RUSAGE_SELF);
        t.start();
        step.start();
        found = zarn::quality::run(c, {.dwdm = kUnit, .zdbh = {}, .kind = -1}, [&](int done, int) {
            perCheck[done - 1] << step.nsecsElapsed() / 1e6;
            step.restart();
        });
        library << t.nsecsElapsed() / 1e6;
        libraryCpu << cpuMs(RUSAGE_SELF) - cpuBefore;
        c.close();
        double cpu = 0;
        shell << timeSqlite3(file, scriptFile, &cpu);
        shellCpu << cpu;
    }
    const double lib = median(library), cli = median(shell);
    say(QStringLiteral("SQLite, unit %1 of 100000 parcels, %2 statements, median of %3 runs:")
            .arg(kUnit)
            .arg(zarn::quality::statements().size())
            .arg(runs));
    say(QStringLiteral("  quality::run          %1 ms (%2 findings; goal 3000 ms)")
            .arg(lib, 8, 'f', 1)
            .arg(found.size()));
    say(QStringLiteral("  sqlite3 command line  %1 ms").arg(cli, 8, 'f', 1));
    say(QStringLiteral("  ratio                 %1 (goal 3)")
            .arg(cli > 0 ? lib / cli : 0, 8, 'f', 2));
    const double libCpu = median(libraryCpu), cliCpu = median(shellCpu);
    say(QStringLiteral("  processor time: quality::run %1 ms, sqlite3 %2 ms, ratio %3")
            .arg(libCpu, 0, 'f', 1)
            .arg(cliCpu, 0, 'f', 1)
            .arg(cliCpu > 0 ? libCpu / cliCpu : 0, 0, 'f', 2));
    // A check's statements read by an earlier check count with that one.
    QList<int> perCheckFound(perCheck.size(), 0);
    for (const zarn::quality::Finding &f : found)
        ++perCheckFound[f.check];
    for (qsizetype i = 0; i < perCheck.size(); ++i)
        say(QStringLiteral("    %1 %2 ms  %3 findings")
                .arg(QLatin1String(zarn::quality::checks()[std::size_t(i)].code))
                .arg(median(perCheck[i]), 8, 'f', 1)
                .arg(perCheckFound[i]));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return zarn::bench::runParent(app, parent);
}
