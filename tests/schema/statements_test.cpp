// Every statement of the system, run with its values bound on each configured
// database; what the attached-table statements select and delete; and that no
// statement has to read a whole survey table.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "data/statement_runner.h"
#include "schema/statements.h"
#include "schema/unit_code.h"
#include "support/scratch_db.h"
#include "zarn-db/survey_ddl.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include <algorithm>

using namespace zarn;
using namespace zarn::test;

namespace {

const QString kUnit = QStringLiteral("320102001001");
const QString kParcel = QStringLiteral("0010010001");
const QString kChanged = QStringLiteral("20150301");

struct Statement {
    const char *name;
    QString sql;
    QVariantList params;
    bool readsWholeTable = false; // the code tables are read whole on purpose
};

// A declared query's statement as this database runs it.
QString listText(const DeclaredQuery &q, const QSqlDatabase &db)
{
    QStringList columns;
    const QSqlRecord rec = db.record(q.table);
    for (int i = 0; i < rec.count(); ++i)
        columns << rec.fieldName(i);
    return selectText(q, db, columns);
}

QList<Statement> allStatements(const QSqlDatabase &db)
{
    const QVariantList parcel = {kParcel, kUnit};
    const QVariantList changed = {kParcel, kUnit, kChanged};
    const auto list = [&db](const DeclaredQuery &q) { return listText(q, db); };
    return {
        {"djdcListUseRight", list(sql::djdcListUseRight), unitcode::unitListParams(kUnit)},
        {"djdcListOwnership", list(sql::djdcListOwnership), unitcode::unitListParams(kUnit)},
        {"djdcSubUnitProbe", sql::djdcListUseRight.exactProbe, unitcode::unitListParams(kUnit)},
        {"djdcSubUnitWalk", sql::djdcListUseRight.probeWalk,
         unitcode::unitListParams(kUnit) << unitcode::unitListParams(kUnit).mid(1) << 256},
        {"djdcMaxId", sql::djdcMaxId, {}},
        {"djdcMaxZdbh", sql::djdcMaxZdbh, {kUnit}},
        {"djdcMaxDcbh", sql::djdcMaxDcbh, {kUnit}},
        {"jzbsbListCurrent", list(sql::jzbsbListCurrent), parcel},
        {"jzbsbListChanged", list(sql::jzbsbListChanged), changed},
        {"jzbsbMaxId", sql::jzbsbMaxId, {}},
        {"jzbsbMaxXh", sql::jzbsbMaxXh, parcel},
        {"jzbsbCountCurrent", sql::jzbsbCountCurrent, parcel},
        {"jzbsbCountChanged", sql::jzbsbCountChanged, changed},
        {"zjbListCurrent", list(sql::zjbListCurrent), parcel},
        {"zjbListChanged", list(sql::zjbListChanged), changed},
        {"zjbMaxId", sql::zjbMaxId, {}},
        {"szbListCurrent", list(sql::szbListCurrent), parcel},
        {"szbListChanged", list(sql::szbListChanged), changed},
        {"szbMaxId", sql::szbMaxId, {}},
        {"gyqListCurrent", list(sql::gyqListCurrent), parcel},
        {"gyqListChanged", list(sql::gyqListChanged), changed},
        {"gyqMaxId", sql::gyqMaxId, {}},
        {"gyqCountCurrent", sql::gyqCountCurrent, parcel},
        {"jzbsbPurge", sql::jzbsbPurge, parcel},
        {"zjbPurge", sql::zjbPurge, parcel},
        {"szbPurge", sql::szbPurge, parcel},
        {"zjbPurgeSparing", sql::zjbPurgeSparing, {kParcel, kUnit, 1}},
        {"szbPurgeSparing", sql::szbPurgeSparing, {kParcel, kUnit, 1}},
        {"jzbsbDeleteCurrent", sql::jzbsbDeleteCurrent, parcel},
        {"zjbDeleteCurrent", sql::zjbDeleteCurrent, parcel},
        {"gyqDeleteCurrent", sql::gyqDeleteCurrent, parcel},
        {"szbDeleteCurrent", sql::szbDeleteCurrent, parcel},
        {"jzbsbDeleteChanged", sql::jzbsbDeleteChanged, changed},
        {"zjbDeleteChanged", sql::zjbDeleteChanged, changed},
        {"gyqDeleteChanged", sql::gyqDeleteChanged, changed},
        {"szbDeleteChanged", sql::szbDeleteChanged, changed},
        {"codeDwxz", sql::codeDwxz.sql, {}, true},
        {"codeQsxz", sql::codeQsxz.sql, {}, true},
        {"codeGylx", sql::codeGylx.sql, {}, true},
        {"codeDldm", sql::codeDldm.sql, {}, true},
        {"codeJblx", sql::codeJblx.sql, {}, true},
        {"codeJxlb", sql::codeJxlb.sql, {}, true},
        {"codeJxwz", sql::codeJxwz.sql, {}, true},
    };
}

class StatementsTest : public ScratchDatabaseTest {
protected:
    void prepare() override
    {
        dbsetup::createSurveyDatabase(*conn);
        // One parcel with a current and a superseded version, each with its
        // attached rows, and the same parcel number in another unit.
        execAll(
            *conn,
            {QStringLiteral("insert into T_DJDCB (id, DWDM, ZDBH, DCBH, bgrq, dcblx) values "
                            "(1, '320102001001', '0010010001', '3201020010010002', null, 0), "
                            "(2, '320102001001', '0010010001', '3201020010010001', '20150301', 0), "
                            "(3, '320102001002', '0010010001', '3201020010020001', null, 0)"),
             QStringLiteral("insert into T_JZBSB (id, ZDBH, dwdm, XH, JZDTBH, BGRQ) values "
                            "(1, '0010010001', '320102001001', 1, '11', null), "
                            "(2, '0010010001', '320102001001', 2, null, null), "
                            "(3, '0010010001', '320102001001', 3, '13', null), "
                            "(4, '0010010001', '320102001001', 1, '7', '20150301'), "
                            "(5, '0010010001', '320102001002', 1, null, null)"),
             QStringLiteral("insert into T_ZJB (id, ZDBH, dwdm, JZXQDH, JZXZDH, BGRQ) values "
                            "(1, '0010010001', '320102001001', null, null, null), "
                            "(2, '0010010001', '320102001001', '11', null, null), "
                            "(3, '0010010001', '320102001001', null, '13', null), "
                            "(4, '0010010001', '320102001001', null, null, '20150301')"),
             QStringLiteral("insert into T_SZB (id, ZDBH, dwdm, FWSX, JZDStart, JZDEnd, BGRQ) "
                            "values (1, '0010010001', '320102001001', '东', null, null, null), "
                            "(2, '0010010001', '320102001001', '南', '11', '13', null)"),
             QStringLiteral("insert into T_GYQ (id, ZDBH, dwdm, TDSYZMC, BGRQ) values "
                            "(1, '0010010001', '320102001001', '张三', null), "
                            "(2, '0010010001', '320102001001', '李四', null), "
                            "(3, '0010010001', '320102001001', '王五', '20150301')")});
        query = std::make_unique<Dataset>(conn.get());
    }

    // Runs a statement the way the forms do and gives the first column.
    QVariant first(const QString &sql, const QVariantList &params = {})
    {
        runQuery(*query, sql, params);
        return query->isEmpty() ? QVariant() : query->value(0);
    }
    template <class Query> QStringList ids(const Query &sql, const QVariantList &params)
    {
        runQuery(*query, sql, params);
        QStringList out;
        for (int i = 0; i < query->recordCount(); ++i)
            out << Dataset::textOf(query->valueAt(i, query->indexOf("id")));
        return out;
    }
    QStringList remaining(const char *table)
    {
        return ids(QStringLiteral("select * from %1 order by id").arg(QLatin1String(table)), {});
    }

    std::unique_ptr<Dataset> query;
};

TEST_P(StatementsTest, EveryStatementRunsWithItsValuesBound)
{
    for (const Statement &s : allStatements(conn->database())) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.sql.count(QLatin1Char('?')), s.params.size());
        // The like escape character is the statement's own, not a value.
        EXPECT_FALSE(
            QString(s.sql).remove(QStringLiteral("escape '!'")).contains(QLatin1Char('\'')))
            << "no value in the text";
        // A statement that returns rows is run as a query and opens; the
        // others write, and leave the query closed.
        const bool select = s.sql.startsWith(QLatin1String("select")) ||
                            s.sql.startsWith(QLatin1String("with recursive"));
        EXPECT_TRUE(select || s.sql.startsWith(QLatin1String("delete"))) << s.sql.toStdString();
        ASSERT_NO_THROW(select ? runQuery(*query, s.sql, s.params)
                               : runStatement(*query, s.sql, s.params))
            << s.sql.toStdString();
        EXPECT_EQ(query->isOpen(), select);
    }
    EXPECT_EQ(sql::djdcDesignTime, "select * from ZARN.T_DJDCB");
}

// The lists the forms and editors open are declared queries; as text they are
// the statements the forms have always run, with their names quoted.
TEST_P(StatementsTest, DeclaredListsReadAsTheStatementsTheFormsRun)
{
    const QList<std::pair<const DeclaredQuery *, QString>> lists = {
        {&sql::djdcListUseRight, "select * from T_DJDCB where dwdm >= ? and dwdm < ? and dwdm "
                                 "like ? escape '!' order by zdbh nulls last"},
        {&sql::djdcListOwnership, "select * from T_DJDCB where dwdm >= ? and dwdm < ? and dwdm "
                                  "like ? escape '!' order by zdbh nulls last"},
        {&sql::jzbsbListCurrent,
         "select * from T_JZBSB where ZDBH=? and dwdm=? and  bgrq is null order by xh"},
        {&sql::jzbsbListChanged,
         "select * from T_JZBSB where ZDBH=? and dwdm=? and  bgrq=? order by xh"},
        {&sql::zjbListCurrent,
         "select * from T_ZJB where ZDBH=? and dwdm=? and  bgrq is null order by id"},
        {&sql::zjbListChanged,
         "select * from T_ZJB where ZDBH=? and dwdm=? and  bgrq=? order by id"},
        {&sql::szbListCurrent,
         "select * from T_SZB where ZDBH=? and dwdm=? and bgrq is null order by ID"},
        {&sql::szbListChanged,
         "select * from T_SZB where ZDBH=? and dwdm=? and bgrq =? order by ID"},
        {&sql::gyqListCurrent,
         "select * from T_GYQ where ZDBH=? and dwdm=? and  bgrq is null order by id"},
        {&sql::gyqListChanged,
         "select * from T_GYQ where ZDBH=? and dwdm=? and  bgrq=? order by id"},
    };
    const QSqlDatabase db = conn->database();
    const QString quote =
        db.driver()->escapeIdentifier(QStringLiteral("x"), QSqlDriver::TableName).left(1);
    for (const auto &[q, text] : lists) {
        const QString built = listText(*q, db);
        EXPECT_TRUE(built.contains(quote + QLatin1String("T_"), Qt::CaseInsensitive))
            << "the table's name quoted: " << built.toStdString();
        EXPECT_EQ(QString(built).remove(quote).toLower(), text.toLower());
    }
}

TEST_P(StatementsTest, HighestNumbersAndCounts)
{
    EXPECT_EQ(first(sql::djdcMaxId).toLongLong(), 3);
    EXPECT_EQ(first(sql::djdcMaxZdbh, {kUnit}).toString(), kParcel);
    // The highest survey number is taken over current and changed rows of exactly that unit.
    EXPECT_EQ(first(sql::djdcMaxDcbh, {kUnit}).toString(), "3201020010010002");
    EXPECT_TRUE(Dataset::isNullValue(first(sql::djdcMaxZdbh, {QStringLiteral("320102001")})));
    EXPECT_EQ(first(sql::jzbsbMaxId).toLongLong(), 5);
    EXPECT_EQ(first(sql::jzbsbMaxXh, {kParcel, kUnit}).toLongLong(), 3);
    EXPECT_EQ(first(sql::jzbsbCountCurrent, {kParcel, kUnit}).toLongLong(), 3);
    EXPECT_EQ(first(sql::jzbsbCountChanged, {kParcel, kUnit, kChanged}).toLongLong(), 1);
    EXPECT_EQ(first(sql::gyqCountCurrent, {kParcel, kUnit}).toLongLong(), 2);
    EXPECT_EQ(first(sql::gyqMaxId).toLongLong(), 3);

    // A new table has no highest id.
    execAll(*conn, {QStringLiteral("delete from T_SZB")});
    EXPECT_TRUE(Dataset::isNullValue(first(sql::szbMaxId)));
}

TEST_P(StatementsTest, ListsSelectOneVersionOfOneParcelOfOneUnit)
{
    EXPECT_EQ(ids(sql::jzbsbListCurrent, {kParcel, kUnit}), QStringList({"1", "2", "3"}));
    EXPECT_EQ(ids(sql::jzbsbListChanged, {kParcel, kUnit, kChanged}), QStringList({"4"}));
    EXPECT_EQ(ids(sql::zjbListCurrent, {kParcel, kUnit}), QStringList({"1", "2", "3"}));
    EXPECT_EQ(ids(sql::szbListChanged, {kParcel, kUnit, kChanged}), QStringList());
    EXPECT_EQ(ids(sql::gyqListChanged, {kParcel, kUnit, kChanged}), QStringList({"3"}));
    // The unit's list takes in its sub-units.
    EXPECT_EQ(ids(sql::djdcListOwnership, unitcode::unitListParams("320102001")).size(), 3);
    EXPECT_EQ(ids(sql::djdcListOwnership, unitcode::unitListParams(kUnit)).size(), 2);
}

// A unit without sub-units is read in the order of the (DWDM, ZDBH) index,
// without a sort; a unit with sub-units keeps the range. Either way the rows
// are the unit's, in parcel-number order with nulls last.
TEST_P(StatementsTest, AUnitWithoutSubUnitsIsReadInIndexOrder)
{
    const bool sqlite = GetParam() == Backend::Sqlite;
    // Enough rows, most of them the unit's, for PostgreSQL to prefer the index
    // to a sort (as it does for a big unit of a vacuumed table).
    execAll(
        *conn,
        {QStringLiteral(
             "insert into T_DJDCB (id, DWDM, ZDBH, dcblx) with recursive n(i) as (select 1 "
             "union all select i + 1 from n where i < 50000) select 100 + i, case when i % 10 "
             "= 0 then '320102001009' else '%1' end, '' || (900000 - i), 0 from n")
             .arg(kUnit),
         QStringLiteral("insert into T_DJDCB (id, DWDM, ZDBH, dcblx) values (99, '%1', null, 0)")
             .arg(kUnit),
         sqlite ? QStringLiteral("analyze") : QStringLiteral("vacuum analyze T_DJDCB")});
    auto open = [&](const QString &code) {
        runQuery(*query, sql::djdcListUseRight, unitcode::unitListParams(code));
        // The plan of the statement the store read its keys with, values written in.
        QString keys = QString(query->sql())
                           .replace(QStringLiteral("select *"), QStringLiteral("select id, zdbh"));
        QVariantList values = unitcode::unitListParams(code);
        if (query->sql().contains(QLatin1String("dwdm = ?")))
            values = {values[0], values[0], values[2]};
        for (const QVariant &v : values)
            keys.replace(keys.indexOf(QLatin1Char('?')), 1,
                         QLatin1Char('\'') + v.toString() + QLatin1Char('\''));
        // Not prepared: PostgreSQL cannot prepare an explain.
        QSqlQuery plan(conn->database());
        EXPECT_TRUE(plan.exec(
            (sqlite ? QStringLiteral("explain query plan ") : QStringLiteral("explain ")) + keys));
        QStringList lines;
        while (plan.next())
            lines << plan.value(sqlite ? 3 : 0).toString();
        return lines.join(QLatin1Char('\n'));
    };
    const QString sorted = sqlite ? QStringLiteral("TEMP B-TREE") : QStringLiteral("Sort");

    const QString unitPlan = open(kUnit);
    EXPECT_TRUE(query->sql().contains(QLatin1String("dwdm = ?"))) << query->sql().toStdString();
    EXPECT_FALSE(unitPlan.contains(sorted)) << unitPlan.toStdString();
    ASSERT_EQ(query->recordCount(), 45000 + 3);
    QStringList zdbh;
    for (int i = 0; i < query->recordCount(); ++i)
        zdbh << Dataset::textOf(query->valueAt(i, query->indexOf("zdbh")));
    EXPECT_EQ(zdbh.first(), "0010010001");
    EXPECT_TRUE(zdbh.last().isEmpty()) << "no parcel number comes last";
    zdbh.removeLast();
    EXPECT_TRUE(std::is_sorted(zdbh.begin(), zdbh.end()));

    // The district: the range, whatever its plan; all its rows.
    open(QStringLiteral("320102001"));
    EXPECT_TRUE(query->sql().contains(QLatin1String("dwdm >= ?"))) << query->sql().toStdString();
    EXPECT_EQ(query->recordCount(), 50000 + 4);
    // A sub-unit appearing under the unit's code turns the range back on.
    execAll(*conn, {QStringLiteral("insert into T_DJDCB (id, DWDM, ZDBH, dcblx) values "
                                   "(98, '%1', '1', 0)")
                        .arg(kUnit + QStringLiteral("01"))});
    open(kUnit);
    EXPECT_TRUE(query->sql().contains(QLatin1String("dwdm >= ?")));
    EXPECT_EQ(query->recordCount(), 45000 + 4);
}

// A unit code selects itself and the codes that extend it, nothing else: its
// wildcard characters stand for themselves, and the range that lets the index
// find the rows holds under a Chinese ICU collation as well as byte order.
TEST_P(StatementsTest, AUnitCodeListsItselfAndItsSubUnitsOnly)
{
    int id = 10;
    const QStringList codes = {"3209",   "32099", "3209_9", "3209X9", "3209%Z", "3209!",
                               "3209!%", "321",   "320",    "99",     "991",    "9"};
    for (const QString &dwdm : codes)
        execAll(*conn, {QStringLiteral("insert into T_DJDCB (id, DWDM, ZDBH) values (%1, '%2', "
                                       "'0001')")
                            .arg(++id)
                            .arg(dwdm)});
    auto units = [&](const QString &code) {
        runQuery(*query, sql::djdcListUseRight, unitcode::unitListParams(code));
        QStringList out;
        for (int i = 0; i < query->recordCount(); ++i)
            out << Dataset::textOf(query->valueAt(i, query->indexOf("dwdm")));
        out.sort();
        return out;
    };
    auto check = [&] {
        EXPECT_EQ(units("3209"),
                  QStringList({"3209", "3209!", "3209!%", "3209%Z", "32099", "3209X9", "3209_9"}));
        EXPECT_EQ(units("3209_"), QStringList({"3209_9"}));
        EXPECT_EQ(units("3209%"), QStringList({"3209%Z"}));
        EXPECT_EQ(units("3209!"), QStringList({"3209!", "3209!%"}));
        EXPECT_EQ(units("3209!%"), QStringList({"3209!%"}));
        EXPECT_EQ(units("99"), QStringList({"99", "991"}));
        EXPECT_EQ(units("321"), QStringList({"321"}));
        // Nothing under the code, but rows at its leading digits.
        EXPECT_EQ(units("99X"), QStringList());
        EXPECT_EQ(units("320102").size(), 3);
        EXPECT_EQ(units("").size(), codes.size() + 3);
    };
    check();
    if (GetParam() == Backend::Postgres) {
        // A database whose unit codes sort by a language's rules, not byte by byte.
        execAll(
            *conn,
            {QStringLiteral(
                "alter table T_DJDCB alter column DWDM type varchar(20) collate \"zh-x-icu\"")});
        check();
    }
}

TEST_P(StatementsTest, PurgesRemoveOnlyTheParcelsEmptyCurrentRows)
{
    runStatement(*query, sql::jzbsbPurge, {kParcel, kUnit});
    EXPECT_EQ(remaining("T_JZBSB"), QStringList({"1", "3", "4", "5"}));
    // A designation row with only one of its two points survives; the row
    // being saved is spared when asked.
    runStatement(*query, sql::zjbPurgeSparing, {kParcel, kUnit, 1});
    EXPECT_EQ(remaining("T_ZJB"), QStringList({"1", "2", "3", "4"}));
    runStatement(*query, sql::zjbPurge, {kParcel, kUnit});
    EXPECT_EQ(remaining("T_ZJB"), QStringList({"2", "3", "4"}));
    runStatement(*query, sql::szbPurge, {kParcel, kUnit});
    EXPECT_EQ(remaining("T_SZB"), QStringList({"2"}));
}

TEST_P(StatementsTest, DeletingASurveyRowRemovesOnlyItsVersionsAttachedRows)
{
    for (const QString &s : sql::deleteCurrentAttached)
        runStatement(*query, s, {kParcel, kUnit});
    EXPECT_EQ(remaining("T_JZBSB"), QStringList({"4", "5"}));
    EXPECT_EQ(remaining("T_ZJB"), QStringList({"4"}));
    EXPECT_EQ(remaining("T_GYQ"), QStringList({"3"}));
    EXPECT_EQ(remaining("T_SZB"), QStringList());

    for (const QString &s : sql::deleteChangedAttached)
        runStatement(*query, s, {kParcel, kUnit, kChanged});
    EXPECT_EQ(remaining("T_JZBSB"), QStringList({"5"}));
    EXPECT_EQ(remaining("T_ZJB"), QStringList());
    EXPECT_EQ(remaining("T_GYQ"), QStringList());
}

// The query plan of every statement on the survey tables uses an index: none
// reads a whole table however many parcels the registry holds.
TEST_P(StatementsTest, NoStatementReadsAWholeSurveyTable)
{
    QSqlDatabase sqlDb = conn->database();
    for (const Statement &s : allStatements(conn->database())) {
        if (s.readsWholeTable) continue;
        SCOPED_TRACE(s.name);
        QStringList plan;
        if (GetParam() == Backend::Sqlite) {
            QSqlQuery q(sqlDb);
            ASSERT_TRUE(q.prepare(QStringLiteral("explain query plan ") + s.sql));
            for (qsizetype i = 0; i < s.params.size(); ++i)
                q.bindValue(int(i), s.params[i]);
            ASSERT_TRUE(q.exec());
            while (q.next())
                plan << q.value(q.record().indexOf("detail")).toString();
            for (const QString &step : plan)
                EXPECT_FALSE(step.startsWith(QLatin1String("SCAN T_"))) << step.toStdString();
        } else {
            // The plan for the bound values, with sequential scans made a last resort.
            QString numbered = s.sql;
            for (qsizetype i = 0, n = 1; (i = numbered.indexOf(QLatin1Char('?'), i)) >= 0; ++n)
                numbered.replace(i, 1, QStringLiteral("$%1").arg(n));
            QStringList literals;
            for (const QVariant &v : s.params)
                literals << QLatin1Char('\'') + v.toString() + QLatin1Char('\'');
            QSqlQuery q(sqlDb);
            ASSERT_TRUE(q.exec(QStringLiteral("set enable_seqscan = off")));
            ASSERT_TRUE(q.exec(QStringLiteral("prepare plan_check as ") + numbered));
            ASSERT_TRUE(q.exec(
                QStringLiteral("explain execute plan_check") +
                (literals.isEmpty() ? QString() : QStringLiteral("(%1)").arg(literals.join(',')))));
            while (q.next())
                plan << q.value(0).toString();
            q.exec(QStringLiteral("deallocate plan_check"));
            for (const QString &step : plan)
                EXPECT_FALSE(step.contains(QLatin1String("Seq Scan on t_"))) << step.toStdString();
        }
        EXPECT_FALSE(plan.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StatementsTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, StatementsTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, StatementsTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
