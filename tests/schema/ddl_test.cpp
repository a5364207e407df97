// The survey database as zarn-db init creates it, on each configured database:
// every column by name and kind, the code tables, the one-current-row rule,
// the order of parcel numbers and the refusal to touch an existing database.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "schema/columns.h"
#include "schema/number_claim.h"
#include "schema/statements.h"
#include "support/scratch_db.h"
#include "zarn-db/survey_ddl.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace zarn;
using namespace zarn::test;

namespace {

// The columns of each table as the survey database documents them, and which
// of them hold whole numbers.
struct TableColumns {
    const char *table;
    QStringList columns;
    QStringList wholeNumbers;
};

const QList<TableColumns> &documentedTables()
{
    static const QList<TableColumns> tables = {
        {"T_DJDCB",
         {"id",       "ysdm",   "qhdm",   "jddm",  "jfdm",   "DWDM",  "QSDM",   "DCBH",
          "DCLX",     "qsmc",   "QLR",    "DWXZ",  "TXDZ",   "QLRYB", "SJZGBM", "TDZL",
          "FRDBXM",   "FRSFZM", "FRDBDH", "DLRXM", "DLRSFZ", "DLRDH", "QSXZ",   "YBDJH",
          "ZDBH",     "SZTFH",  "PZYTDM", "PZYT",  "TDYTDM", "TDYT",  "QSRQ",   "ZZRQ",
          "QLRZS",    "SM",     "JZDGS",  "DCY",   "QSDCJS", "QSDCY", "DCRQ",   "DJKZJS",
          "KZY",      "KZRQ",   "DCSHYJ", "DCSHR", "DCSHRQ", "syqlx", "BDDJ",   "ZYGDWZSM",
          "ZYJXZXSM", "bz",     "bgrq",   "dcblx"},
         {"id", "QLRZS", "JZDGS", "dcblx"}},
        {"T_JZBSB",
         {"ZDBH", "dwdm", "BGRQ", "DCRQ", "id", "dcblx", "XH", "JZDTBH", "JZDJJ", "JBLX", "JZXLB",
          "JZXWZ", "TZJB", "BZ", "FSBC"},
         {"id", "dcblx", "XH", "TZJB"}},
        {"T_ZJB",
         {"ZDBH", "dwdm", "BGRQ", "DCRQ", "id", "dcblx", "JZXQDH", "JZXZDH", "LZDZDBH", "LZZJRXM",
          "BZZJRXM", "ZJRQ"},
         {"id", "dcblx"}},
        {"T_SZB",
         {"ZDBH", "dwdm", "BGRQ", "DCRQ", "id", "dcblx", "FWSX", "JZDStart", "JZDEnd",
          "LZDJHORLOADNAME"},
         {"id", "dcblx"}},
        {"T_GYQ",
         {"ZDBH",       "dwdm",    "BGRQ",   "DCRQ",  "id",     "dcblx",  "GYSYQRBH",
          "TDSYZMC",    "TDSYZXZ", "TXDZ",   "YB",    "SJZGBM", "FRDBXM", "FRDBSF",
          "FRDBDH",     "DLRXM",   "DLRSF",  "DLRDH", "TDYT",   "JZWLX",  "DZSYMJ",
          "DZSYJZZDMJ", "GYTDMJ",  "FTTDMJ", "FTJZMJ"},
         {"id", "dcblx"}},
        {"S_DWXZDM", {"dwxzmc"}, {}},
        {"S_QSXZ", {"qsxzmc"}, {}},
        {"S_GYLX", {"GYLXMC"}, {}},
        {"S_DLDM", {"DLDM", "DLMC"}, {}},
        {"S_JBLX", {"JBLXMC"}, {}},
        {"S_JXLB", {"JXLBMC"}, {}},
        {"S_JXWZDM", {"JXWZ"}, {}},
    };
    return tables;
}

QStringList codeEntries(Connection &c, const sql::CodeList &list)
{
    Dataset d(&c);
    d.setSql(list.sql);
    d.open();
    QStringList out;
    for (int i = 0; i < d.recordCount(); ++i)
        out << Dataset::textOf(d.valueAt(i, d.indexOf(list.column)));
    return out;
}

class DdlTest : public ScratchDatabaseTest {
protected:
    void init() { dbsetup::createSurveyDatabase(*conn); }

    // A survey row posted through a dataset, as the forms post them.
    void postSurveyRow(int id, const QString &zdbh, const QVariant &bgrq, int dcblx)
    {
        Dataset d(conn.get());
        d.setQuery(sql::djdcListOwnership,
                   unitcode::unitListParams(QStringLiteral("320102001001")));
        d.open();
        d.append();
        d.setValue("id", id);
        d.setValue("DWDM", QStringLiteral("320102001001"));
        d.setValue("ZDBH", zdbh);
        d.setValue("bgrq", bgrq);
        d.setValue("dcblx", dcblx);
        try {
            d.post();
        } catch (const DatabaseError &) {
            // The row stays on the sheet, unsaved, as the user typed it.
            EXPECT_EQ(d.state(), Dataset::State::Insert);
            EXPECT_EQ(d.text("ZDBH"), zdbh);
            throw;
        }
    }
};

TEST_P(DdlTest, EveryDocumentedColumnIsThereWithItsKind)
{
    const auto summary = [&] { return dbsetup::createSurveyDatabase(*conn); }();
    EXPECT_EQ(summary.tables, 12);
    for (const TableColumns &t : documentedTables()) {
        SCOPED_TRACE(t.table);
        Dataset d(conn.get());
        d.setQuery({.table = QLatin1String(t.table)});
        ASSERT_NO_THROW(d.open());
        EXPECT_GE(d.fieldIndex("id"), 0) << "every table has its key";
        for (const QString &column : t.columns) {
            const int i = d.fieldIndex(column);
            ASSERT_GE(i, 0) << column.toStdString();
            const FieldType type = d.fieldDef(i).type;
            if (t.wholeNumbers.contains(column))
                EXPECT_TRUE(isIntegerType(type)) << column.toStdString();
            else
                EXPECT_TRUE(isTextType(type)) << column.toStdString();
        }
    }
    // The column lists the forms and the demo use are the tables' own, in order.
    const QList<std::pair<const char *, const QStringList *>> lists = {{"T_DJDCB", &columns::djdcb},
                                                                       {"T_JZBSB", &columns::jzbsb},
                                                                       {"T_ZJB", &columns::zjb},
                                                                       {"T_SZB", &columns::szb},
                                                                       {"T_GYQ", &columns::gyq}};
    for (const auto &[table, list] : lists) {
        Dataset d(conn.get());
        d.setQuery({.table = QLatin1String(table)});
        d.open();
        ASSERT_EQ(d.fieldCount(), list->size()) << table;
        for (int i = 0; i < d.fieldCount(); ++i)
            EXPECT_EQ(d.fieldDef(i).name.toLower(), (*list)[i].toLower()) << table;
    }
}

TEST_P(DdlTest, CodeTablesHoldTheStandardEntriesInListOrder)
{
    init();
    EXPECT_EQ(codeEntries(*conn, sql::codeDwxz),
              QStringList({"行政", "事业", "国有", "集体", "私营", "个体", "联营", "股份制",
                           "外商投资", "港澳台", "个人", "其他"}));
    EXPECT_EQ(codeEntries(*conn, sql::codeQsxz), QStringList({"国有土地使用权", "集体土地所有权"}));
    EXPECT_EQ(codeEntries(*conn, sql::codeJblx),
              QStringList({"钢钉", "混凝土桩", "石灰桩", "喷漆", "其它"}));
    EXPECT_EQ(codeEntries(*conn, sql::codeJxlb), QStringList({"围墙", "墙壁", "栅栏", "铁丝网"}));
    EXPECT_EQ(codeEntries(*conn, sql::codeJxwz), QStringList({"内", "中", "外"}));
    const QStringList rights = codeEntries(*conn, sql::codeGylx);
    for (const char *r : {"划拨", "出让", "租赁", "作价出资（入股）", "授权经营"})
        EXPECT_TRUE(rights.contains(QString::fromUtf8(r))) << r;

    // The land-use classification: 12 first-level classes, each followed by
    // its second-level classes (73 in all), codes and names in step.
    const QStringList codes = codeEntries(*conn, sql::codeDldm);
    Dataset d(conn.get());
    d.setSql(sql::codeDldm.sql);
    d.open();
    ASSERT_EQ(codes.size(), 85);
    QString firstLevel;
    int firsts = 0;
    for (int i = 0; i < codes.size(); ++i) {
        const QString &code = codes[i];
        if (code.size() == 2) {
            ++firsts;
            firstLevel = code;
        } else {
            ASSERT_EQ(code.size(), 4) << code.toStdString();
            EXPECT_TRUE(code.startsWith(firstLevel)) << code.toStdString();
        }
        const QString name = Dataset::textOf(d.valueAt(i, d.indexOf(sql::codeDldmName)));
        EXPECT_FALSE(name.isEmpty());
        EXPECT_EQ(name, name.trimmed());
        static const QHash<QString, QString> samples = {
            {"01", "耕地"}, {"0701", "城镇住宅用地"}, {"1207", "裸岩石砾地"}};
        EXPECT_EQ(samples.value(code, name), name) << code.toStdString();
    }
    EXPECT_EQ(firsts, 12);
}

TEST_P(DdlTest, OnlyOneCurrentRowPerParcelAndKind)
{
    init();
    postSurveyRow(1, QStringLiteral("0010010001"), QVariant(), 0);
    // A second current use-right row of the parcel is refused cleanly.
    EXPECT_THROW(postSurveyRow(2, QStringLiteral("0010010001"), QVariant(), 0), DatabaseError);
    // Superseded versions, the other kind of survey table and other parcels are not.
    EXPECT_NO_THROW(postSurveyRow(3, QStringLiteral("0010010001"), QStringLiteral("20150301"), 0));
    EXPECT_NO_THROW(postSurveyRow(4, QStringLiteral("0010010001"), QStringLiteral("20180612"), 0));
    EXPECT_NO_THROW(postSurveyRow(5, QStringLiteral("0010010001"), QVariant(), 1));
    EXPECT_NO_THROW(postSurveyRow(6, QStringLiteral("0010010002"), QVariant(), 0));
    // Rows without a parcel number are left to the forms, which refuse them.
    EXPECT_NO_THROW(postSurveyRow(7, QString(), QVariant(), 0));
    EXPECT_NO_THROW(postSurveyRow(8, QString(), QVariant(), 0));
    EXPECT_EQ(count(*conn, QStringLiteral("select count(*) from T_DJDCB")), 7);

    // Turning a superseded row back into a current one is refused as well.
    Dataset d(conn.get());
    d.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("id = ?")}, {3});
    d.open();
    d.edit();
    d.setValue("bgrq", QVariant());
    EXPECT_THROW(d.post(), DatabaseError);
}

TEST_P(DdlTest, NewRowsAndChangedParcelNumbersClaimTheirNumbersAcrossBothKinds)
{
    init();
    // What an old database may hold: one parcel current on both kinds.
    postSurveyRow(1, QStringLiteral("0010010001"), QVariant(), 0);
    postSurveyRow(2, QStringLiteral("0010010001"), QVariant(), 1);
    postSurveyRow(3, QStringLiteral("0010010004"), QStringLiteral("20150301"), 0);

    // Two workstations read the same highest numbers and each makes a row,
    // one of each kind; the ownership row is stored first.
    const auto newRow = [](Connection &c, int id, int kind) {
        auto d = std::make_unique<Dataset>(&c);
        d->setQuery(sql::djdcListOwnership,
                    unitcode::unitListParams(QStringLiteral("320102001001")));
        d->open();
        d->setWriteCheck(
            [](Dataset &t) {
                // As the forms do: the survey number only as generated for a new row.
                numbering::claimNumbers(*t.connection(), t.text("dwdm"), t.text("zdbh"),
                                        t.state() == Dataset::State::Insert ? t.text("dcbh")
                                                                            : QString());
            },
            {QStringLiteral("zdbh")});
        d->append();
        d->setValue("id", id);
        d->setValue("dwdm", QStringLiteral("320102001001"));
        d->setValue("zdbh", QStringLiteral("0010010002"));
        d->setValue("dcbh", QStringLiteral("3201020010010002"));
        d->setValue("dcblx", kind);
        return d;
    };
    const std::unique_ptr<Connection> second = db->open();
    const auto useRight = newRow(*conn, 10, 0);
    const auto ownership = newRow(*second, 11, 1);
    ownership->post();
    const auto refusal = [&] {
        try {
            useRight->post();
        } catch (const DatabaseError &e) {
            return e.refusal();
        }
        ADD_FAILURE() << "stored a number another row has";
        return Refusal{};
    };
    Refusal r = refusal();
    EXPECT_EQ(useRight->state(), Dataset::State::Insert);
    EXPECT_EQ(r.kind, RefusalKind::DuplicateKey);
    EXPECT_EQ(r.keyColumns, QStringList{"ZDBH"});
    EXPECT_EQ(r.row.value("zdbh").toString(), "0010010002");
    // A free parcel number with a taken survey number is refused as well.
    useRight->setValue("zdbh", QStringLiteral("0010010003"));
    r = refusal();
    EXPECT_EQ(r.kind, RefusalKind::DuplicateKey);
    EXPECT_EQ(r.keyColumns, QStringList{"DCBH"});
    // The retry takes fresh numbers; a superseded row's parcel number is free.
    useRight->setRenumber([](Dataset &t, const DatabaseError &) {
        t.setValue("zdbh", QStringLiteral("0010010004"));
        t.setValue("dcbh", QStringLiteral("3201020010010004"));
        return true;
    });
    useRight->setValue("zdbh", QStringLiteral("0010010002"));
    EXPECT_NO_THROW(useRight->post());
    EXPECT_EQ(count(*conn, QStringLiteral("select count(*) from T_DJDCB where zdbh = "
                                          "'0010010004' and bgrq is null and dcblx = 0")),
              1);

    // A parcel number changed by hand is claimed the same way.
    useRight->edit();
    useRight->setValue("zdbh", QStringLiteral("0010010002"));
    EXPECT_EQ(refusal().keyColumns, QStringList{"ZDBH"});
    EXPECT_EQ(useRight->state(), Dataset::State::Edit);
    useRight->setValue("zdbh", QStringLiteral("0010010005"));
    EXPECT_NO_THROW(useRight->post());
}

TEST_P(DdlTest, ParcelNumbersListAsTextWithEmptyOnesLast)
{
    init();
    int id = 0;
    for (const QVariant &zdbh :
         {QVariant(QStringLiteral("0010010002")), QVariant(), QVariant(QStringLiteral("9")),
          QVariant(QStringLiteral("10")), QVariant(QStringLiteral("0010010001"))}) {
        ++id;
        postSurveyRow(id, zdbh.toString(), QVariant(), id % 2);
    }
    Dataset d(conn.get());
    d.setQuery(sql::djdcListUseRight, unitcode::unitListParams(QStringLiteral("320102")));
    d.open();
    QStringList order;
    for (int i = 0; i < d.recordCount(); ++i)
        order << d.valueAt(i, d.indexOf("zdbh")).toString();
    EXPECT_EQ(order, QStringList({"0010010001", "0010010002", "10", "9", ""}));
}

TEST_P(DdlTest, InitRefusesADatabaseThatHasSurveyTables)
{
    execAll(*conn, {QStringLiteral("create table T_SZB (id integer primary key, keep varchar(10))"),
                    QStringLiteral("insert into T_SZB (id, keep) values (1, 'mine')")});
    try {
        init();
        FAIL() << "init went on";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains("T_SZB")) << e.message().toStdString();
    }
    EXPECT_TRUE(dbsetup::existingSurveyTables(*conn) == QStringList({"T_SZB"}));
    EXPECT_EQ(scalar(*conn, QStringLiteral("select keep from T_SZB")).toString(), "mine");
}

TEST_P(DdlTest, AFailedInitLeavesNothingBehind)
{
    // An index name taken by a table of someone else makes the set-up fail
    // half way, after the survey tables are made.
    if (GetParam() == Backend::Sqlite)
        execAll(*conn, {QStringLiteral("create table other (x integer)"),
                        QStringLiteral("create index IX_GYQ_PARCEL on other (x)")});
    else
        execAll(*conn, {QStringLiteral("create schema zarn"),
                        QStringLiteral("create table zarn.other (x integer)"),
                        QStringLiteral("create index IX_GYQ_PARCEL on zarn.other (x)")});
    EXPECT_THROW(init(), DatabaseError);
    EXPECT_TRUE(dbsetup::existingSurveyTables(*conn).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DdlTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, DdlTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

TEST(DdlScriptTest, StatementsSplitAtSemicolonsOutsideQuotesAndComments)
{
    const QStringList s = dbsetup::splitStatements(
        QStringLiteral("-- a comment; not a statement\n"
                       "create table a (x varchar(5)); insert into a values ('1;2''3');\n"
                       "  ; -- empty\n"
                       "insert into a values ('--not a comment')"));
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[0], "create table a (x varchar(5))");
    EXPECT_EQ(s[1], "insert into a values ('1;2''3')");
    EXPECT_EQ(s[2], "insert into a values ('--not a comment')");

    // The Oracle script carries the same tables and code table contents.
    const QString oracle = dbsetup::ddlText(dbsetup::Dialect::Oracle);
    for (const QString &t : dbsetup::surveyTables())
        EXPECT_TRUE(oracle.contains(QStringLiteral("create table ZARN.") + t)) << t.toStdString();
    EXPECT_TRUE(oracle.contains(QStringLiteral("@@code_tables.sql")));
}

} // namespace
