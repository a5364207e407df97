// What a surveyor waits for, on a real display (run it under Xvfb):
//   - the real path: zarn-host started as a land-registry application starts
//     it, through the registered component and its config.ini, timed from
//     the process start to the form's window mapped on the display (the X
//     server's MapNotify for a window of that process with the form's title),
//     beside the same open in-process (from the data module to the window
//     mapped and to the first frame painted) and beside a raw fetch through
//     the SQLite C interface (libpq) of the columns the form reads for every
//     row of the session (the keys, in its order);
//   - 新增 and 下记录 as a click feels: the real button clicked in-process,
//     timed to the first frame painted after it and to the last frame before
//     the form goes quiet.
// Cases: a unit without rows, units of 1000, 100 000 and 999 999 parcels, and
// a district of 100 units x 10 000 parcels opened by its district code (the
// two biggest without attached rows).
//
//   DISPLAY=:N bench_window [--dir DIR] [--runs N] [--pg CONNECTION]
//
// DIR (default $ZARN_BENCH_DIR, else /tmp/zarn-bench) keeps the SQLite
// databases (shared with bench_open; the district takes a minute to make) and
// a copy of the component registered in DIR/component/registry, with its
// config.ini and key. CONNECTION names a PostgreSQL database NAME: NAME_small,
// NAME_big, NAME_million and NAME_district are made on its server and
// measured the same way.
#include "bench_options.h"
#include "mapped_window.h"
#include "raw_keys.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "forms/form_factory.h"
#include "schema/survey_statements.h"
#include "schema/unit_code.h"
#include "session/session_context.h"
#include "widgets/messages.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/survey_ddl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace {

using bench::Display;
using bench::monotonicMs;

const char kTitle[] = "使用权地籍调查表";
const QString kUnit = QStringLiteral("320102001001"); // the demo's first unit
const QString kEmptyUnit = QStringLiteral("320102999999");
const QString kDistrict = QStringLiteral("320102");

void say(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// ---------------------------------------------------------------- the real path

// A copy of the component registered in a registry of its own, so that
// config.ini can name each case's database without touching the build.
struct RealPath {
    QString dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    explicit RealPath(const QString &benchDir) : dir(benchDir + QStringLiteral("/component"))
    {
        QDir().mkpath(dir);
        for (const char *f : {ZARN_BENCH_MODULE, ZARN_BENCH_DECRYPT}) {
            const QString from = QString::fromUtf8(f);
            const QString to = dir + QLatin1Char('/') + QFileInfo(from).fileName();
            QFile::remove(to);
            QFile::copy(from, to);
        }
        env.insert(QStringLiteral("ZARN_REGISTRY"), dir + QStringLiteral("/registry"));
        env.insert(QStringLiteral("ZARN_KEY_FILE"), dir + QStringLiteral("/key"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        run(QStringLiteral(ZARN_BENCH_REGSVR),
            {dir + QLatin1Char('/') + QFileInfo(QStringLiteral(ZARN_BENCH_MODULE)).fileName()});
    }

    bool run(const QString &program, const QStringList &args) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, args);
        return p.waitForFinished(-1) && p.exitCode() == 0;
    }

    void use(const QString &connection) const
    {
        run(QStringLiteral(ZARN_BENCH_ENCRYPT),
            {connection, QStringLiteral("--config"), dir + QStringLiteral("/config.ini")});
    }

    QStringList hostArguments(const QString &unit, const QString &parcel) const
    {
        return {QStringLiteral("--dwdm"), unit, QStringLiteral("--zdh"), parcel,
                QStringLiteral("--lx"), QStringLiteral("0")};
    }
};

struct Watched {
    double start = 0, mapped = -1; // monotonicMs; mapped -1: never
    QByteArray output;
};

// Starts a program on the display and waits for the form's window to be
// mapped. zarn-host is then ended (its form is modal); a child of ours is
// told by the end of its input and finishes by itself.
Watched watch(Display &display, const QString &program, const QStringList &args,
              const QProcessEnvironment &env, bool ours)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Watched w;
    w.start = monotonicMs();
    p.start(program, args);
    if (p.waitForStarted()) w.mapped = display.waitMapped(p.processId(), kTitle, 60000);
    if (ours) {
        p.closeWriteChannel();
        p.waitForFinished(60000);
        if (p.exitCode() == 0) w.output = p.readAllStandardOutput();
    } else {
        p.terminate();
        p.waitForFinished(-1);
    }
    return w;
}

// ---------------------------------------------------------------- in-process children

// Notes the end of every frame: the outermost event during which a widget
// was painted (an expose, an update request, a click that repainted).
class FrameClock : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool paint = event->type() == QEvent::Paint;
        ++m_depth;
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        m_painted = m_painted || paint;
        if (m_depth == 0 && m_painted) {
            m_painted = false;
            frames << clock.nsecsElapsed() / 1e6;
            if (onFrame) onFrame();
        }
        return result;
    }

    // Runs the event loop until no frame has come for `quietMs` (at most 20 s).
    void settle(int quietMs)
    {
        QEventLoop loop;
        QTimer quiet, cap;
        quiet.setSingleShot(true);
        QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
        onFrame = [&] { quiet.start(quietMs); };
        quiet.start(quietMs);
        cap.start(20000);
        loop.exec();
        onFrame = nullptr;
    }

    QElapsedTimer clock;
    QList<double> frames; // ms on clock
    std::function<void()> onFrame;

private:
    int m_depth = 0;
    bool m_painted = false;
};

QDialog *openForm(zarn::SessionContext &context, const QString &connection, const QString &unit,
                  const QString &parcel)
{
    context.unitCode = unit;
    context.parcelNumber = parcel;
    context.connection.setConnectionString(connection);
    context.connection.open();
    QDialog *form = zarn::createSurveyForm(context, nullptr);
    form->show();
    return form;
}

// open: ms from the session context to the form's first frame.
// new|move COUNT: per click, ms to the first frame after it and to the last
// before the form is quiet; the medians.
int child(FrameClock &app, const QStringList &a)
{
    const QString what = a[0], connection = a[1], unit = a[2], parcel = a[3];
    zarn::ui::RecordingMessageService messages;
    QApplication::setCursorFlashTime(0); // a blinking caret would be a frame of its own
    const double start = monotonicMs();
    app.clock.start();
    zarn::SessionContext context;
    QDialog *form = openForm(context, connection, unit, parcel);
    QEventLoop loop;
    app.onFrame = [&] { loop.quit(); };
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (app.frames.isEmpty()) loop.exec();
    app.onFrame = nullptr;
    if (app.frames.isEmpty()) return 1;
    QList<double> first, settled;
    if (what == QLatin1String("open")) {
        // The parent watches the window being mapped and then ends our input.
        say(QStringLiteral("%1 %2").arg(start, 0, 'f', 3).arg(app.frames[0]));
        while (std::fgetc(stdin) != EOF) {
        }
    } else {
        const bool adding = what == QLatin1String("new");
        zarn::Dataset q(&context.connection);
        q.setSql(zarn::sql::djdcMaxId);
        q.open();
        const qint64 before = q.value(0).toLongLong();
        q.close();
        auto *button = form->findChild<QAbstractButton *>(
            QString::fromLatin1(adding ? "spbNew" : "spbNext"));
        // Connected after the form's own handler: notes when the click has been answered.
        double answered = 0;
        QObject::connect(button, &QAbstractButton::clicked,
                         [&] { answered = app.clock.nsecsElapsed() / 1e6; });
        app.settle(500);
        for (int i = 0, n = a.value(4).toInt(); i < n; ++i) {
            const double at = app.clock.nsecsElapsed() / 1e6;
            QTest::mouseClick(button, Qt::LeftButton);
            app.settle(300);
            if (!messages.records.isEmpty()) break; // refused: said below
            const auto next = std::lower_bound(app.frames.cbegin(), app.frames.cend(), answered);
            if (answered < at || next == app.frames.cend()) return 1;
            first << *next - at;
            settled << app.frames.last() - at;
        }
        if (adding) {
            q.setSql(QStringLiteral("delete from T_DJDCB where id > ?"), {before});
            q.execute();
        }
    }
    for (const auto &r : std::as_const(messages.records))
        std::fprintf(stderr, "message: %s\n", r.text.toUtf8().constData());
    delete form;
    if (what != QLatin1String("open"))
        say(QStringLiteral("%1 %2").arg(median(first)).arg(median(settled)));
    return messages.records.isEmpty() ? 0 : 1;
}

QProcessEnvironment childEnv()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// Runs a child on the display: its two figures, or nothing when it failed.
QList<double> runChild(const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(childEnv());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + args);
    p.waitForFinished(-1);
    const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
    if (p.exitCode() != 0 || out.size() != 2) {
        say(QStringLiteral("  %1 failed").arg(args.join(' ')));
        return {};
    }
    return {out[0].toDouble(), out[1].toDouble()};
}

// ---------------------------------------------------------------- parent

std::unique_ptr<bench::KeyReader> keyReader(const QString &connection)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    if (s.driver == QLatin1String("QSQLITE"))
        return std::make_unique<bench::SqliteKeys>(s.databaseName);
    return std::make_unique<bench::PgKeys>(s);
}

// The parcel number halfway down the session: what the host asks for.
QString middleParcel(const QString &connection, const QString &unit)
{
    QList<QByteArray> all;
    keyReader(connection)->read(unit, [&](const char *text, int n) { all << QByteArray(text, n); });
    return all.isEmpty() ? QStringLiteral("0010010001") : QString::fromUtf8(all[all.size() / 2]);
}

void fill(const QString &connection, const zarn::demo::DemoOptions &options)
{
    zarn::dbsetup::createSqliteFileIfMissing(connection);
    zarn::Connection c;
    c.setConnectionString(connection);
    c.open();
    if (!zarn::dbsetup::existingSurveyTables(c).isEmpty()) return;
    say(QStringLiteral("making %1 parcels in %2 units: %3")
            .arg(options.parcels)
            .arg(options.units)
            .arg(connection));
    zarn::dbsetup::createSurveyDatabase(c);
    zarn::demo::fillDemoData(c, options);
}

// The form may give a unit without rows a first row of its own.
void clearUnit(const QString &connection, const QString &unit)
{
    zarn::Connection c;
    c.setConnectionString(connection);
    c.open();
    QSqlQuery q(c.database());
    q.prepare(QStringLiteral("delete from T_DJDCB where dwdm = ?"));
    q.addBindValue(unit);
    q.exec();
}

// The connections of the databases: units of 1000, 100 000 and 999 999
// parcels and the district, each made when it has no survey tables. 新增 in a
// district's session is refused (no unit to number the parcel in): the unit
// of 999 999 gives its figure on a session of a million rows.
using Databases = std::array<QString, 4>;

Databases sqliteDatabases(const QString &dir)
{
    Databases d;
    const char *files[] = {"/small.db", "/big.db", "/million.db", "/district.db"};
    for (size_t i = 0; i < d.size(); ++i)
        d[i] = QStringLiteral("Provider=SQLite;Data Source=") + dir + QLatin1String(files[i]);
    return d;
}

// Databases NAME_small, NAME_big, NAME_million and NAME_district on the server of the
// database named (which need not exist), made through its "postgres" database.
Databases pgDatabases(const QString &connection)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    const QByteArray info = QStringLiteral("host=%1 port=%2 dbname=postgres user=%3 password=%4")
                                .arg(s.hostName)
                                .arg(s.port)
                                .arg(s.userName,
                                     s.password.isEmpty() ? "''" : s.password)
                                .toUtf8();
    std::unique_ptr<PGconn, decltype(&PQfinish)> db(PQconnectdb(info.constData()), &PQfinish);
    Databases d;
    const char *suffixes[] = {"_small", "_big", "_million", "_district"};
    for (size_t i = 0; i < d.size(); ++i) {
        const QString name = s.databaseName + QLatin1String(suffixes[i]);
        // A name, not a value: it cannot be bound. It is the given name and a suffix of ours.
        PQclear(PQexec(db.get(), ("create database " + name).toUtf8().constData()));
        d[i] = QStringLiteral("Provider=PostgreSQL;Data Source=%1:%2/%3;User ID=%4;Password=%5")
                   .arg(s.hostName)
                   .arg(s.port)
                   .arg(name, s.userName, s.password);
    }
    return d;
}

struct Case {
    const char *name;
    QString connection, unit;
    QString parcel = {};
    QList<double> raw = {}, inProcessMapped = {}, inProcessFrame = {}, real = {};
    qint64 rows = 0;
};

void measure(Display &display, const RealPath &real, const QString &title, const Databases &d,
             int runs)
{
    fill(d[0], {1, 1000, 7});
    fill(d[1], {1, 100000, 7});
    fill(d[2], {1, zarn::demo::kMaxParcelsPerUnit, 7, false});
    fill(d[3], {100, 1000000, 7, false});
    Case cases[] = {{"unit without rows", d[1], kEmptyUnit},
                    {"unit of 1000", d[0], kUnit},
                    {"unit of 100 000", d[1], kUnit},
                    {"unit of 999 999", d[2], kUnit},
                    {"district, 100 units", d[3], kDistrict}};
    enum { Empty, Small, Big, Million, District };
    for (Case &c : cases) c.parcel = middleParcel(c.connection, c.unit);
    // Case after case within a run, so that whatever else the machine does
    // falls on every case alike.
    for (int i = 0; i < runs; ++i) {
        for (Case &c : cases) {
            real.use(c.connection);
            QElapsedTimer t;
            t.start();
            qint64 bytes = 0;
            c.rows = keyReader(c.connection)->read(c.unit, [&](const char *, int n) { bytes += n; });
            c.raw << t.nsecsElapsed() / 1e6;
            const Watched host = watch(display, QStringLiteral(ZARN_BENCH_HOST),
                                       real.hostArguments(c.unit, c.parcel), real.env, false);
            c.real << (host.mapped < 0 ? -1 : host.mapped - host.start);
            const Watched in = watch(display, QCoreApplication::applicationFilePath(),
                                     {"--child", "open", c.connection, c.unit, c.parcel},
                                     childEnv(), true);
            const QList<QByteArray> out = in.output.trimmed().split(' ');
            if (in.mapped >= 0 && out.size() == 2) {
                c.inProcessMapped << in.mapped - out[0].toDouble();
                c.inProcessFrame << out[1].toDouble();
            }
            if (c.unit == kEmptyUnit) clearUnit(c.connection, c.unit);
        }
    }
    say(QStringLiteral("%1, median of %2 runs, ms:").arg(title).arg(runs));
    say(QStringLiteral("  %1 %2 %3 %4 %5")
            .arg(QStringLiteral("session"), -20)
            .arg(QStringLiteral("rows"), 8)
            .arg(QStringLiteral("raw keys"), 9)
            .arg(QStringLiteral("in-process: mapped / frame"), 28)
            .arg(QStringLiteral("zarn-host: start to mapped")));
    for (const Case &c : cases)
        say(QStringLiteral("  %1 %2 %3 %4 / %5 %6")
                .arg(QString::fromLatin1(c.name), -20)
                .arg(c.rows, 8)
                .arg(median(c.raw), 9, 'f', 1)
                .arg(median(c.inProcessMapped), 18, 'f', 1)
                .arg(median(c.inProcessFrame), -7, 'f', 1)
                .arg(median(c.real), 10, 'f', 1));
    const double empty = median(cases[Empty].real);
    say(QStringLiteral("  district / unit without rows, zarn-host: %1x (goal <= 2x)")
            .arg(median(cases[District].real) / empty, 0, 'f', 2));
    say(QStringLiteral("  the 100 000 rows cost zarn-host %1 ms, %2x their raw keys "
                       "(goal <= 1.0x)")
            .arg(median(cases[Big].real) - empty, 0, 'f', 1)
            .arg((median(cases[Big].real) - empty) / median(cases[Big].raw), 0, 'f', 2));

    say(QStringLiteral("  a click in-process, ms to the first frame after it / to the last "
                       "before the form is quiet:"));
    say(QStringLiteral("  %1 %2 %3")
            .arg(QStringLiteral("session"), -20)
            .arg(QStringLiteral("新增"), -18)
            .arg(QStringLiteral("下记录")));
    // Per case, 新增 and 下记录: the figures of each run, until one fails.
    struct Clicks {
        QList<double> first, last;
        bool failed = false;
    } clicks[std::size(cases)][2];
    for (int i = 0; i < runs; ++i)
        for (size_t k = Small; k < std::size(cases); ++k)
            for (int w = 0; w < 2; ++w) {
                Clicks &to = clicks[k][w];
                if (to.failed) continue;
                const Case &c = cases[k];
                const QList<double> f = runChild({w == 0 ? "new" : "move", c.connection, c.unit,
                                                  c.parcel, w == 0 ? "10" : "30"});
                to.failed = f.isEmpty();
                if (to.failed) continue;
                to.first << f[0];
                to.last << f[1];
            }
    double settled[std::size(cases)][2] = {};
    for (size_t k = Small; k < std::size(cases); ++k) {
        QString line = QStringLiteral("  %1").arg(QString::fromLatin1(cases[k].name), -20);
        for (int w = 0; w < 2; ++w) {
            const Clicks &c = clicks[k][w];
            settled[k][w] = median(c.last);
            line += c.failed ? QStringLiteral(" %1").arg(QStringLiteral("failed"), -18)
                             : QStringLiteral(" %1 / %2")
                                   .arg(median(c.first), 6, 'f', 1)
                                   .arg(median(c.last), -8, 'f', 1);
        }
        say(line);
    }
    say(QStringLiteral("  to quiet, against the unit of 1000: 新增 on 999 999 rows %1x (goal <= "
                       "1.2x), 下记录 on the district %2x")
            .arg(settled[Million][0] / settled[Small][0], 0, 'f', 2)
            .arg(settled[District][1] / settled[Small][1], 0, 'f', 2));
}

int parent(const QString &dir, int runs, const QString &pg)
{
    const QByteArray displayName = qgetenv("DISPLAY");
    Display display(displayName);
    if (displayName.isEmpty() || !display.ok()) {
        say(QStringLiteral("bench_window needs a display: run it as DISPLAY=:N bench_window, "
                           "with Xvfb :N started first."));
        return 2;
    }
    QDir().mkpath(dir);
    const RealPath real(dir);
    measure(display, real, QStringLiteral("SQLite"), sqliteDatabases(dir), runs);
    if (!pg.isEmpty()) measure(display, real, QStringLiteral("PostgreSQL"), pgDatabases(pg), runs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 5 && QByteArray(argv[1]) == "--child") {
        FrameClock app(argc, argv);
        try {
            return child(app, app.arguments().mid(2));
        } catch (const zarn::Error &e) {
            std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    return zarn::bench::runParent(app, parent);
}
