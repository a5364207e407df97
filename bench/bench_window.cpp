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
//   DISPLAY=:N bench_window --pg CONNECTION --delay MS [--runs N]
//
// With --delay, instead of the above: PostgreSQL on the demo's first unit of
// 6000 parcels (database NAME_demo, and a unit without rows in it), once on
// the server's machine and once through a delay proxy on loopback that makes
// a round trip cost MS ms, as a district office's wide-area link would: time
// to window on the real path and its round trips, psql -c 'select 1' beside
// it, and each action in-process with its round trips.
//
// DIR (default $ZARN_BENCH_DIR, else /tmp/zarn-bench) keeps the SQLite
// databases (shared with bench_open; the district takes a minute to make) and
// a copy of the component registered in DIR/component/registry, with its
// config.ini and key. CONNECTION names a PostgreSQL database NAME: NAME_small,
// NAME_big, NAME_million and NAME_district are made on its server and
// measured the same way.
#include "bench_options.h"
#include "delay_proxy.h"
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
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
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

// ---------------------------------------------------------------- over a slow link

// The same database reached through a proxy listening on `port`.
QString throughProxy(const QString &connection, int port)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    return QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1/%2;User ID=%3;Password=%4")
        .arg(port)
        .arg(s.databaseName, s.userName, s.password);
}

std::unique_ptr<bench::DelayProxy> proxyFor(const QString &connection, int roundTripMs)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    auto proxy = std::make_unique<bench::DelayProxy>(s.hostName.toStdString(), s.port, roundTripMs);
    if (!proxy->ok()) throw zarn::Error(QStringLiteral("延迟代理无法在 127.0.0.1 上监听。"));
    return proxy;
}

// The round trips of each connection that had any, the form's first: "12+3".
QString perConnection(const bench::DelayProxy::Totals &t)
{
    QStringList parts;
    for (int n : t.perConnection)
        if (n) parts << QString::number(n);
    return parts.isEmpty() ? QStringLiteral("0") : parts.join(QLatin1Char('+'));
}

// What the actions child reports, in its order: a key, then the label.
const char *const kSteps[][2] = {
    {"window", "open, to the first frame"},
    {"opened", "open, until the link is quiet"},
    {"next", "下记录"},
    {"prior", "上记录"},
    {"first", "首记录"},
    {"last", "末记录"},
    {"save-edit", "保存 of an edit (typed, then 保存)"},
    {"jzbs-open", "opening 界址标示表"},
    {"jzbs-close", "closing 界址标示表 (recount)"},
    {"new", "新增"},
    {"save-new", "保存 of the new row"},
    {"close", "closing the form"},
};

// actions CONNECTION UNIT PARCEL DELAY: opens the form (through a proxy of
// DELAY ms in this process; -1: directly), then moves, edits and saves,
// opens the boundary marker editor, adds a row, saves it and closes. Prints
// "KEY MS ROUNDTRIPS PERCONNECTION" per step (round trips 0 without a proxy).
int actionsChild(FrameClock &app, const QStringList &a)
{
    const QString direct = a[1], unit = a[2], parcel = a[3];
    const int delay = a[4].toInt();
    zarn::ui::RecordingMessageService messages;
    QApplication::setCursorFlashTime(0);
    qint64 before = 0;
    {
        zarn::Connection c;
        c.setConnectionString(direct);
        c.open();
        QSqlQuery q(c.database());
        q.exec(QStringLiteral("select max(id) from T_DJDCB"));
        if (q.next()) before = q.value(0).toLongLong();
    }
    std::unique_ptr<bench::DelayProxy> proxy;
    if (delay >= 0) proxy = proxyFor(direct, delay);
    const QString connection = proxy ? throughProxy(direct, proxy->port()) : direct;

    // Until no frame and no byte on the link for 300 ms.
    auto quiet = [&] {
        app.settle(300);
        const double cap = monotonicMs() + 20000;
        while (proxy && monotonicMs() - proxy->lastActivity() < 300 && monotonicMs() < cap)
            app.settle(100);
    };
    auto report = [&](const char *key, double ms, const bench::DelayProxy::Totals &t) {
        say(QStringLiteral("%1 %2 %3 %4")
                .arg(QLatin1String(key))
                .arg(ms, 0, 'f', 1)
                .arg(proxy ? t.roundTrips : 0)
                .arg(proxy ? perConnection(t) : QStringLiteral("-")));
    };
    auto totals = [&](double until = 1e300) {
        return proxy ? proxy->totals(until) : bench::DelayProxy::Totals{};
    };
    // One step: the round trips until all is quiet, the time until `act`
    // returns (or what it says).
    auto step = [&](const char *key, const std::function<double()> &act) {
        // With ZARN_STEP_MARK set, a server log of every statement
        // (log_statement = all) shows where each step's statements begin.
        if (qEnvironmentVariableIsSet("ZARN_STEP_MARK")) {
            zarn::Connection m;
            m.setConnectionString(direct);
            m.open();
            QSqlQuery(m.database()).exec(QStringLiteral("select 'STEP %1'").arg(QLatin1String(key)));
        }
        if (proxy) proxy->reset();
        const double start = monotonicMs();
        const double said = act();
        const double ms = said >= 0 ? said : monotonicMs() - start;
        quiet();
        report(key, ms, totals());
    };

    const double start = monotonicMs();
    double firstFrame = -1;
    app.clock.start();
    auto context = std::make_unique<zarn::SessionContext>();
    QDialog *form = openForm(*context, connection, unit, parcel);
    {
        QEventLoop loop;
        app.onFrame = [&] {
            if (firstFrame < 0) firstFrame = monotonicMs();
            loop.quit();
        };
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (app.frames.isEmpty()) loop.exec();
        app.onFrame = nullptr;
    }
    if (firstFrame < 0) return 1;
    report("window", firstFrame - start, totals(firstFrame));
    quiet();
    report("opened", (proxy ? std::max(firstFrame, proxy->lastActivity()) : firstFrame) - start,
           totals());

    auto click = [&](const char *name) {
        return [&app, form, name] {
            auto *b = form->findChild<QAbstractButton *>(QString::fromLatin1(name));
            if (!b) throw zarn::Error(QStringLiteral("窗体上没有按钮 %1。").arg(name));
            QTest::mouseClick(b, Qt::LeftButton);
            return -1.0;
        };
    };
    step("next", click("spbNext"));
    step("prior", click("spbPre"));
    step("first", click("spbFirst"));
    step("last", click("spbLast"));

    auto *edit = form->findChild<QLineEdit *>(QStringLiteral("DBEdit25"));
    if (!edit) throw zarn::Error(QStringLiteral("窗体上没有说明栏 DBEdit25。"));
    const QString was = edit->text();
    // Chinese comes as an input method's commit, as a surveyor's typing does.
    auto type = [edit](const QString &text) {
        edit->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(edit, &commit);
    };
    step("save-edit", [&] {
        edit->end(false);
        type(QStringLiteral("界址清楚"));
        return click("spbSave")();
    });
    // Put the row back as it was, unmeasured.
    edit->selectAll();
    if (was.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        type(was);
    click("spbSave")();
    quiet();

    // The editor is modal: it is watched for from a timer inside its own loop,
    // timed when shown, and dismissed once the link is quiet.
    double shownAt = -1, dismissedAt = -1;
    bench::DelayProxy::Totals whileOpen;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog == form || !dialog->isVisible()) return;
        if (shownAt < 0) shownAt = monotonicMs();
        if (proxy && monotonicMs() - proxy->lastActivity() < 300) return;
        if (monotonicMs() - shownAt < 300) return;
        whileOpen = totals();
        watcher.stop();
        dismissedAt = monotonicMs();
        dialog->reject();
    });
    if (proxy) proxy->reset();
    const double editorStart = monotonicMs();
    watcher.start();
    click("Button1")();
    const double returnedAt = monotonicMs();
    watcher.stop();
    quiet();
    if (shownAt < 0) {
        say(QStringLiteral("jzbs-open -1 0 -"));
    } else {
        report("jzbs-open", shownAt - editorStart, whileOpen);
        bench::DelayProxy::Totals after = totals();
        after.roundTrips -= whileOpen.roundTrips;
        for (size_t i = 0; i < after.perConnection.size(); ++i)
            after.perConnection[i] -= i < whileOpen.perConnection.size() ? whileOpen.perConnection[i] : 0;
        report("jzbs-close", returnedAt - dismissedAt, after);
    }

    step("new", click("spbNew"));
    step("save-new", click("spbSave"));
    step("close", [&] {
        form->close();
        delete form;
        context.reset();
        return -1.0;
    });
    proxy.reset();
    {
        zarn::Connection c;
        c.setConnectionString(direct);
        c.open();
        QSqlQuery q(c.database());
        q.prepare(QStringLiteral("delete from T_DJDCB where id > ?"));
        q.addBindValue(before);
        q.exec();
    }
    for (const auto &r : std::as_const(messages.records))
        std::fprintf(stderr, "message: %s\n", r.text.toUtf8().constData());
    return 0;
}

// A database NAME_SUFFIX on the server of the database named, made through
// its "postgres" database when missing.
QString pgDatabase(const QString &connection, const char *suffix)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    const QByteArray info = QStringLiteral("host=%1 port=%2 dbname=postgres user=%3 password=%4")
                                .arg(s.hostName)
                                .arg(s.port)
                                .arg(s.userName, s.password.isEmpty() ? "''" : s.password)
                                .toUtf8();
    std::unique_ptr<PGconn, decltype(&PQfinish)> db(PQconnectdb(info.constData()), &PQfinish);
    const QString name = s.databaseName + QLatin1String(suffix);
    // A name, not a value: it cannot be bound. It is the given name and a suffix of ours.
    PQclear(PQexec(db.get(), ("create database " + name).toUtf8().constData()));
    return QStringLiteral("Provider=PostgreSQL;Data Source=%1:%2/%3;User ID=%4;Password=%5")
        .arg(s.hostName)
        .arg(s.port)
        .arg(name, s.userName, s.password);
}

// psql -c 'select 1' against the server the connection names, through the
// proxy when given: ms from start to exit.
double psqlSelectOne(const QString &connection, const bench::DelayProxy *proxy)
{
    const zarn::ConnectionSettings s = zarn::mapConnectionString(connection, false);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), s.password);
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    const double start = monotonicMs();
    p.start(QStringLiteral("psql"),
            {QStringLiteral("-h"), proxy ? QStringLiteral("127.0.0.1") : s.hostName,
             QStringLiteral("-p"), QString::number(proxy ? proxy->port() : s.port),
             QStringLiteral("-U"), s.userName, QStringLiteral("-d"), s.databaseName,
             QStringLiteral("-c"), QStringLiteral("select 1")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
    return monotonicMs() - start;
}

// Per step, the figures of each run: ms, round trips, and the split of the
// last run by connection.
struct StepFigures {
    QList<double> ms, trips;
    QString split;
};

void measureDelay(Display &display, const RealPath &real, const QString &pg, int runs,
                  int delayMs)
{
    const QString demo = pgDatabase(pg, "_demo");
    fill(demo, {0, 6000, 1});
    const auto proxy = proxyFor(demo, delayMs);
    struct DelayCase {
        const char *name;
        QString unit, parcel = {};
        QList<double> realDirect = {}, realProxied = {}, realTrips = {};
        QString realSplit = {};
        std::map<QString, StepFigures> direct = {}, proxied = {};
    } cases[] = {{"the demo's first unit (6000 parcels in 3 units)", kUnit}, {"unit without rows", kEmptyUnit}};
    for (DelayCase &c : cases) c.parcel = middleParcel(demo, c.unit);
    QList<double> psqlDirect, psqlProxied, psqlTrips;
    for (int i = 0; i < runs; ++i) {
        psqlDirect << psqlSelectOne(demo, nullptr);
        proxy->reset();
        psqlProxied << psqlSelectOne(demo, proxy.get());
        psqlTrips << proxy->totals().roundTrips;
        for (DelayCase &c : cases) {
            for (const bool slow : {false, true}) {
                real.use(slow ? throughProxy(demo, proxy->port()) : demo);
                proxy->reset();
                const Watched host = watch(display, QStringLiteral(ZARN_BENCH_HOST),
                                           real.hostArguments(c.unit, c.parcel), real.env, false);
                const double ms = host.mapped < 0 ? -1 : host.mapped - host.start;
                (slow ? c.realProxied : c.realDirect) << ms;
                if (slow) {
                    const auto t = proxy->totals(host.mapped);
                    c.realTrips << t.roundTrips;
                    c.realSplit = perConnection(t);
                }
                if (c.unit == kEmptyUnit) clearUnit(demo, c.unit);

                QProcess p;
                p.setProcessEnvironment(childEnv());
                p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                p.start(QCoreApplication::applicationFilePath(),
                        {"--child", "actions", demo, c.unit, c.parcel,
                         QString::number(slow ? delayMs : -1)});
                p.waitForFinished(-1);
                if (p.exitCode() != 0) say(QStringLiteral("  %1: the actions failed").arg(c.name));
                for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
                    const QList<QByteArray> f = line.trimmed().split(' ');
                    if (f.size() != 4) continue;
                    StepFigures &to = (slow ? c.proxied : c.direct)[QString::fromUtf8(f[0])];
                    to.ms << f[1].toDouble();
                    to.trips << f[2].toDouble();
                    to.split = QString::fromUtf8(f[3]);
                }
                if (c.unit == kEmptyUnit) clearUnit(demo, c.unit);
            }
        }
    }
    say(QStringLiteral("PostgreSQL, on the server's machine and over a link of %1 ms round "
                       "trip (delay proxy), median of %2 runs:")
            .arg(delayMs)
            .arg(runs));
    say(QStringLiteral("  %1 %2 %3 %4")
            .arg(QString(), -49)
            .arg(QStringLiteral("direct ms"), 10)
            .arg(QStringLiteral("%1 ms: ms").arg(delayMs), 12)
            .arg(QStringLiteral("  round trips (per connection)")));
    say(QStringLiteral("  %1 %2 %3   %4")
            .arg(QStringLiteral("psql -c 'select 1'"), -49)
            .arg(median(psqlDirect), 10, 'f', 1)
            .arg(median(psqlProxied), 12, 'f', 1)
            .arg(median(psqlTrips)));
    for (const DelayCase &c : cases) {
        say(QStringLiteral("  %1").arg(QString::fromLatin1(c.name)));
        say(QStringLiteral("    %1 %2 %3   %4 (%5)")
                .arg(QStringLiteral("zarn-host, process start to window"), -47)
                .arg(median(c.realDirect), 10, 'f', 1)
                .arg(median(c.realProxied), 12, 'f', 1)
                .arg(median(c.realTrips))
                .arg(c.realSplit));
        for (const auto &[key, label] : kSteps) {
            const auto d = c.direct.find(QString::fromLatin1(key));
            const auto p = c.proxied.find(QString::fromLatin1(key));
            if (d == c.direct.end() && p == c.proxied.end()) continue;
            const auto ms = [](auto it, const auto &all) {
                return it == all.end() ? -1.0 : median(it->second.ms);
            };
            if (ms(d, c.direct) < 0 && ms(p, c.proxied) < 0) {
                say(QStringLiteral("    in-process %1 did not happen").arg(QString::fromUtf8(label)));
                continue;
            }
            QString trips = QStringLiteral("-");
            if (p != c.proxied.end())
                trips = QStringLiteral("%1 (%2)").arg(median(p->second.trips)).arg(p->second.split);
            // Labels mix Chinese and Latin: padded by hand to line up in a terminal.
            QString text = QString::fromUtf8(label);
            int width = 0;
            for (const QChar ch : text) width += ch.unicode() >= 0x2e80 ? 2 : 1;
            text += QString(std::max(0, 36 - width), QLatin1Char(' '));
            say(QStringLiteral("    in-process %1 %2 %3   %4")
                    .arg(text)
                    .arg(ms(d, c.direct), 10, 'f', 1)
                    .arg(ms(p, c.proxied), 12, 'f', 1)
                    .arg(trips));
        }
    }
    say(QStringLiteral("  zarn-host's window came %1 ms later over the link: %2 round trips' worth")
            .arg(median(cases[0].realProxied) - median(cases[0].realDirect), 0, 'f', 0)
            .arg((median(cases[0].realProxied) - median(cases[0].realDirect)) / delayMs, 0, 'f',
                 1));
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
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--delay")); at > 0 && at + 1 < args.size()) {
        if (pg.isEmpty()) {
            say(QStringLiteral("--delay measures PostgreSQL: give --pg CONNECTION as well."));
            return 2;
        }
        measureDelay(display, real, pg, runs, std::max(0, args[at + 1].toInt()));
        return 0;
    }
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
            const QStringList a = app.arguments().mid(2);
            return a[0] == QLatin1String("actions") ? actionsChild(app, a) : child(app, a);
        } catch (const zarn::Error &e) {
            std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    return zarn::bench::runParent(app, parent);
}
