// Typing a parcel number into the locate grid of a 100 000-row unit: each
// keystroke searches the rows once, the worst case being a parcel near the
// end whose current version has to be looked for past its older ones.
#include "data/connection.h"
#include "data/dataset.h"
#include "widgets/data_source.h"
#include "widgets/db_grid.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_TypeAParcelNumberIntoTheLocateGrid(benchmark::State &state)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("bench.db"));
    file.open(QIODevice::WriteOnly); // the connection opens files that exist
    file.close();
    zarn::Connection conn;
    conn.setConnectionString("Provider=SQLite;Data Source=" + file.fileName());
    conn.open();
    QSqlQuery q(conn.database());
    q.exec("create table T_DJDCB (id integer primary key, dwdm varchar(12), zdbh varchar(10), "
           "bgrq varchar(8))");
    conn.transaction([&] {
        q.prepare("insert into T_DJDCB (id, dwdm, zdbh, bgrq) values (?, '320102003004', ?, ?)");
        for (int i = 1; i <= 100000; ++i) {
            q.bindValue(0, i);
            q.bindValue(1, QStringLiteral("%1").arg(i / 2, 10, 10, QLatin1Char('0')));
            q.bindValue(2, i % 2 ? QVariant() : QVariant(QStringLiteral("20050301")));
            q.exec();
        }
    });
    zarn::Dataset ds(&conn);
    ds.setQuery(
        {.table = QStringLiteral("T_DJDCB"), .order = {{.column = QStringLiteral("zdbh")}}});
    ds.open();
    zarn::ui::DataSource source(&ds);
    zarn::ui::DBGrid grid;
    grid.setSearchColumn("zdbh");
    grid.setSearchPreferNull("bgrq", {"dwdm"});
    grid.setDataSource(&source);
    const QString number = QStringLiteral("0000049990");
    for (auto _ : state) {
        grid.setSearchColumn("zdbh"); // a new search, as after a pause
        for (const QChar c : number) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + c.digitValue(), Qt::NoModifier, c);
            QApplication::sendEvent(&grid, &key);
        }
    }
    state.SetItemsProcessed(state.iterations() * number.size());
    q.finish();
}
BENCHMARK(BM_TypeAParcelNumberIntoTheLocateGrid)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
