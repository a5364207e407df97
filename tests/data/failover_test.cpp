// A primary PostgreSQL server and its streaming standby, named together in one
// connection string: the primary dies with typing pending on the use-right
// form's dataset, the standby is promoted, and the typing is stored there once.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "schema/survey_statements.h"
#include "schema/unit_code.h"
#include "support/backends.h"
#include "support/tempdir.h"
#include "zarn-db/survey_ddl.h"

#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using namespace zarn;
using zarn::test::Backend;

namespace {

const QString kUnit = QStringLiteral("110101001001");

// Runs scripts/pg-server and gives what it printed (a port, or nothing).
QString pgServer(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("bash"), QStringList{QStringLiteral(ZARN_PG_SERVER)} + args);
    p.waitForFinished(180000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw Error(QStringLiteral("pg-server %1: %2")
                        .arg(args.join(' '), QString::fromLocal8Bit(p.readAllStandardError())));
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

QString oneServer(const QString &port)
{
    return QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1/zarn_test;User ID=postgres;"
                          "Password=")
        .arg(port);
}

// How the workstation names the two servers.
struct Naming {
    const char *name;
    bool standbyFirst;
    bool separateKeys; // Host=…;Port=… instead of Data Source=host:port,…/db
    friend void PrintTo(const Naming &n, std::ostream *os) { *os << n.name; }
};

QString twoServers(const Naming &n, const QString &primary, const QString &standby)
{
    const QString first = n.standbyFirst ? standby : primary;
    const QString second = n.standbyFirst ? primary : standby;
    if (n.separateKeys)
        return QStringLiteral("Provider=PostgreSQL;Host=127.0.0.1, 127.0.0.1;Port=%1,%2;"
                              "Database=zarn_test;User ID=postgres;Password=")
            .arg(first, second);
    return QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1,127.0.0.1:%2/zarn_test;"
                          "User ID=postgres;Password=")
        .arg(first, second);
}

qint64 countOn(Connection &c, const QString &where, const QVariantList &params)
{
    Dataset q(&c);
    q.setSql(QStringLiteral("select count(*) as n from T_DJDCB where ") + where, params);
    q.open();
    return q.field("n").asInteger();
}

class FailoverTest : public ::testing::TestWithParam<Naming> {
protected:
    void SetUp() override
    {
        if (const QString why = zarn::test::unavailableReason(Backend::Postgres); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        // The servers run as the postgres user, who must reach their folders.
        QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther |
                                                QFile::ExeOther | QFile::ReadGroup |
                                                QFile::ExeGroup);
        m_primaryDir = m_dir.file(QStringLiteral("primary"));
        m_standbyDir = m_dir.file(QStringLiteral("standby"));
        m_primary = pgServer({QStringLiteral("start"), m_primaryDir});
        Connection admin;
        admin.setConnectionString(oneServer(m_primary));
        admin.open();
        dbsetup::createSurveyDatabase(admin);
        m_standby = pgServer({QStringLiteral("standby"), m_primaryDir, m_standbyDir});
    }
    void TearDown() override
    {
        for (const QString &dir : {m_standbyDir, m_primaryDir})
            if (!dir.isEmpty()) pgServer({QStringLiteral("stop"), dir});
    }

    // Waits until the standby has replayed a row the primary holds.
    void awaitOnStandby(int id)
    {
        Connection standby;
        standby.setConnectionString(oneServer(m_standby));
        standby.open();
        for (int i = 0; i < 1000; ++i) {
            if (countOn(standby, QStringLiteral("id = ?"), {id}) == 1) return;
            QThread::msleep(10);
        }
        FAIL() << "the standby did not receive row " << id;
    }

    zarn::test::TempDir m_dir;
    QString m_primaryDir, m_standbyDir, m_primary, m_standby;
};

void expectReadOnlyForNow(Dataset &ds, Dataset::State pending, const QString &typed)
{
    try {
        ds.post();
        FAIL() << "stored on a standby";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.kind(), RefusalKind::ReadOnly) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("暂时只允许查阅")));
        // Refused here, not by the server: nothing was sent to it.
        EXPECT_TRUE(e.refusal().nativeCode.isEmpty()) << e.refusal().nativeCode.toStdString();
    }
    EXPECT_EQ(ds.state(), pending);
    EXPECT_EQ(ds.text("qlr"), typed);
}

} // namespace

TEST_P(FailoverTest, TheTypingOnTheFormIsStoredOnceOnThePromotedStandby)
{
    Connection conn;
    conn.setConnectionString(twoServers(GetParam(), m_primary, m_standby));
    conn.open();
    EXPECT_FALSE(conn.isOnStandby()); // whichever is named first, the primary takes the writes

    auto formDataset = [&] {
        auto ds = std::make_unique<Dataset>(&conn);
        ds->setQuery(sql::djdcListUseRight, unitcode::unitListParams(kUnit));
        ds->open();
        return ds;
    };
    auto typeNewRow = [](Dataset &ds, int id, const QString &qlr) {
        ds.append();
        ds.setValue("id", id);
        ds.setValue("dwdm", kUnit);
        ds.setValue("zdbh", QStringLiteral("%1").arg(id, 19, 10, QLatin1Char('0')));
        ds.setValue("qlr", qlr);
    };
    auto sheet = formDataset();
    typeNewRow(*sheet, 1, QStringLiteral("张三"));
    sheet->post();
    typeNewRow(*sheet, 4, QStringLiteral("李四"));
    sheet->post();

    // A second workstation changes a parcel number: with the form's check of
    // the number, its store begins a transaction, the first thing it sends.
    Connection second;
    second.setConnectionString(conn.connectionString());
    second.open();
    Dataset renumbered(&second);
    renumbered.setQuery(sql::djdcListUseRight, unitcode::unitListParams(kUnit));
    renumbered.open();
    renumbered.setWriteCheck(
        [](Dataset &t) {
            EXPECT_EQ(countOn(*t.connection(), QStringLiteral("zdbh = ?"), {t.text("zdbh")}), 0);
        },
        {QStringLiteral("zdbh")});
    ASSERT_TRUE(renumbered.locate(QStringLiteral("id"), 4));
    renumbered.edit();
    renumbered.setValue("zdbh", QStringLiteral("0000000000000000444"));
    renumbered.setValue("qlr", QStringLiteral("李四改"));

    // Typing on the sheet; a new row in an editor; and a new row whose insert
    // reached the primary, and its standby, before the primary died unanswered.
    ASSERT_TRUE(sheet->locate(QStringLiteral("id"), 1));
    sheet->edit();
    sheet->setValue("qlr", QStringLiteral("王五"));
    auto editor = formDataset();
    typeNewRow(*editor, 2, QStringLiteral("新户"));
    auto landed = formDataset();
    typeNewRow(*landed, 3, QStringLiteral("已到"));
    {
        Connection other;
        other.setConnectionString(oneServer(m_primary));
        other.open();
        Dataset first(&other);
        first.setQuery(sql::djdcListUseRight, unitcode::unitListParams(kUnit));
        first.open();
        typeNewRow(first, 3, QStringLiteral("已到"));
        first.post();
    }
    awaitOnStandby(3);
    pgServer({QStringLiteral("crash"), m_primaryDir});

    // Found by its key on the standby: not sent again, and no write was needed.
    landed->post();
    EXPECT_EQ(landed->state(), Dataset::State::Browse);
    EXPECT_TRUE(conn.isOnStandby());

    // Only the standby is left, not yet promoted: the database is read-only
    // for now, and what was typed stays pending.
    expectReadOnlyForNow(*sheet, Dataset::State::Edit, QStringLiteral("王五"));
    expectReadOnlyForNow(*editor, Dataset::State::Insert, QStringLiteral("新户"));
    expectReadOnlyForNow(renumbered, Dataset::State::Edit, QStringLiteral("李四改"));
    EXPECT_TRUE(second.isOnStandby());
    // A workstation starting now lands on the standby, whether it names both
    // servers or the standby alone, and writes nothing there.
    for (const QString &text : {conn.connectionString(), oneServer(m_standby)}) {
        Connection late;
        late.setConnectionString(text);
        late.open();
        EXPECT_TRUE(late.isOnStandby());
        // The caller's word decides: a read runs there, and a statement
        // declared a write is not sent, whatever its text.
        const QString count = QStringLiteral("select count(*) from T_DJDCB");
        EXPECT_NO_THROW(late.exec(Access::Read, count, {}, true));
        try {
            late.exec(Access::Write, count, {}, false);
            ADD_FAILURE() << "a write was sent to a standby";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.kind(), RefusalKind::ReadOnly);
        }
        Dataset purge(&late);
        purge.setSql(QStringLiteral("delete from T_DJDCB where id = ?"), {1});
        try {
            purge.execute();
            ADD_FAILURE() << "a delete was run on a standby";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.kind(), RefusalKind::ReadOnly);
            EXPECT_TRUE(e.refusal().nativeCode.isEmpty());
        }
    }

    pgServer({QStringLiteral("promote"), m_standbyDir});
    sheet->post();
    editor->post();
    renumbered.post();
    EXPECT_FALSE(conn.isOnStandby());
    EXPECT_FALSE(second.isOnStandby());

    Connection promoted;
    promoted.setConnectionString(oneServer(m_standby));
    promoted.open();
    EXPECT_EQ(countOn(promoted, QStringLiteral("id = 1 and qlr = ?"), {QStringLiteral("王五")}), 1);
    EXPECT_EQ(countOn(promoted, QStringLiteral("id = 2 and qlr = ?"), {QStringLiteral("新户")}), 1);
    EXPECT_EQ(countOn(promoted, QStringLiteral("id = 3"), {}), 1);
    EXPECT_EQ(countOn(promoted, QStringLiteral("id = 4 and zdbh = ? and qlr = ?"),
                      {QStringLiteral("0000000000000000444"), QStringLiteral("李四改")}),
              1);
    EXPECT_EQ(countOn(promoted, QStringLiteral("1 = 1"), {}), 4);
}

INSTANTIATE_TEST_SUITE_P(Naming, FailoverTest,
                         ::testing::Values(Naming{"DataSourceList", false, false},
                                           Naming{"HostAndPortKeysStandbyFirst", true, true}),
                         [](const auto &info) { return std::string(info.param.name); });
