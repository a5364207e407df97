// The quality check on the demo survey: a clean unit gives no finding, and
// each fault planted into it gives exactly its finding, on the parcel it was
// planted on, and nothing else.
#include "data/connection.h"
#include "schema/numbering.h"
#include "schema/quality_checks.h"
#include "schema/value_checks.h"
#include "support/scratch_db.h"
#include "zarn-db/demo_data.h"

#include <QSet>
#include <gtest/gtest.h>

#include <functional>

using namespace zarn;
using namespace zarn::test;

namespace {

// Two units of one street: the check is run on the street, and so covers a
// unit and its sub-units; faults are planted in the second unit.
const QString kStreet = demo::demoUnitCode(0).left(9);
const QString kUnit = demo::demoUnitCode(1);

struct Parcels {
    QString plain; // a current use-right row, 5 or more markers, no co-users, no old version
    qint64 plainId = 0;
    QString owned; // a current ownership row
    qint64 ownedId = 0;
    QString changed; // a parcel with a superseded version
};

struct Plant {
    const char *code;
    // Changes the survey; gives the parcel numbers the finding must come out on.
    std::function<QStringList(Connection &, const Parcels &)> plant;
};

void run(Connection &c, const QString &sql, const QVariantList &params)
{
    c.exec(zarn::Access::Write, sql, params, false);
}

QString text(Connection &c, const QString &sql, const QVariantList &params)
{
    return scalar(c, sql, params).toString();
}

// An identity card number with a wrong check character.
QString wrongCheckDigit()
{
    const QString first17 = QStringLiteral("11010519491231002");
    const QChar right = checks::idCardCheckCharacter(first17);
    return first17 + (right == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1'));
}

const QString kSetPlain = QStringLiteral("update T_DJDCB set %1 = ? where id = ?");

QStringList setPlain(Connection &c, const Parcels &p, const char *column, const QVariant &v)
{
    run(c, kSetPlain.arg(QLatin1String(column)), {v, p.plainId});
    return {p.plain};
}

const QList<Plant> kPlants = {
    {"WZ01", [](Connection &c, const Parcels &p) { return setPlain(c, p, "TDZL", "000"); }},
    {"WZ01",
     [](Connection &c, const Parcels &p) {
         run(c, kSetPlain.arg(QStringLiteral("qsmc")), {QVariant(), p.ownedId});
         return QStringList{p.owned};
     }},
    {"GS01",
     [](Connection &c, const Parcels &p) { return setPlain(c, p, "FRSFZM", wrongCheckDigit()); }},
    {"GS01",
     [](Connection &c, const Parcels &p) {
         const QString first17 = QStringLiteral("11010519490231002");
         return setPlain(c, p, "DLRSFZ", first17 + checks::idCardCheckCharacter(first17));
     }},
    {"GS02", [](Connection &c, const Parcels &p) { return setPlain(c, p, "KZRQ", "20230231"); }},
    {"GS03", [](Connection &c, const Parcels &p) { return setPlain(c, p, "QLRYB", "21000"); }},
    {"GS04",
     [](Connection &c, const Parcels &p) {
         setPlain(c, p, "DCRQ", "20200105");
         setPlain(c, p, "KZRQ", "20200110");
         return setPlain(c, p, "DCSHRQ", "20200108");
     }},
    {"GS05",
     [](Connection &c, const Parcels &p) {
         // A number past the unit's 9999th carries into the unit code, as
         // the forms number it: that one is right, a foreign one is not.
         run(c, kSetPlain.arg(QStringLiteral("DCBH")),
             {kUnit.left(11) + QStringLiteral("30001"), p.ownedId});
         return setPlain(c, p, "DCBH", QStringLiteral("99") + p.plain);
     }},
    {"GS06",
     [](Connection &c, const Parcels &p) {
         // A number below the unit's first, carried with its attached rows.
         const QString to = QStringLiteral("0000000001");
         for (const char *t : {"T_DJDCB", "T_JZBSB", "T_ZJB", "T_SZB", "T_GYQ"})
             run(c,
                 QStringLiteral("update %1 set ZDBH = ? where ZDBH = ? and dwdm = ?")
                     .arg(QLatin1String(t)),
                 {to, p.plain, kUnit});
         return QStringList{to};
     }},
    {"BH01",
     [](Connection &c, const Parcels &p) {
         // The same parcel as an ownership table too (made by a second form
         // at the same moment): both rows are found.
         const QString next = numbering::nextSurveyNumber(
             text(c, QStringLiteral("select max(DCBH) from T_DJDCB where dwdm = ?"), {kUnit}));
         run(c,
             QStringLiteral("insert into T_DJDCB (id, DWDM, ZDBH, DCBH, dcblx, qsmc, QSDCY, DCRQ, "
                            "JZDGS, QLRZS) select 900000, DWDM, ZDBH, ?, 1, '某村农民集体', "
                            "QSDCY, DCRQ, JZDGS, QLRZS from T_DJDCB where id = ?"),
             {next, p.plainId});
         return QStringList{p.plain};
     }},
    {"BH02",
     [](Connection &c, const Parcels &p) {
         run(c,
             QStringLiteral("update T_DJDCB set DCBH = (select DCBH from T_DJDCB where dwdm = ? "
                            "and ZDBH = ? and bgrq is not null) where dwdm = ? and ZDBH = ? and "
                            "bgrq is null"),
             {kUnit, p.changed, kUnit, p.changed});
         return QStringList{p.changed};
     }},
    {"JZ01",
     [](Connection &c, const Parcels &p) {
         run(c, QStringLiteral("update T_DJDCB set JZDGS = JZDGS + 1 where id = ?"), {p.plainId});
         return QStringList{p.plain};
     }},
    {"JZ02",
     [](Connection &c, const Parcels &p) {
         // The last marker leaps ahead: a gap, the boundary's order kept.
         run(c,
             QStringLiteral("update T_JZBSB set XH = XH + 10 where ZDBH = ? and dwdm = ? and XH = "
                            "(select max(XH) from T_JZBSB where ZDBH = ? and dwdm = ?)"),
             {p.plain, kUnit, p.plain, kUnit});
         return QStringList{p.plain};
     }},
    {"JZ03",
     [](Connection &c, const Parcels &p) {
         run(c,
             QStringLiteral(
                 "delete from T_ZJB where id = (select min(id) from T_ZJB where ZDBH = ? "
                 "and dwdm = ?)"),
             {p.plain, kUnit});
         return QStringList{p.plain};
     }},
    {"JZ04",
     [](Connection &c, const Parcels &p) {
         run(c,
             QStringLiteral(
                 "update T_SZB set FWSX = '东' where ZDBH = ? and dwdm = ? and FWSX = '西'"),
             {p.plain, kUnit});
         return QStringList{p.plain};
     }},
    {"GY01", [](Connection &c, const Parcels &p) { return setPlain(c, p, "QLRZS", 2); }},
    {"DM01",
     [](Connection &c, const Parcels &p) { return setPlain(c, p, "QSXZ", "国有土地所有"); }},
    {"DM02", [](Connection &c, const Parcels &p) { return setPlain(c, p, "DWXZ", "外资"); }},
    {"DM03", [](Connection &c, const Parcels &p) { return setPlain(c, p, "TDYTDM", "9999"); }},
    {"DM04",
     [](Connection &c, const Parcels &p) {
         run(c,
             QStringLiteral(
                 "update T_JZBSB set JBLX = '木桩子' where ZDBH = ? and dwdm = ? and XH = 1"),
             {p.plain, kUnit});
         return QStringList{p.plain};
     }},
    {"BB01",
     [](Connection &c, const Parcels &p) {
         for (const char *t : {"T_DJDCB", "T_JZBSB", "T_ZJB", "T_SZB", "T_GYQ"})
             run(c,
                 QStringLiteral("delete from %1 where ZDBH = ? and dwdm = ? and bgrq is null")
                     .arg(QLatin1String(t)),
                 {p.changed, kUnit});
         return QStringList{p.changed};
     }},
    {"BB02",
     [](Connection &c, const Parcels &p) {
         // The survey table gone, its current markers, lines and sides stay.
         run(c, QStringLiteral("delete from T_DJDCB where id = ?"), {p.plainId});
         return QStringList{p.plain};
     }},
    {"BB02",
     [](Connection &c, const Parcels &p) {
         run(c,
             QStringLiteral("insert into T_SZB (id, ZDBH, dwdm, FWSX, BGRQ) values (900000, ?, ?, "
                            "'东', '20000101')"),
             {p.plain, kUnit});
         return QStringList{p.plain};
     }},
};

class QualityChecksTest : public ScratchDatabaseTest {
protected:
    void prepare() override
    {
        db->openSurvey(*conn);
        demo::fillDemoData(*conn, {2, 120, 5});
        p.plain =
            text(*conn,
                 QStringLiteral("select min(ZDBH) from T_DJDCB d where dwdm = ? and dcblx = 0 "
                                "and bgrq is null and JZDGS >= 5 and QLRZS = 0 and not exists "
                                "(select 1 from T_DJDCB o where o.dwdm = d.dwdm and o.ZDBH = "
                                "d.ZDBH and o.bgrq is not null)"),
                 {kUnit});
        p.plainId =
            scalar(*conn, QStringLiteral("select id from T_DJDCB where dwdm = ? and ZDBH = ?"),
                   {kUnit, p.plain})
                .toLongLong();
        p.owned = text(*conn,
                       QStringLiteral("select min(ZDBH) from T_DJDCB where dwdm = ? and dcblx = 1 "
                                      "and bgrq is null"),
                       {kUnit});
        p.ownedId = scalar(*conn,
                           QStringLiteral("select id from T_DJDCB where dwdm = ? and ZDBH = ? and "
                                          "bgrq is null"),
                           {kUnit, p.owned})
                        .toLongLong();
        p.changed =
            text(*conn,
                 QStringLiteral("select min(ZDBH) from T_DJDCB where dwdm = ? and dcblx = 0 "
                                "and bgrq is not null"),
                 {kUnit});
    }

    Parcels p;
};

TEST_P(QualityChecksTest, EachPlantedFaultIsFoundOnItsParcelAlone)
{
    ASSERT_FALSE(p.plain.isEmpty());
    ASSERT_FALSE(p.owned.isEmpty());
    ASSERT_FALSE(p.changed.isEmpty());
    const quality::Scope street{.dwdm = kStreet, .zdbh = {}, .kind = -1};

    QList<int> progress;
    const QList<quality::Finding> clean =
        quality::run(*conn, street, [&](int done, int) { progress << done; });
    for (const quality::Finding &f : clean)
        ADD_FAILURE() << "clean demo: " << f.info().code << " " << f.zdbh.toStdString() << " "
                      << f.detail.toStdString();
    EXPECT_EQ(progress.size(), qsizetype(quality::checks().size()));
    EXPECT_FALSE(quality::hasErrors(clean));

    for (const Plant &plant : kPlants) {
        SCOPED_TRACE(plant.code);
        conn->begin();
        const QStringList parcels = plant.plant(*conn, p);
        const QList<quality::Finding> found = quality::run(*conn, street);
        conn->rollback();
        QSet<QString> on;
        for (const quality::Finding &f : found) {
            EXPECT_STREQ(f.info().code, plant.code)
                << f.zdbh.toStdString() << " " << f.detail.toStdString();
            EXPECT_EQ(f.dwdm, kUnit);
            on.insert(f.zdbh);
        }
        EXPECT_EQ(on, QSet<QString>(parcels.begin(), parcels.end()));
        EXPECT_EQ(quality::hasErrors(found),
                  quality::checkByCode(QLatin1String(plant.code))->severity ==
                      quality::Severity::Error);
    }

    // The scope narrows to a parcel and a kind; another unit sees none of it.
    conn->begin();
    setPlain(*conn, p, "QLRYB", "1");
    const quality::Scope parcel{.dwdm = kUnit, .zdbh = p.plain, .kind = 0};
    EXPECT_EQ(quality::run(*conn, parcel).size(), 1);
    EXPECT_TRUE(quality::run(*conn, {.dwdm = kUnit, .zdbh = p.plain, .kind = 1}).isEmpty());
    EXPECT_TRUE(
        quality::run(*conn, {.dwdm = demo::demoUnitCode(0), .zdbh = {}, .kind = -1}).isEmpty());
    conn->rollback();
}

INSTANTIATE_TEST_SUITE_P(Sqlite, QualityChecksTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, QualityChecksTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, QualityChecksTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
