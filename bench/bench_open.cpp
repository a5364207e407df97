// The use-right form on a unit of 100 000 parcels made as `zarn-db demo
// --units 1 --parcels 100000` makes it, measured the way a surveyor meets it,
// each figure in a process of its own and the median of several runs:
//   - time to window: from the data module to the form on screen, against a
//     raw fetch of the columns the form reads before it shows (the keys), and
//     of every column of the same statement through the SQLite C interface and
//     the sqlite3 command line to /dev/null (and `psql -A -t` with --pg);
//     bench_window times the same from the host's process start on a display;
//   - the session's peak memory against that of a unit without rows;
//   - the locate dialog's opening, a type-ahead and 末记录 in its grid;
//   - 新增 and a move with its boundary-point recount against a unit of 1000.
//
//   bench_open [--dir DIR] [--runs N] [--pg CONNECTION]
//
// DIR (default $ZARN_BENCH_DIR, else /tmp/zarn-bench) keeps the two SQLite
// databases between runs; they are made on the first run (a minute or two).
// CONNECTION names a PostgreSQL database, filled the same way when it has no
// survey tables. Take figures on a quiet machine.
#include "bench_options.h"
#include "data/connection.h"
#include "data/connection_string.h"
#include "data/errors.h"
#include "dialogs/locate_dialog.h"
#include "forms/form_factory.h"
#include "schema/statements.h"
#include "session/session_context.h"
#include "widgets/db_grid.h"
#include "widgets/messages.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/survey_ddl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWindow>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace {

const QString kUnit = QStringLiteral("320102001001"); // demo unit 0
const QString kEmptyUnit = QStringLiteral("320102999999");
// The host asks for a parcel: the 50 000th of the unit, as the demo numbers them.
const QString kParcel = QStringLiteral("0010060000");

void say(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

qint64 peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QString sqliteConnection(const QString &file)
{
    return QStringLiteral("Provider=SQLite;Data Source=") + file;
}

// ---------------------------------------------------------------- children

// The forms' list as plain text, for the raw clients: the names as created,
// unquoted, so that each database folds them as it did then.
QString listStatement()
{
    static const QString text = [] {
        const QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-list"));
        return zarn::selectText(zarn::sql::djdcListUseRight, db, {}).remove(QLatin1Char('"'));
    }();
    return text;
}

// What the row store reads before the form shows, for a unit without
// sub-units: the key columns, in index order, and the values they bind.
QString keyStatement()
{
    static const QString text = [] {
        const QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-keys"));
        zarn::DeclaredQuery keys = zarn::sql::djdcListUseRight;
        keys.filter = keys.exactFilter;
        return zarn::selectText(keys, db, {}, QStringLiteral("id, zdbh")).remove(QLatin1Char('"'));
    }();
    return text;
}

QVariantList keyValues(const QString &unit)
{
    const QVariantList all = zarn::unitcode::unitListParams(unit);
    QVariantList out;
    for (int i : zarn::sql::djdcListUseRight.exactValues)
        out << all.value(i);
    return out;
}

// The statement with its values as literals, for the command-line clients
// (the values are digits and a pattern of our own: nothing to escape).
QString literalStatement(const QString &unit)
{
    QString sql = listStatement();
    for (const QVariant &v : zarn::unitcode::unitListParams(unit))
        sql.replace(sql.indexOf(QLatin1Char('?')), 1,
                    QLatin1Char('\'') + v.toString() + QLatin1Char('\''));
    return sql;
}

// keysOnly: the columns the form reads before it shows, else every column.
int rawFetch(const QString &file, const QString &unit, bool keysOnly)
{
    QElapsedTimer t;
    t.start();
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, (keysOnly ? keyStatement() : listStatement()).toUtf8().constData(), -1,
                       &st, nullptr);
    const QVariantList params = keysOnly ? keyValues(unit) : zarn::unitcode::unitListParams(unit);
    QList<QByteArray> bound;
    for (int i = 0; i < params.size(); ++i) {
        bound << params[i].toString().toUtf8();
        sqlite3_bind_text(st, i + 1, bound.last().constData(), int(bound.last().size()),
                          SQLITE_STATIC);
    }
    qint64 rows = 0, bytes = 0;
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < n; ++c) {
            sqlite3_column_text(st, c); // as the command line prints them
            bytes += sqlite3_column_bytes(st, c);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    say(QStringLiteral("%1 %2 %3").arg(t.nsecsElapsed() / 1e6).arg(peakKb()).arg(rows));
    return rows > 0 || unit == kEmptyUnit ? 0 : 1;
}

void waitExposed(QWidget *w)
{
    QElapsedTimer t;
    t.start();
    while ((!w->windowHandle() || !w->windowHandle()->isExposed()) && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

void click(QWidget *form, const char *button)
{
    form->findChild<QAbstractButton *>(QString::fromLatin1(button))->click();
}

void type(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, c);
        QCoreApplication::sendEvent(w, &press);
    }
}

// One session: the session context, the connection, the form on screen; then,
// by what is asked, the locate dialog, 新增 or moves.
int session(const QString &what, const QString &connection, const QString &unit, int count)
{
    zarn::ui::RecordingMessageService messages;
    QElapsedTimer t;
    t.start();
    auto context = std::make_unique<zarn::SessionContext>();
    context->unitCode = unit;
    context->parcelNumber = kParcel;
    context->connection.setConnectionString(connection);
    context->connection.open();
    QDialog *form = zarn::createSurveyForm(*context, nullptr);
    form->show();
    waitExposed(form);
    const double open = t.nsecsElapsed() / 1e6;
    double a = 0, b = 0, c = 0;
    if (what == QLatin1String("locate")) {
        t.restart();
        auto *dialog = new LocateDialog(*context, form);
        dialog->show();
        waitExposed(dialog);
        a = t.nsecsElapsed() / 1e6;
        dialog->grid->setFocus();
        t.restart();
        dialog->grid->setSearchPause(60000);
        type(dialog->grid, QStringLiteral("0010080000")); // the 70 000th parcel
        b = t.nsecsElapsed() / 1e6;
        if (context->surveyRows.text(QStringLiteral("zdbh")) != QLatin1String("0010080000"))
            return 1;
        t.restart();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(dialog->grid, &end);
        QCoreApplication::processEvents();
        c = t.nsecsElapsed() / 1e6;
        if (context->surveyRows.recNo() != context->surveyRows.recordCount() - 1) return 1;
        delete dialog;
    } else if (what == QLatin1String("new") || what == QLatin1String("move")) {
        const bool adding = what == QLatin1String("new");
        zarn::Dataset q(&context->connection);
        q.setSql(zarn::sql::djdcMaxId);
        q.open();
        const qint64 before = q.value(0).toLongLong();
        q.close();
        t.restart();
        for (int i = 0; i < count; ++i)
            click(form, adding ? "spbNew" : "spbNext");
        a = t.nsecsElapsed() / 1e6 / count;
        if (adding) {
            q.setSql(QStringLiteral("delete from T_DJDCB where id > ?"), {before});
            q.execute();
        }
    }
    const qint64 peak = peakKb();
    for (const auto &r : std::as_const(messages.records))
        std::fprintf(stderr, "message: %s\n", r.text.toUtf8().constData());
    delete form;
    context.reset();
    say(QStringLiteral("%1 %2 %3 %4 %5").arg(open).arg(peak).arg(a).arg(b).arg(c));
    return messages.records.isEmpty() ? 0 : 1;
}

// ---------------------------------------------------------------- parent

struct Figures {
    QList<double> v[5];
    double median(int i) const
    {
        QList<double> s = v[i];
        std::sort(s.begin(), s.end());
        return s.isEmpty() ? 0 : s[s.size() / 2];
    }
};

bool runChild(const QStringList &args, Figures &into)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + args);
    p.waitForFinished(-1);
    const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
    if (p.exitCode() != 0 || out.size() < 2) {
        say(QStringLiteral("  %1 failed").arg(args.join(' ')));
        return false;
    }
    for (int i = 0; i < 5 && i < out.size(); ++i)
        into.v[i] << out[i].toDouble();
    return true;
}

double timeProcess(const QString &program, const QStringList &args, const QStringList &env = {})
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    if (!env.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &kv : env)
            e.insert(kv.section('=', 0, 0), kv.section('=', 1));
        p.setProcessEnvironment(e);
    }
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(-1);
    return p.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

void fill(const QString &connection, int parcels)
{
    say(QStringLiteral("making a unit of %1 parcels: %2").arg(parcels).arg(connection));
    zarn::dbsetup::createSqliteFileIfMissing(connection);
    zarn::Connection c;
    c.setConnectionString(connection);
    c.open();
    if (zarn::dbsetup::existingSurveyTables(c).isEmpty()) zarn::dbsetup::createSurveyDatabase(c);
    zarn::demo::fillDemoData(c, {1, parcels, 7});
}

void clearEmptyUnit(const QString &connection)
{
    zarn::Connection c;
    c.setConnectionString(connection);
    c.open();
    QSqlQuery q(c.database());
    q.prepare(QStringLiteral("delete from T_DJDCB where dwdm = ?"));
    q.addBindValue(kEmptyUnit);
    q.exec();
}

int parent(const QString &dir, int runs, const QString &pg)
{
    QDir().mkpath(dir);
    const QString bigFile = dir + QStringLiteral("/big.db");
    const QString smallFile = dir + QStringLiteral("/small.db");
    if (!QFile::exists(bigFile)) fill(sqliteConnection(bigFile), 100000);
    if (!QFile::exists(smallFile)) fill(sqliteConnection(smallFile), 1000);
    const QString big = sqliteConnection(bigFile), small = sqliteConnection(smallFile);

    Figures open, empty, raw, rawKeys, locate, addBig, addSmall, moveBig, moveSmall;
    QList<double> cli;
    for (int i = 0; i < runs; ++i) {
        runChild({"raw", bigFile, kUnit}, raw);
        runChild({"rawkeys", bigFile, kUnit}, rawKeys);
        cli << timeProcess(QStringLiteral("sqlite3"), {bigFile, literalStatement(kUnit)});
        runChild({"open", big, kUnit}, open);
        runChild({"open", big, kEmptyUnit}, empty);
        clearEmptyUnit(big);
    }
    std::sort(cli.begin(), cli.end());
    const double cliMs = cli.value(cli.size() / 2);
    say(QStringLiteral("SQLite, unit %1 of %2 rows, median of %3 runs:")
            .arg(kUnit)
            .arg(raw.median(2))
            .arg(runs));
    say(QStringLiteral("  raw fetch of all columns, C     %1 ms").arg(raw.median(0), 8, 'f', 1));
    say(QStringLiteral("  sqlite3 command line            %1 ms").arg(cliMs, 8, 'f', 1));
    say(QStringLiteral("  use-right form on screen        %1 ms   %2x the C interface, %3x the "
                       "command line (goal <= 0.25x)")
            .arg(open.median(0), 8, 'f', 1)
            .arg(open.median(0) / raw.median(0), 0, 'f', 3)
            .arg(open.median(0) / cliMs, 0, 'f', 3));
    say(QStringLiteral("  the form on a unit without rows  %1 ms").arg(empty.median(0), 7, 'f', 1));
    say(QStringLiteral("  raw fetch of the key columns    %1 ms; the rows cost the form %2 ms, "
                       "%3x it (goal <= 1.0x)")
            .arg(rawKeys.median(0), 8, 'f', 1)
            .arg(open.median(0) - empty.median(0), 0, 'f', 1)
            .arg((open.median(0) - empty.median(0)) / rawKeys.median(0), 0, 'f', 2));
    say(QStringLiteral("  peak memory: %1 MB; unit without rows %2 MB; difference %3 MB (goal "
                       "<= 80 MB)")
            .arg(open.median(1) / 1024, 0, 'f', 1)
            .arg(empty.median(1) / 1024, 0, 'f', 1)
            .arg((open.median(1) - empty.median(1)) / 1024, 0, 'f', 1));

    for (int i = 0; i < runs; ++i) {
        runChild({"locate", big, kUnit}, locate);
        runChild({"new", big, kUnit, "20"}, addBig);
        runChild({"new", small, kUnit, "20"}, addSmall);
        runChild({"move", big, kUnit, "300"}, moveBig);
        runChild({"move", small, kUnit, "300"}, moveSmall);
    }
    say(QStringLiteral(
            "  locate dialog on screen %1 ms, type-ahead of 10 digits %2 ms, 末记录 %3 ms")
            .arg(locate.median(2), 0, 'f', 1)
            .arg(locate.median(3), 0, 'f', 1)
            .arg(locate.median(4), 0, 'f', 1));
    say(QStringLiteral("  新增 %1 ms on 100 000 rows, %2 ms on 1000: %3x (goal <= 1.2x)")
            .arg(addBig.median(2), 0, 'f', 2)
            .arg(addSmall.median(2), 0, 'f', 2)
            .arg(addBig.median(2) / addSmall.median(2), 0, 'f', 2));
    say(QStringLiteral("  下记录 with its recount %1 ms on 100 000 rows, %2 ms on 1000: %3x "
                       "(goal <= 1.1x)")
            .arg(moveBig.median(2), 0, 'f', 3)
            .arg(moveSmall.median(2), 0, 'f', 3)
            .arg(moveBig.median(2) / moveSmall.median(2), 0, 'f', 2));

    if (pg.isEmpty()) return 0;
    const zarn::ConnectionSettings s = zarn::mapConnectionString(pg, false);
    {
        zarn::Connection c;
        c.setConnectionString(pg);
        c.open();
        if (zarn::dbsetup::existingSurveyTables(c).isEmpty()) {
            c.close();
            fill(pg, 100000);
        }
    }
    Figures pgOpen, pgEmpty;
    QList<double> psql;
    const QStringList psqlArgs = {
        QStringLiteral("-h"), s.hostName,           QStringLiteral("-p"), QString::number(s.port),
        QStringLiteral("-U"), s.userName,           QStringLiteral("-d"), s.databaseName,
        QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-c"), literalStatement(kUnit)};
    const QStringList env = {QStringLiteral("PGOPTIONS=-c search_path=zarn,public"),
                             QStringLiteral("PGPASSWORD=") + s.password};
    for (int i = 0; i < runs; ++i) {
        psql << timeProcess(QStringLiteral("psql"), psqlArgs, env);
        runChild({"open", pg, kUnit}, pgOpen);
        runChild({"open", pg, kEmptyUnit}, pgEmpty);
        clearEmptyUnit(pg);
    }
    std::sort(psql.begin(), psql.end());
    const double psqlMs = psql.value(psql.size() / 2);
    say(QStringLiteral("PostgreSQL, the same unit:"));
    say(QStringLiteral("  psql -A -t to /dev/null         %1 ms").arg(psqlMs, 8, 'f', 1));
    say(QStringLiteral("  use-right form on screen        %1 ms   %2x psql (goal <= 0.3x)")
            .arg(pgOpen.median(0), 8, 'f', 1)
            .arg(pgOpen.median(0) / psqlMs, 0, 'f', 3));
    say(QStringLiteral("  peak memory: %1 MB; unit without rows %2 MB; difference %3 MB")
            .arg(pgOpen.median(1) / 1024, 0, 'f', 1)
            .arg(pgEmpty.median(1) / 1024, 0, 'f', 1)
            .arg((pgOpen.median(1) - pgEmpty.median(1)) / 1024, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "--child") {
        const QString what = QString::fromLocal8Bit(argv[2]);
        if ((what == QLatin1String("raw") || what == QLatin1String("rawkeys")) && argc > 4)
            return rawFetch(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                            what == QLatin1String("rawkeys"));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        try {
            return session(what, QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                           argc > 5 ? std::max(1, atoi(argv[5])) : 1);
        } catch (const zarn::Error &e) {
            std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    return zarn::bench::runParent(app, parent);
}
