#include "zarn-db/demo_data.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "schema/columns.h"
#include "schema/numbering.h"
#include "schema/statements.h"
#include "zarn-db/batch_insert.h"
#include "zarn-db/demo_outline.h"
#include "zarn-db/demo_people.h"
#include "zarn-db/survey_ddl.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_map>

namespace zarn::demo {

namespace {

using numbering::dateText;

// An empty text is stored as null, as the forms store it.
QVariant textValue(const QString &s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

QString chineseDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy年MM月dd日"));
}

// ---------------------------------------------------------------- code tables

struct Codes {
    QStringList dwxz, qsxz, gylx, jblx, jxlb, jxwz;
    QStringList dldmCodes, dldmNames;
};

QStringList readCodeList(Connection &c, const sql::CodeList &list, const QString &table,
                         QStringList *names = nullptr, const QString &nameColumn = {})
{
    Dataset d(&c);
    d.setSql(list.sql);
    d.open();
    const int col = d.indexOf(list.column);
    const int nameCol = names ? d.indexOf(nameColumn) : -1;
    QStringList out;
    for (int i = 0; i < d.recordCount(); ++i) {
        out << Dataset::textOf(d.valueAt(i, col)).trimmed();
        if (names) *names << Dataset::textOf(d.valueAt(i, nameCol)).trimmed();
    }
    d.close();
    if (out.isEmpty())
        throw Error(
            QStringLiteral("代码表 %1 是空的：演示数据要从代码表取值，请先用 zarn-db init 建库")
                .arg(table));
    return out;
}

Codes readCodes(Connection &c)
{
    Codes k;
    k.dwxz = readCodeList(c, sql::codeDwxz, QStringLiteral("S_DWXZDM"));
    k.qsxz = readCodeList(c, sql::codeQsxz, QStringLiteral("S_QSXZ"));
    k.gylx = readCodeList(c, sql::codeGylx, QStringLiteral("S_GYLX"));
    k.jblx = readCodeList(c, sql::codeJblx, QStringLiteral("S_JBLX"));
    k.jxlb = readCodeList(c, sql::codeJxlb, QStringLiteral("S_JXLB"));
    k.jxwz = readCodeList(c, sql::codeJxwz, QStringLiteral("S_JXWZDM"));
    k.dldmCodes =
        readCodeList(c, sql::codeDldm, QStringLiteral("S_DLDM"), &k.dldmNames, sql::codeDldmName);
    return k;
}

// The wanted entry when the code table has it, else any entry of the table:
// a database whose code tables were edited still gets values from them.
QString choose(DemoRandom &r, const QStringList &table, const QString &wanted)
{
    return table.contains(wanted) ? wanted : r.pick(table);
}

QVariant highest(Connection &c, const QString &sql, const QVariantList &params = {})
{
    Dataset d(&c);
    d.setSql(sql, params);
    d.open();
    const QVariant v = d.isEmpty() ? QVariant() : d.value(0);
    d.close();
    return v;
}

// ---------------------------------------------------------------- land users

struct LandUser {
    QString nature;         // S_DWXZDM name
    QStringList landUses;   // S_DLDM codes that suit it
    QStringList rightTypes; // S_GYLX names that suit it
    int minArea, maxArea;   // square metres
};

const LandUser &landUserKind(DemoRandom &r)
{
    static const QStringList business = {"0501", "0502", "0503", "0504", "0505",
                                         "0506", "0507", "0601", "0604"};
    static const QList<std::pair<int, LandUser>> kinds = {
        {58, {"个人", {"0701"}, {"出让", "出让", "划拨"}, 60, 400}},
        {8, {"私营", business, {"出让", "出让", "租赁"}, 300, 6000}},
        {6, {"股份制", business, {"出让", "作价出资（入股）"}, 800, 12000}},
        {4, {"国有", business, {"授权经营", "作价出资（入股）", "出让"}, 1000, 15000}},
        {3, {"外商投资", business, {"出让"}, 800, 8000}},
        {2, {"港澳台", business, {"出让"}, 500, 6000}},
        {2, {"联营", business, {"出让", "租赁"}, 500, 5000}},
        {4, {"个体", {"0501", "0503"}, {"出让", "租赁"}, 50, 300}},
        {5, {"行政", {"0801"}, {"划拨"}, 800, 10000}},
        {5, {"事业", {"0803", "0804", "0805", "0806", "0807", "0808"}, {"划拨"}, 1000, 20000}},
        {3, {"集体", {"0702", "0601", "0604"}, {"批准拨用", "联营", "入股"}, 500, 5000}}};
    int roll = r.below(100);
    for (const auto &[weight, kind] : kinds) {
        if (roll < weight) return kind;
        roll -= weight;
    }
    return kinds.front().second;
}

int yearsOfUse(const QString &rightType, const QString &landUse)
{
    if (rightType == QStringLiteral("出让")) {
        if (landUse.startsWith(QLatin1String("07"))) return 70;
        if (landUse.startsWith(QLatin1String("05"))) return 40;
        return 50;
    }
    if (rightType == QStringLiteral("租赁")) return 20;
    if (rightType == QStringLiteral("作价出资（入股）") || rightType == QStringLiteral("授权经营"))
        return 50;
    return 0; // allocated and approved land has no term
}

// ---------------------------------------------------------------- the filler

struct Unit {
    QString dwdm;
    numbering::UnitCodeParts parts;
    QString parcelBase, surveyBase;
    QStringList recentParcels;
    qint64 pointNumber = 0;
    qint64 originX = 0, originY = 0;
    int parcelsMade = 0;
};

// One survey table of a parcel: a current row or a superseded version.
struct Version {
    QString zdbh, dcbh;
    QDate surveyed;
    QString bgrq; // empty for the current row
    int kind = 0; // dcblx
    bool replacesOlder = false;
};

class Filler {
public:
    Filler(Connection &c, const DemoOptions &o)
        : m_conn(c)
        , m_rng(o.seed)
        , m_attached(o.attached)
        , m_db(c.database())
        , m_main(m_db, dbsetup::dialectOf(c), QStringLiteral("T_DJDCB"), columns::djdcb)
        , m_markers(m_db, dbsetup::dialectOf(c), QStringLiteral("T_JZBSB"), columns::jzbsb)
        , m_designations(m_db, dbsetup::dialectOf(c), QStringLiteral("T_ZJB"), columns::zjb)
        , m_sides(m_db, dbsetup::dialectOf(c), QStringLiteral("T_SZB"), columns::szb)
        , m_holders(m_db, dbsetup::dialectOf(c), QStringLiteral("T_GYQ"), columns::gyq)
    {
        for (int i = 0; i < columns::djdcb.size(); ++i)
            m_mainIndex.insert(columns::djdcb[i], i);
    }

    DemoSummary run(int unitCount, int parcels);

private:
    void makeParcel(Unit &u);
    void writeVersion(Unit &u, const Version &v);
    void set(QVariantList &row, const QString &column, const QVariant &value)
    {
        // The names are literals, whose text lives at one address for good:
        // found by that address, a name is hashed once per call site, not
        // fifty times a row (which was a fifth of a million-row run).
        int &at = m_mainAt[column.constData()];
        if (at == 0) {
            const auto it = m_mainIndex.constFind(column);
            if (it == m_mainIndex.constEnd())
                throw Error(QStringLiteral("T_DJDCB 没有列 %1").arg(column));
            at = *it + 1;
        }
        row[at - 1] = value;
    }
    QString neighbour(Unit &u);

    Connection &m_conn;
    DemoRandom m_rng;
    bool m_attached;
    QSqlDatabase m_db;
    Codes m_codes;
    QStringList m_surveyors, m_reviewers;
    dbsetup::BatchInserter m_main, m_markers, m_designations, m_sides, m_holders;
    QHash<QString, int> m_mainIndex;
    std::unordered_map<const QChar *, int> m_mainAt; // index + 1, 0 not yet looked up
    qint64 m_mainId = 0, m_markerId = 0, m_designationId = 0, m_sideId = 0, m_holderId = 0;
    DemoSummary m_summary;
};

QString Filler::neighbour(Unit &u)
{
    if (!u.recentParcels.isEmpty() && m_rng.chance(65)) return m_rng.pick(u.recentParcels);
    return m_rng.pick({QStringLiteral("中山路"), QStringLiteral("珠江路"),
                       QStringLiteral("北京东路"), QStringLiteral("太平北路"),
                       QStringLiteral("龙蟠中路"), QStringLiteral("进香河路"),
                       QStringLiteral("小区道路"), QStringLiteral("玄武湖公园")});
}

void Filler::makeParcel(Unit &u)
{
    const QString zdbh = numbering::nextParcelNumber(u.parcelBase);
    u.parcelBase = numbering::parcelNumberBase(zdbh);
    const int kind = m_rng.chance(8) ? 1 : 0;
    const bool superseded = m_rng.chance(5);
    if (superseded) {
        Version old;
        old.zdbh = zdbh;
        old.dcbh = numbering::nextSurveyNumber(u.surveyBase);
        u.surveyBase = old.dcbh;
        old.kind = kind;
        old.surveyed = m_rng.dayBetween(QDate(2006, 1, 1), QDate(2014, 12, 31));
        old.bgrq = dateText(m_rng.dayBetween(old.surveyed.addDays(30), QDate(2015, 12, 31)));
        writeVersion(u, old);
        ++m_summary.superseded;
    }
    Version now;
    now.zdbh = zdbh;
    now.dcbh = numbering::nextSurveyNumber(u.surveyBase);
    u.surveyBase = now.dcbh;
    now.kind = kind;
    now.surveyed = m_rng.dayBetween(QDate(2016, 1, 1), QDate(2023, 12, 31));
    now.replacesOlder = superseded;
    writeVersion(u, now);
    ++m_summary.parcels;
    if (kind == 1) ++m_summary.ownership;
    u.recentParcels << zdbh;
    if (u.recentParcels.size() > 20) u.recentParcels.removeFirst();
    ++u.parcelsMade;
}

void Filler::writeVersion(Unit &u, const Version &v)
{
    DemoRandom &r = m_rng;
    const bool ownership = v.kind == 1;
    const LandUser &user = landUserKind(r);
    const int wanted = r.between(3, 12);
    const int area = ownership ? r.between(2000, 50000) : r.between(user.minArea, user.maxArea);
    const qint64 slot = u.parcelsMade;
    const Outline outline =
        makeOutline(r, wanted, area, u.originX + slot % 40 * 12000, u.originY + slot / 40 * 12000);
    // A small parcel may have room for fewer points than wanted.
    const int points = int(outline.x.size());
    const QVariant bgrq = textValue(v.bgrq);
    const QString surveyDate = dateText(v.surveyed);
    const QDate measured = v.surveyed.addDays(r.between(0, 10));
    const QDate reviewed = measured.addDays(r.between(5, 30));
    const QString surveyor = r.pick(m_surveyors);

    // Boundary markers, one per point, with their unified numbers.
    QStringList pointNumbers;
    for (int i = 0; i < points; ++i) {
        pointNumbers << QString::number(++u.pointNumber);
        if (!m_attached) continue;
        m_markers.add({++m_markerId, v.zdbh, u.dwdm, i + 1, pointNumbers.last(),
                       outline.measured[i], r.pick(m_codes.jblx), r.pick(m_codes.jxlb),
                       r.pick(m_codes.jxwz), 1,
                       textValue(r.chance(10) ? QStringLiteral("界址点位于墙角") : QString()),
                       outline.computed[i], surveyDate, bgrq, v.kind});
    }
    if (m_attached) m_summary.markers += points;

    // One boundary line per side, each pointed out with the neighbour beyond it.
    static const QStringList directions = {QStringLiteral("南"), QStringLiteral("东"),
                                           QStringLiteral("北"), QStringLiteral("西")};
    const QString ownPerson = personName(r);
    int start = 0;
    for (int s = 0; m_attached && s < outline.corners.size(); ++s) {
        const int end = outline.corners[s];
        const QString beyond = neighbour(u);
        const QString designatedBy = personName(r);
        m_designations.add({++m_designationId, v.zdbh, u.dwdm, pointNumbers[start],
                            pointNumbers[end], beyond, designatedBy, ownPerson, surveyDate,
                            surveyDate, bgrq, v.kind});
        m_sides.add({++m_sideId, v.zdbh, u.dwdm,
                     outline.corners.size() == 4 ? directions[s] : directions[s == 2 ? 3 : s],
                     pointNumbers[start], pointNumbers[end], beyond, surveyDate, bgrq, v.kind});
        start = end;
        // A three-cornered parcel still has a neighbour to the north: the
        // four sides name it at the apex, so that each direction is held once.
        if (outline.corners.size() == 3 && s == 2) {
            m_sides.add({++m_sideId, v.zdbh, u.dwdm, directions[2],
                         pointNumbers[outline.corners[1]], pointNumbers[outline.corners[1]], beyond,
                         surveyDate, bgrq, v.kind});
            ++m_summary.sides;
        }
    }
    if (m_attached) {
        m_summary.designations += outline.corners.size();
        m_summary.sides += outline.corners.size();
    }

    QVariantList row(columns::djdcb.size());
    set(row, QStringLiteral("id"), ++m_mainId);
    set(row, QStringLiteral("ysdm"), QStringLiteral("250000"));
    set(row, QStringLiteral("qhdm"), textValue(u.parts.district));
    set(row, QStringLiteral("jddm"), textValue(u.parts.street));
    set(row, QStringLiteral("jfdm"), textValue(u.parts.block));
    set(row, QStringLiteral("DWDM"), u.dwdm);
    set(row, QStringLiteral("QSDM"), u.dwdm);
    set(row, QStringLiteral("DCBH"), v.dcbh);
    set(row, QStringLiteral("ZDBH"), v.zdbh);
    set(row, QStringLiteral("SZTFH"), mapSheet(outline.x[0], outline.y[0]));
    set(row, QStringLiteral("JZDGS"), m_attached ? points : 0);
    set(row, QStringLiteral("DCRQ"), surveyDate);
    set(row, QStringLiteral("QSDCY"), surveyor);
    set(row, QStringLiteral("KZY"), r.pick(m_surveyors));
    set(row, QStringLiteral("bgrq"), bgrq);
    set(row, QStringLiteral("dcblx"), v.kind);

    if (ownership) {
        // A farmers' collective's land, as the ownership sheet records it.
        set(row, QStringLiteral("qsmc"),
            QStringLiteral("玄武区%1街道%2村第%3村民小组农民集体")
                .arg(streetName(r).left(2), personName(r).left(1))
                .arg(r.between(1, 9)));
        set(row, QStringLiteral("QSXZ"), choose(r, m_codes.qsxz, QStringLiteral("集体土地所有权")));
        set(row, QStringLiteral("QLRZS"), 0);
        set(row, QStringLiteral("ZYGDWZSM"),
            QStringLiteral("J%1位于田坎交叉处，J%2位于道路中心线上")
                .arg(pointNumbers.first(), pointNumbers[points / 2]));
        set(row, QStringLiteral("ZYJXZXSM"),
            QStringLiteral("北以%1中心线为界，东、南、西以田坎为界").arg(roadName(r)));
        set(row, QStringLiteral("bz"),
            r.chance(20) ? QStringLiteral("宗地被%1（国有）分割为两块").arg(roadName(r))
                         : QStringLiteral("宗地未被线状地物分割"));
        set(row, QStringLiteral("QSDCJS"),
            QStringLiteral("权属来源清楚，四至界线经相邻权利人共同指认"));
        set(row, QStringLiteral("SM"), QStringLiteral("经实地调查，界址无争议"));
        m_main.add(std::move(row));
        return;
    }

    const bool person = user.nature == QStringLiteral("个人");
    const QString nature = choose(r, m_codes.dwxz, user.nature);
    const QString holder = person ? personName(r) : organisationName(r, nature);
    const QString representative = person ? holder : personName(r);
    const QString rightType = choose(r, m_codes.gylx, r.pick(user.rightTypes));
    auto landUse = [&](const QString &wanted) {
        qsizetype i = m_codes.dldmCodes.indexOf(wanted);
        if (i < 0) i = r.below(int(m_codes.dldmCodes.size()));
        return i;
    };
    const qsizetype approved = landUse(r.pick(user.landUses));
    const qsizetype actual = r.chance(90) ? approved : landUse(r.pick(user.landUses));
    const QDate useFrom = r.dayBetween(QDate(1992, 1, 1), v.surveyed.addDays(-60));
    const int years = yearsOfUse(rightType, m_codes.dldmCodes[approved]);

    // Co-use-right holders of some flats and shared compounds.
    int holders = 0;
    if (r.chance(15)) {
        holders = r.between(2, 4);
        const double buildingShare = 0.3 + r.below(30) / 100.0;
        const double alone = outline.area * r.below(20) / 100.0;
        const double shared = outline.area - alone;
        QList<int> weights;
        int total = 0;
        for (int i = 0; i < holders; ++i)
            total += weights.emplace_back(r.between(1, 10));
        for (int i = 0; m_attached && i < holders; ++i) {
            const bool coPerson = person || r.chance(40);
            const QString coNature =
                coPerson ? choose(r, m_codes.dwxz, QStringLiteral("个人")) : nature;
            const QString name = coPerson ? personName(r) : organisationName(r, coNature);
            const QString rep = coPerson ? name : personName(r);
            const double part = double(weights[i]) / total;
            const bool agent = r.chance(30);
            const QString agentName = agent ? personName(r) : QString();
            const QString agentId =
                agent ? identityCardNumber(r, r.dayBetween(QDate(1960, 1, 1), QDate(2000, 12, 31)))
                      : QString();
            const QString agentPhone = agent ? mobilePhone(r) : QString();
            m_holders.add(
                {++m_holderId,
                 v.zdbh,
                 u.dwdm,
                 QString::number(i + 1),
                 name,
                 coNature,
                 streetAddress(r),
                 postcode(r),
                 superiorAuthority(r, coNature),
                 rep,
                 identityCardNumber(r, r.dayBetween(QDate(1945, 1, 1), QDate(1998, 12, 31))),
                 coPerson ? mobilePhone(r) : landlinePhone(r),
                 textValue(agentName),
                 textValue(agentId),
                 textValue(agentPhone),
                 m_codes.dldmNames[actual],
                 r.pick({QStringLiteral("钢混"), QStringLiteral("砖混"), QStringLiteral("砖木"),
                         QStringLiteral("框架")}),
                 QString::number(alone / holders, 'f', 2),
                 QString::number(alone / holders * buildingShare, 'f', 2),
                 QString::number(shared, 'f', 2),
                 QString::number(shared * part, 'f', 2),
                 QString::number(shared * part * buildingShare, 'f', 2),
                 surveyDate,
                 bgrq,
                 v.kind});
        }
        if (m_attached) m_summary.holders += holders;
    }

    set(row, QStringLiteral("DCLX"),
        v.replacesOlder ? QStringLiteral("变更") : QStringLiteral("初始"));
    set(row, QStringLiteral("qsmc"), QStringLiteral("国家"));
    set(row, QStringLiteral("QLR"), holder);
    set(row, QStringLiteral("DWXZ"), nature);
    set(row, QStringLiteral("TXDZ"), kDemoDistrictName + streetAddress(r));
    set(row, QStringLiteral("QLRYB"), postcode(r));
    set(row, QStringLiteral("SJZGBM"), superiorAuthority(r, nature));
    set(row, QStringLiteral("TDZL"), QStringLiteral("玄武区") + streetAddress(r));
    set(row, QStringLiteral("FRDBXM"), representative);
    set(row, QStringLiteral("FRSFZM"),
        identityCardNumber(r, r.dayBetween(QDate(1945, 1, 1), QDate(1998, 12, 31))));
    set(row, QStringLiteral("FRDBDH"), person ? mobilePhone(r) : landlinePhone(r));
    set(row, QStringLiteral("DLRXM"), personName(r));
    set(row, QStringLiteral("DLRSFZ"),
        identityCardNumber(r, r.dayBetween(QDate(1960, 1, 1), QDate(2000, 12, 31))));
    set(row, QStringLiteral("DLRDH"), mobilePhone(r));
    set(row, QStringLiteral("QSXZ"), choose(r, m_codes.qsxz, QStringLiteral("国有土地使用权")));
    set(row, QStringLiteral("YBDJH"), v.zdbh);
    set(row, QStringLiteral("PZYTDM"), m_codes.dldmCodes[approved]);
    set(row, QStringLiteral("PZYT"), m_codes.dldmNames[approved]);
    set(row, QStringLiteral("TDYTDM"), m_codes.dldmCodes[actual]);
    set(row, QStringLiteral("TDYT"), m_codes.dldmNames[actual]);
    set(row, QStringLiteral("QSRQ"), chineseDate(useFrom));
    set(row, QStringLiteral("ZZRQ"),
        years > 0 ? chineseDate(useFrom.addYears(years).addDays(-1)) : QStringLiteral("长期"));
    set(row, QStringLiteral("QLRZS"), m_attached ? holders : 0);
    set(row, QStringLiteral("SM"),
        r.chance(40) ? QStringLiteral("原土地证号：宁玄国用（%1）第%2号")
                           .arg(useFrom.year())
                           .arg(r.digits(5))
                     : QStringLiteral("无"));
    set(row, QStringLiteral("DCY"), surveyor);
    set(row, QStringLiteral("QSDCJS"),
        r.pick({QStringLiteral("经实地调查，权属来源合法，界址清楚，四邻无争议。"),
                QStringLiteral("本宗地界址经本宗及相邻权利人现场共同指认，无争议。"),
                QStringLiteral("界址以围墙外侧为界，相邻宗地指界人均到场签字。")}));
    set(row, QStringLiteral("DJKZJS"),
        r.pick({QStringLiteral("界址点采用全站仪解析法实测，边长检查合格。"),
                QStringLiteral("采用GNSS RTK测量界址点坐标，反算边长与实量边长较差符合限差。")}));
    set(row, QStringLiteral("KZRQ"), dateText(measured));
    set(row, QStringLiteral("DCSHYJ"),
        r.pick({QStringLiteral("调查结果属实，同意上报。"),
                QStringLiteral("经审核，权属清楚，界址无误，同意。")}));
    set(row, QStringLiteral("DCSHR"), r.pick(m_reviewers));
    set(row, QStringLiteral("DCSHRQ"), dateText(reviewed));
    set(row, QStringLiteral("syqlx"), rightType);
    set(row, QStringLiteral("BDDJ"), QString::number(r.between(30, 300) * 100));
    m_main.add(std::move(row));
}

DemoSummary Filler::run(int unitCount, int parcels)
{
    m_codes = readCodes(m_conn);
    for (int i = 0; i < 8; ++i)
        m_surveyors << personName(m_rng);
    for (int i = 0; i < 3; ++i)
        m_reviewers << personName(m_rng);
    m_mainId = numbering::nextRowNumber(highest(m_conn, sql::djdcMaxId)) - 1;
    m_markerId = numbering::nextRowNumber(highest(m_conn, sql::jzbsbMaxId)) - 1;
    m_designationId = numbering::nextRowNumber(highest(m_conn, sql::zjbMaxId)) - 1;
    m_sideId = numbering::nextRowNumber(highest(m_conn, sql::szbMaxId)) - 1;
    m_holderId = numbering::nextRowNumber(highest(m_conn, sql::gyqMaxId)) - 1;

    for (int i = 0; i < unitCount; ++i) {
        Unit u;
        u.dwdm = demoUnitCode(i);
        u.parts = numbering::splitUnitCode(u.dwdm);
        // Go on from the unit's stored numbers, as a new record in the forms does.
        const QString maxZdbh = Dataset::textOf(highest(m_conn, sql::djdcMaxZdbh, {u.dwdm}));
        const QString maxDcbh = Dataset::textOf(highest(m_conn, sql::djdcMaxDcbh, {u.dwdm}));
        u.parcelBase = maxZdbh.isEmpty() ? numbering::firstParcelNumberBase(u.parts)
                                         : numbering::parcelNumberBase(maxZdbh);
        u.surveyBase = maxDcbh.isEmpty() ? numbering::firstSurveyNumberBase(u.parts)
                                         : numbering::surveyNumberBase(maxDcbh);
        u.originX = (390000 + i % 10 * 600) * qint64(100);
        u.originY = (3549000 + i / 10 * 600) * qint64(100);
        const int count = parcels / unitCount + (i < parcels % unitCount ? 1 : 0);
        for (int p = 0; p < count; ++p)
            makeParcel(u);
        m_summary.unitCodes << u.dwdm;
    }
    m_main.flush();
    m_markers.flush();
    m_designations.flush();
    m_sides.flush();
    m_holders.flush();
    return m_summary;
}

} // namespace

QString demoUnitCode(int index)
{
    return kDemoDistrictCode + QStringLiteral("%1").arg(1 + index / 10, 3, 10, QLatin1Char('0')) +
           QStringLiteral("%1").arg(1 + index % 10, 3, 10, QLatin1Char('0'));
}

int defaultUnitCount(int parcels)
{
    const int needed = (parcels + kParcelsPerUnit - 1) / kParcelsPerUnit;
    return std::max(1, std::min(std::max(3, needed), parcels));
}

QList<QPair<QString, qint64>> existingSurveyRows(Connection &connection)
{
    QList<QPair<QString, qint64>> found;
    const QStringList existing = dbsetup::existingSurveyTables(connection);
    for (const QString &t : dbsetup::surveyTables()) {
        if (t.startsWith(QLatin1String("S_")) || !existing.contains(t)) continue;
        // The name is one of our own table names, never a value.
        const qint64 rows =
            highest(connection, QStringLiteral("select count(*) from %1").arg(t)).toLongLong();
        if (rows > 0) found.append({t, rows});
    }
    return found;
}

DemoSummary fillDemoData(Connection &connection, const DemoOptions &options)
{
    if (options.parcels < 1 || options.parcels > kMaxParcels)
        throw Error(QStringLiteral("宗地数应在 1 到 %1 之间").arg(kMaxParcels));
    if (options.units < 0 || options.units > kMaxUnits)
        throw Error(QStringLiteral("单位数应在 1 到 %1 之间").arg(kMaxUnits));
    const int units = options.units > 0 ? options.units : defaultUnitCount(options.parcels);
    if ((options.parcels + units - 1) / units > kMaxParcelsPerUnit)
        throw Error(QStringLiteral("每个单位最多 %1 宗地，请用 --units 增加单位数")
                        .arg(kMaxParcelsPerUnit));
    dbsetup::dialectOf(connection);
    const QStringList existing = dbsetup::existingSurveyTables(connection);
    for (const QString &t : dbsetup::surveyTables())
        if (!existing.contains(t))
            throw Error(QStringLiteral("数据库中没有表 %1：请先用 zarn-db init 建库").arg(t));
    DemoSummary summary;
    connection.transaction([&] {
        Filler filler(connection, options);
        summary = filler.run(units, options.parcels);
    });
    return summary;
}

} // namespace zarn::demo
