// Cost of zarn-db demo: a new SQLite survey database filled with N parcels
// and their attached rows in one transaction (about 17 rows per parcel).
// The PostgreSQL figure comes from `zarn-db demo` against a server by hand.
#include "data/connection.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/survey_ddl.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void BM_DemoSqlite(benchmark::State &state)
{
    const int parcels = int(state.range(0));
    qint64 rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        QFile(file).open(QIODevice::WriteOnly);
        zarn::Connection conn;
        conn.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + file);
        conn.open();
        zarn::dbsetup::createSurveyDatabase(conn);
        state.ResumeTiming();

        const auto s = zarn::demo::fillDemoData(conn, {0, parcels, 1});
        rows += s.parcels + s.superseded + s.markers + s.designations + s.sides + s.holders;

        state.PauseTiming();
        conn.close();
        state.ResumeTiming();
    }
    state.counters["rows/s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsRate);
    state.SetItemsProcessed(state.iterations() * parcels);
}
BENCHMARK(BM_DemoSqlite)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
