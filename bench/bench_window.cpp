// What a surveyor waits for, on a real display (run it under Xvfb):
//   - the real path: zarn-host started as a land-registry application starts
//     it, through the registered component and its config.ini, timed from
//     the process start to the form's window mapped on the display (the X
//     server's MapNotify for a window of that process with the form's title),
//     beside the same open in-process (data module to the first frame painted)
//     and beside a raw fetch through the SQLite C interface of the columns the
//     form reads for every row of the session (the keys, in its order);
//   - 新增 and 下记录 as a click feels: the real button clicked in-process,
//     timed to the first frame painted after it and to the last frame before
//     the form goes quiet.
// Cases: a unit without rows, units of 1000 and 100 000 parcels, and a district
// of 100 units x 10 000 parcels (no attached rows) opened by its district code.
//
//   DISPLAY=:N bench_window [--dir DIR] [--runs N]
//
// DIR (default $ZARN_BENCH_DIR, else /tmp/zarn-bench) keeps the databases
// (shared with bench_open; the district takes a minute to make), a copy of the
// component registered in DIR/registry, its config.ini and key.
#include "component/DataM.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "forms/form_factory.h"
#include "schema/djdcb_statements.h"
#include "schema/unit_code.h"
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
#include <QSqlDatabase>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace {

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

// ---------------------------------------------------------------- raw keys

struct RawKeys {
    double ms = 0;
    qint64 rows = 0;
    QString middle; // the parcel number halfway down the session, for the host to ask for
};

QString keyStatement(bool exact)
{
    const QSqlDatabase db =
        QSqlDatabase::contains(QStringLiteral("bench-keys"))
            ? QSqlDatabase::database(QStringLiteral("bench-keys"), false)
            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-keys"));
    zarn::DeclaredQuery keys = zarn::sql::djdcListUseRight;
    if (exact) keys.filter = keys.exactFilter;
    return zarn::selectText(keys, db, {}, QStringLiteral("id, zdbh")).remove(QLatin1Char('"'));
}

void bind(sqlite3_stmt *st, const QList<QByteArray> &values)
{
    for (int i = 0; i < values.size(); ++i)
        sqlite3_bind_text(st, i + 1, values[i].constData(), int(values[i].size()), SQLITE_STATIC);
}

// The keys of every row of the session, as the form asks for them: the probe
// for sub-units, then id and zdbh over the narrowed or the ranged condition.
RawKeys rawKeys(const QString &file, const QString &unit)
{
    QList<QByteArray> range;
    for (const QVariant &v : zarn::unitcode::unitListParams(unit)) range << v.toString().toUtf8();
    QElapsedTimer t;
    t.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, zarn::sql::djdcListUseRight.exactProbe.toUtf8().constData(), -1, &st,
                       nullptr);
    bind(st, range);
    const bool exact = sqlite3_step(st) != SQLITE_ROW || sqlite3_column_type(st, 0) == SQLITE_NULL;
    sqlite3_finalize(st);
    QList<QByteArray> values = range;
    if (exact) {
        values.clear();
        for (int i : zarn::sql::djdcListUseRight.exactValues) values << range[i];
    }
    sqlite3_prepare_v2(db, keyStatement(exact).toUtf8().constData(), -1, &st, nullptr);
    bind(st, values);
    QList<QByteArray> zdbh;
    zdbh.reserve(1 << 20);
    RawKeys r;
    while (sqlite3_step(st) == SQLITE_ROW) {
        sqlite3_column_int64(st, 0);
        zdbh << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)),
                           sqlite3_column_bytes(st, 1));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    r.ms = t.nsecsElapsed() / 1e6;
    r.rows = zdbh.size();
    r.middle = zdbh.isEmpty() ? QStringLiteral("0010010001") : QString::fromUtf8(zdbh[zdbh.size() / 2]);
    return r;
}

void sqliteExec(const QString &file, const char *sql, const QString &value)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    bind(st, {value.toUtf8()});
    sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// ---------------------------------------------------------------- the real path

// The display, watched for the top-level windows mapped on it.
class Display {
public:
    explicit Display(const QByteArray &name) : m_c(xcb_connect(name.constData(), nullptr))
    {
        if (xcb_connection_has_error(m_c)) return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        m_name = atom("_NET_WM_NAME");
        m_pid = atom("_NET_WM_PID");
        xcb_flush(m_c);
    }
    ~Display() { xcb_disconnect(m_c); }
    bool ok() const { return !xcb_connection_has_error(m_c); }

    // Waits for a window of process `pid` titled `title` to be mapped: the
    // time it was seen (t's reading), or -1 after `timeoutMs`.
    double waitMapped(qint64 pid, const QByteArray &title, const QElapsedTimer &t, int timeoutMs)
    {
        while (t.elapsed() < timeoutMs) {
            pollfd p{xcb_get_file_descriptor(m_c), POLLIN, 0};
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_poll_for_event(m_c),
                                                                         &std::free);
            if (!e) {
                poll(&p, 1, 50);
                continue;
            }
            if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
            const double at = t.nsecsElapsed() / 1e6;
            const xcb_window_t w = reinterpret_cast<xcb_map_notify_event_t *>(e.get())->window;
            if (property(w, m_name) == title && property(w, m_pid).toUInt() == pid) return at;
        }
        return -1;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name),
                                  nullptr),
            &std::free);
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // A text property as bytes, a cardinal one as its number in decimal.
    QByteArray property(xcb_window_t w, xcb_atom_t a)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> r(
            xcb_get_property_reply(
                m_c, xcb_get_property(m_c, 0, w, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr),
            &std::free);
        if (!r) return {};
        const auto *v = static_cast<const char *>(xcb_get_property_value(r.get()));
        const int n = xcb_get_property_value_length(r.get());
        if (r->type == XCB_ATOM_CARDINAL && n == 4)
            return QByteArray::number(*reinterpret_cast<const uint32_t *>(v));
        return QByteArray(v, n);
    }

    xcb_connection_t *m_c;
    xcb_window_t m_root = 0;
    xcb_atom_t m_name = 0, m_pid = 0;
};

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

    // From the start of zarn-host to the form's window mapped; -1 when it
    // never shows.
    double open(Display &display, const QString &unit, const QString &parcel) const
    {
        QProcess host;
        host.setProcessEnvironment(env);
        host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        host.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        host.start(QStringLiteral(ZARN_BENCH_HOST), {QStringLiteral("--dwdm"), unit,
                                                     QStringLiteral("--zdh"), parcel,
                                                     QStringLiteral("--lx"), QStringLiteral("0")});
        const double ms =
            host.waitForStarted() ? display.waitMapped(host.processId(), kTitle, t, 60000) : -1;
        host.terminate();
        host.waitForFinished(-1);
        return ms;
    }
};

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

QDialog *openForm(const QString &connection, const QString &unit, const QString &parcel)
{
    DataMod = new TDataMod;
    DataMod->dwdm = unit;
    DataMod->zdh = parcel;
    DataMod->ADOConn1.setConnectionString(connection);
    DataMod->ADOConn1.open();
    QDialog *form = zarn::createSurveyForm(0, nullptr);
    form->show();
    return form;
}

// open: ms from the data module to the form's first frame.
// new|move COUNT: per click, ms to the first frame after it and to the last
// before the form is quiet; the medians.
int child(FrameClock &app, const QStringList &a)
{
    const QString what = a[0], connection = a[1], unit = a[2], parcel = a[3];
    zarn::ui::RecordingMessageService messages;
    QApplication::setCursorFlashTime(0); // a blinking caret would be a frame of its own
    app.clock.start();
    QDialog *form = openForm(connection, unit, parcel);
    QEventLoop loop;
    app.onFrame = [&] { loop.quit(); };
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (app.frames.isEmpty()) loop.exec();
    app.onFrame = nullptr;
    if (app.frames.isEmpty()) return 1;
    QList<double> first, settled;
    if (what == QLatin1String("open")) {
        first << app.frames[0];
    } else {
        const bool adding = what == QLatin1String("new");
        const QString maxId = QStringLiteral("select max(id) from T_DJDCB");
        zarn::Dataset q(&DataMod->ADOConn1);
        q.setSql(maxId);
        q.open();
        const qint64 before = q.value(0).toLongLong();
        q.close();
        auto *button = form->findChild<QAbstractButton *>(
            QString::fromLatin1(adding ? "spbNew" : "spbNext"));
        app.settle(500);
        for (int i = 0, n = a.value(4).toInt(); i < n; ++i) {
            const qsizetype seen = app.frames.size();
            const double at = app.clock.nsecsElapsed() / 1e6;
            QTest::mouseClick(button, Qt::LeftButton);
            app.settle(300);
            if (app.frames.size() == seen) return 1;
            first << app.frames[seen] - at;
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
    delete std::exchange(DataMod, nullptr);
    say(QStringLiteral("%1 %2").arg(median(first)).arg(median(settled)));
    return messages.records.isEmpty() ? 0 : 1;
}

// Runs a child on the display: its two figures, or nothing when it failed.
QList<double> runChild(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    p.setProcessEnvironment(env);
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

QString sqliteConnection(const QString &file)
{
    return QStringLiteral("Provider=SQLite;Data Source=") + file;
}

void fill(const QString &file, const zarn::demo::DemoOptions &options)
{
    if (QFile::exists(file)) return;
    say(QStringLiteral("making %1 (%2 parcels in %3 units)")
            .arg(file)
            .arg(options.parcels)
            .arg(options.units));
    const QString connection = sqliteConnection(file);
    zarn::dbsetup::createSqliteFileIfMissing(connection);
    zarn::Connection c;
    c.setConnectionString(connection);
    c.open();
    if (zarn::dbsetup::existingSurveyTables(c).isEmpty()) zarn::dbsetup::createSurveyDatabase(c);
    zarn::demo::fillDemoData(c, options);
}

struct Case {
    const char *name;
    QString file, unit;
};

struct Figures {
    QList<double> raw, inProcess, real;
    qint64 rows = 0;
};

int parent(const QString &dir, int runs)
{
    const QByteArray displayName = qgetenv("DISPLAY");
    Display display(displayName);
    if (displayName.isEmpty() || !display.ok()) {
        say(QStringLiteral("bench_window needs a display: run it as DISPLAY=:N bench_window, "
                           "with Xvfb :N started first."));
        return 2;
    }
    QDir().mkpath(dir);
    fill(dir + QStringLiteral("/small.db"), {1, 1000, 7});
    fill(dir + QStringLiteral("/big.db"), {1, 100000, 7});
    fill(dir + QStringLiteral("/district.db"), {100, 1000000, 7, false});
    const RealPath real(dir);

    Case cases[] = {{"unit without rows", dir + QStringLiteral("/big.db"), kEmptyUnit},
                    {"unit of 1000", dir + QStringLiteral("/small.db"), kUnit},
                    {"unit of 100 000", dir + QStringLiteral("/big.db"), kUnit},
                    {"district, 100 units", dir + QStringLiteral("/district.db"), kDistrict}};
    Figures figures[std::size(cases)];
    for (size_t k = 0; k < std::size(cases); ++k) {
        const Case &c = cases[k];
        Figures &f = figures[k];
        const QString connection = sqliteConnection(c.file);
        real.use(connection);
        for (int i = 0; i < runs; ++i) {
            const RawKeys keys = rawKeys(c.file, c.unit);
            f.raw << keys.ms;
            f.rows = keys.rows;
            f.real << real.open(display, c.unit, keys.middle);
            const QList<double> open = runChild({"open", connection, c.unit, keys.middle});
            if (!open.isEmpty()) f.inProcess << open[0];
            // The form may give a unit without rows a first row.
            if (c.unit == kEmptyUnit) sqliteExec(c.file, "delete from T_DJDCB where dwdm = ?", c.unit);
        }
    }
    say(QStringLiteral("SQLite, median of %1 runs, ms:").arg(runs));
    say(QStringLiteral("  %1 %2 %3 %4 %5")
            .arg(QStringLiteral("session"), -22)
            .arg(QStringLiteral("rows"), 8)
            .arg(QStringLiteral("raw keys"), 9)
            .arg(QStringLiteral("in-process"), 11)
            .arg(QStringLiteral("start to window mapped")));
    for (size_t k = 0; k < std::size(cases); ++k)
        say(QStringLiteral("  %1 %2 %3 %4 %5")
                .arg(QString::fromLatin1(cases[k].name), -22)
                .arg(figures[k].rows, 8)
                .arg(median(figures[k].raw), 9, 'f', 1)
                .arg(median(figures[k].inProcess), 11, 'f', 1)
                .arg(median(figures[k].real), 9, 'f', 1));
    const double empty = median(figures[0].real);
    say(QStringLiteral("  district / unit without rows on the real path: %1x (goal <= 2x)")
            .arg(median(figures[3].real) / empty, 0, 'f', 2));
    say(QStringLiteral("  the 100 000 rows cost %1 ms on the real path, %2x their raw keys "
                       "(goal <= 1.0x)")
            .arg(median(figures[2].real) - empty, 0, 'f', 1)
            .arg((median(figures[2].real) - empty) / median(figures[2].raw), 0, 'f', 2));

    say(QStringLiteral("A click in-process, to the first frame after it / the last before "
                       "quiet, median of the clicks' medians, ms:"));
    for (const char *what : {"new", "move"}) {
        QList<double> clicks[2][2];
        for (int i = 0; i < runs; ++i)
            for (int k = 0; k < 2; ++k) {
                const Case &c = cases[k == 0 ? 1 : 3];
                const QList<double> f = runChild({what, sqliteConnection(c.file), c.unit,
                                                  rawKeys(c.file, c.unit).middle,
                                                  what == QByteArray("new") ? "10" : "30"});
                if (f.isEmpty()) continue;
                clicks[k][0] << f[0];
                clicks[k][1] << f[1];
            }
        say(QStringLiteral("  %1  unit of 1000 %2 / %3   district %4 / %5   %6x")
                .arg(QString::fromUtf8(what == QByteArray("new") ? "新增  " : "下记录"))
                .arg(median(clicks[0][0]), 0, 'f', 1)
                .arg(median(clicks[0][1]), 0, 'f', 1)
                .arg(median(clicks[1][0]), 0, 'f', 1)
                .arg(median(clicks[1][1]), 0, 'f', 1)
                .arg(median(clicks[1][1]) / median(clicks[0][1]), 0, 'f', 2));
    }
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
    QString dir = qEnvironmentVariable("ZARN_BENCH_DIR", QStringLiteral("/tmp/zarn-bench"));
    int runs = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir"))
            dir = args[++i];
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[++i].toInt());
    }
    try {
        return parent(dir, runs);
    } catch (const zarn::Error &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
}
