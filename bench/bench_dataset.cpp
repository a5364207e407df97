// Cost of the dataset on a large unit: opening 100 000 survey rows, moving
// through them, reading fields, locating, and a grid model asked only for the
// rows on screen.
#include "data/connection.h"
#include "data/dataset.h"
#include "widgets/dataset_model.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QString file;
    zarn::Connection conn;
    explicit Fixture(int rows)
    {
        file = dir.filePath("bench.db");
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.close();
        conn.setConnectionString("Provider=SQLite;Data Source=" + file);
        conn.open();
        QSqlQuery q(conn.database());
        q.exec("create table T_DJDCB (id integer primary key, dwdm varchar(20), zdbh varchar(30), "
               "qlr varchar(100), tdzl varchar(200), jzdgs integer, bgrq varchar(10))");
        conn.transaction([&] {
            q.prepare(
                "insert into T_DJDCB (id, dwdm, zdbh, qlr, tdzl, jzdgs) values (?, ?, ?, ?, ?, ?)");
            for (int i = 1; i <= rows; ++i) {
                q.bindValue(0, i);
                q.bindValue(1, QStringLiteral("320102003004"));
                q.bindValue(2, QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')));
                q.bindValue(3, QStringLiteral("土地使用者%1").arg(i));
                q.bindValue(4, QStringLiteral("南京市秦淮区某某路%1号").arg(i));
                q.bindValue(5, i % 12);
                q.exec();
            }
        });
    }
};

Fixture &fixture()
{
    static Fixture f(100000);
    return f;
}

void BM_OpenUnit(benchmark::State &state)
{
    Fixture &f = fixture();
    zarn::Dataset ds(&f.conn);
    ds.setQuery({.table = QStringLiteral("T_DJDCB"),
                 .filter = QStringLiteral("dwdm like ?"),
                 .order = {{.column = QStringLiteral("zdbh")}}},
                {"320102003004%"});
    for (auto _ : state) {
        ds.open();
        benchmark::DoNotOptimize(ds.recordCount());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_OpenUnit)->Unit(benchmark::kMillisecond);

void BM_WalkAndReadEveryRow(benchmark::State &state)
{
    Fixture &f = fixture();
    zarn::Dataset ds(&f.conn);
    ds.setQuery(
        {.table = QStringLiteral("T_DJDCB"), .order = {{.column = QStringLiteral("zdbh")}}});
    ds.open();
    for (auto _ : state) {
        qint64 sum = 0;
        for (ds.first(); !ds.eof(); ds.next())
            sum += ds.field("jzdgs").asInteger();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_WalkAndReadEveryRow)->Unit(benchmark::kMillisecond);

void BM_LocateLastParcel(benchmark::State &state)
{
    Fixture &f = fixture();
    zarn::Dataset ds(&f.conn);
    ds.setQuery(
        {.table = QStringLiteral("T_DJDCB"), .order = {{.column = QStringLiteral("zdbh")}}});
    ds.open();
    for (auto _ : state)
        benchmark::DoNotOptimize(ds.locate("zdbh", "0000100000"));
}
BENCHMARK(BM_LocateLastParcel)->Unit(benchmark::kMillisecond);

void BM_GridModelScreenful(benchmark::State &state)
{
    Fixture &f = fixture();
    zarn::Dataset ds(&f.conn);
    ds.setQuery(
        {.table = QStringLiteral("T_DJDCB"), .order = {{.column = QStringLiteral("zdbh")}}});
    ds.open();
    zarn::ui::DatasetModel model;
    model.setDataset(&ds);
    int top = 0;
    for (auto _ : state) {
        // One screen of 30 rows and 7 columns, scrolled a page at a time.
        for (int r = top; r < top + 30; ++r)
            for (int c = 0; c < model.columnCount(); ++c)
                benchmark::DoNotOptimize(model.data(model.index(r, c)));
        top = (top + 30) % (model.rowCount() - 30);
    }
}
BENCHMARK(BM_GridModelScreenful)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
