// The demo data: the same seed gives the same rows, the rows agree with each
// other and with the code tables, and numbers follow the system's rules.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "schema/columns.h"
#include "schema/statements.h"
#include "support/scratch_db.h"
#include "zarn-db/demo_data.h"
#include "zarn-db/demo_people.h"
#include "zarn-db/survey_ddl.h"

#include <QCryptographicHash>
#include <QSet>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::test;

namespace {

// Every row of every survey table, in id order, hashed.
QByteArray fingerprint(Connection &c)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const char *t : {"T_DJDCB", "T_JZBSB", "T_ZJB", "T_SZB", "T_GYQ"}) {
        Dataset d(&c);
        d.setQuery({.table = QLatin1String(t), .order = {{.column = QStringLiteral("id")}}});
        d.open();
        for (int r = 0; r < d.recordCount(); ++r)
            for (int col = 0; col < d.fieldCount(); ++col)
                h.addData((Dataset::textOf(d.valueAt(r, col)) + QChar(0x1f)).toUtf8());
    }
    return h.result();
}

QStringList column(Connection &c, const QString &sql, const char *name)
{
    Dataset d(&c);
    d.setSql(sql);
    d.open();
    QStringList out;
    for (int r = 0; r < d.recordCount(); ++r)
        out << Dataset::textOf(d.valueAt(r, d.indexOf(QLatin1String(name))));
    return out;
}

// How many attached rows each survey table has, keyed "zdbh|dwdm|bgrq".
QHash<QString, int> attachedCounts(Connection &c, const char *table)
{
    Dataset d(&c);
    d.setSql(QStringLiteral("select ZDBH, dwdm, BGRQ from %1").arg(QLatin1String(table)));
    d.open();
    QHash<QString, int> n;
    for (int r = 0; r < d.recordCount(); ++r)
        ++n[Dataset::textOf(d.valueAt(r, 0)) + '|' + Dataset::textOf(d.valueAt(r, 1)) + '|' +
            Dataset::textOf(d.valueAt(r, 2))];
    return n;
}

TEST(DemoDataTest, TheSameSeedGivesTheSameRows)
{
    ScratchDatabase a(Backend::Sqlite), b(Backend::Sqlite), other(Backend::Sqlite);
    auto ca = a.openSurvey(), cb = b.openSurvey(), co = other.openSurvey();
    demo::fillDemoData(*ca, {2, 150, 7});
    demo::fillDemoData(*cb, {2, 150, 7});
    demo::fillDemoData(*co, {2, 150, 8});
    EXPECT_EQ(fingerprint(*ca), fingerprint(*cb));
    EXPECT_NE(fingerprint(*ca), fingerprint(*co));
}

TEST(DemoDataTest, RowsAgreeWithEachOtherAndWithTheCodeTables)
{
    ScratchDatabase db(Backend::Sqlite);
    auto c = db.openSurvey();
    const demo::DemoSummary s = demo::fillDemoData(*c, {3, 1000, 11});
    EXPECT_EQ(s.parcels, 1000);
    ASSERT_EQ(s.unitCodes.size(), 3);

    // The counts on the sheet are the attached rows of the same version.
    const auto markers = attachedCounts(*c, "T_JZBSB");
    const auto holders = attachedCounts(*c, "T_GYQ");
    const auto sides = attachedCounts(*c, "T_SZB");
    const auto designations = attachedCounts(*c, "T_ZJB");
    Dataset rows(c.get());
    rows.setQuery(
        {.table = QStringLiteral("T_DJDCB"), .order = {{.column = QStringLiteral("id")}}});
    rows.open();
    ASSERT_EQ(rows.recordCount(), 1000 + s.superseded);
    int superseded = 0;
    for (int r = 0; r < rows.recordCount(); ++r) {
        rows.moveTo(r);
        const QString key = rows.text("ZDBH") + '|' + rows.text("DWDM") + '|' + rows.text("bgrq");
        SCOPED_TRACE(key.toStdString());
        const int points = int(rows.field("JZDGS").asInteger());
        EXPECT_GE(points, 3);
        EXPECT_LE(points, 12);
        EXPECT_EQ(markers.value(key), points);
        EXPECT_EQ(holders.value(key), rows.field("QLRZS").asInteger());
        // Four sides, one per direction; a triangle's lines are one fewer.
        EXPECT_EQ(sides.value(key), 4);
        EXPECT_EQ(designations.value(key), points == 3 ? 3 : 4);
        if (!rows.text("bgrq").isEmpty()) {
            ++superseded;
            EXPECT_LT(rows.text("bgrq"), QStringLiteral("20160101"));
        }
    }
    EXPECT_EQ(superseded, s.superseded);
    // About one parcel in twenty has a superseded version.
    EXPECT_GT(superseded, 20);
    EXPECT_LT(superseded, 90);

    // Identity card numbers carry valid check characters.
    for (const auto &[table, name] : {std::pair{"T_DJDCB", "FRSFZM"},
                                      {"T_DJDCB", "DLRSFZ"},
                                      {"T_GYQ", "FRDBSF"},
                                      {"T_GYQ", "DLRSF"}})
        for (const QString &id :
             column(*c, QStringLiteral("select * from %1").arg(QLatin1String(table)), name))
            EXPECT_TRUE(id.isEmpty() || demo::isValidIdentityCardNumber(id)) << id.toStdString();

    // Coded columns hold entries of their code tables; land-use codes and
    // names belong to the same entry.
    const QStringList natures = column(*c, sql::codeDwxz.sql, "dwxzmc");
    const QStringList rights = column(*c, sql::codeGylx.sql, "GYLXMC");
    const QStringList useCodes = column(*c, sql::codeDldm.sql, "DLDM");
    const QStringList useNames = column(*c, sql::codeDldm.sql, "DLMC");
    const QStringList kinds = column(*c, sql::codeJblx.sql, "JBLXMC");
    Dataset use(c.get());
    use.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("dcblx = 0")});
    use.open();
    for (int r = 0; r < use.recordCount(); ++r) {
        use.moveTo(r);
        EXPECT_TRUE(natures.contains(use.text("DWXZ")));
        EXPECT_TRUE(rights.contains(use.text("syqlx")));
        EXPECT_EQ(useNames.value(useCodes.indexOf(use.text("PZYTDM"))), use.text("PZYT"));
        EXPECT_EQ(useNames.value(useCodes.indexOf(use.text("TDYTDM"))), use.text("TDYT"));
    }
    for (const QString &k : column(*c, QStringLiteral("select * from T_JZBSB"), "JBLX"))
        EXPECT_TRUE(kinds.contains(k)) << k.toStdString();
}

TEST(DemoDataTest, UseRightRowsFillEveryColumnOfTheSheet)
{
    ScratchDatabase db(Backend::Sqlite);
    auto c = db.openSurvey();
    demo::fillDemoData(*c, {1, 300, 3});
    const QStringList sheet = {"DCBH",   "DCLX",   "qsmc",   "QLR",    "QSDM",   "DWXZ",   "DWDM",
                               "TXDZ",   "QLRYB",  "SJZGBM", "TDZL",   "FRDBXM", "FRSFZM", "FRDBDH",
                               "DLRXM",  "DLRSFZ", "DLRDH",  "QSXZ",   "YBDJH",  "ZDBH",   "SZTFH",
                               "PZYTDM", "TDYTDM", "PZYT",   "TDYT",   "QSRQ",   "ZZRQ",   "QLRZS",
                               "SM",     "JZDGS",  "DCY",    "QSDCJS", "QSDCY",  "DCRQ",   "DJKZJS",
                               "KZY",    "KZRQ",   "DCSHYJ", "DCSHR",  "DCSHRQ", "syqlx",  "BDDJ"};
    Dataset d(c.get());
    d.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("dcblx = 0")});
    d.open();
    ASSERT_GT(d.recordCount(), 200);
    for (int r = 0; r < d.recordCount(); ++r) {
        d.moveTo(r);
        for (const QString &col : sheet)
            EXPECT_FALSE(d.field(col).isNull()) << col.toStdString() << " of row " << r;
        for (const char *date : {"DCRQ", "KZRQ", "DCSHRQ"})
            EXPECT_TRUE(QDate::fromString(d.text(date), QStringLiteral("yyyyMMdd")).isValid());
        EXPECT_EQ(d.text("YBDJH"), d.text("ZDBH"));
    }
}

TEST(DemoDataTest, ParcelsAreNumberedAsTheFormsNumberThemAndASecondRunGoesOn)
{
    ScratchDatabase db(Backend::Sqlite);
    auto c = db.openSurvey();
    const demo::DemoSummary first = demo::fillDemoData(*c, {2, 40, 5});
    EXPECT_EQ(first.unitCodes, QStringList({"320102001001", "320102001002"}));
    auto currentParcels = [&](const QString &unit) {
        Dataset d(c.get());
        d.setSql(
            QStringLiteral("select * from T_DJDCB where DWDM = ? and bgrq is null order by id"),
            {unit});
        d.open();
        QStringList out;
        for (int r = 0; r < d.recordCount(); ++r)
            out << Dataset::textOf(d.valueAt(r, d.indexOf("ZDBH")));
        return out;
    };
    QStringList expected;
    for (int n = 1; n <= 20; ++n)
        expected << QStringLiteral("0010020%1").arg(n, 3, 10, QLatin1Char('0'));
    EXPECT_EQ(currentParcels(QStringLiteral("320102001002")), expected);

    // Survey numbers run on per unit over every version.
    const QStringList dcbh =
        column(*c, QStringLiteral("select * from T_DJDCB where DWDM = '320102001001' order by id"),
               "DCBH");
    for (int i = 0; i < dcbh.size(); ++i)
        EXPECT_EQ(dcbh[i], QStringLiteral("320102001001%1").arg(i + 1, 4, 10, QLatin1Char('0')));

    // A second run continues the numbers instead of colliding with them.
    demo::fillDemoData(*c, {2, 4, 6});
    const QStringList after = currentParcels(QStringLiteral("320102001002"));
    ASSERT_EQ(after.size(), 22);
    EXPECT_EQ(after.mid(20), QStringList({"0010020021", "0010020022"}));
    EXPECT_EQ(count(*c, sql::djdcMaxId), count(*c, QStringLiteral("select count(*) from T_DJDCB")));
}

TEST(DemoDataTest, RefusesBadOptionsAndDatabasesWithoutTables)
{
    ScratchDatabase db(Backend::Sqlite);
    auto c = db.open();
    EXPECT_THROW(demo::fillDemoData(*c, {1, 10, 1}), Error); // no tables yet
    dbsetup::createSurveyDatabase(*c);
    EXPECT_THROW(demo::fillDemoData(*c, {1, 0, 1}), Error);
    EXPECT_THROW(demo::fillDemoData(*c, {1, demo::kMaxParcelsPerUnit + 1, 1}), Error);
    EXPECT_THROW(demo::fillDemoData(*c, {demo::kMaxUnits + 1, 10, 1}), Error);
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_DJDCB")), 0);
}

TEST(DemoDataTest, IdentityCheckCharacters)
{
    // Published examples of the check character.
    EXPECT_EQ(demo::identityCheckCharacter(QStringLiteral("11010519491231002")), QLatin1Char('X'));
    EXPECT_EQ(demo::identityCheckCharacter(QStringLiteral("44052418800101001")), QLatin1Char('4'));
    EXPECT_TRUE(demo::isValidIdentityCardNumber(QStringLiteral("11010519491231002X")));
    EXPECT_FALSE(demo::isValidIdentityCardNumber(QStringLiteral("110105194912310021")));
    EXPECT_FALSE(demo::isValidIdentityCardNumber(QStringLiteral("11010519491231002")));
    demo::DemoRandom r(1);
    const QString id = demo::identityCardNumber(r, QDate(1980, 2, 29));
    EXPECT_TRUE(id.startsWith(QStringLiteral("32010219800229")));
}

TEST(PostgresDemoDataTest, FillsTheServerDatabaseInOneGo)
{
    ZARN_SKIP_UNLESS_CONFIGURED(Backend::Postgres);
    ScratchDatabase db(Backend::Postgres), same(Backend::Sqlite);
    auto c = db.openSurvey();
    auto local = same.openSurvey();
    const demo::DemoSummary s = demo::fillDemoData(*c, {2, 300, 9});
    demo::fillDemoData(*local, {2, 300, 9});
    EXPECT_EQ(count(*c, QStringLiteral("select count(*) from T_JZBSB")), s.markers);
    // The same rows as on SQLite: the server stores what it is given.
    EXPECT_EQ(fingerprint(*c), fingerprint(*local));
}

} // namespace
