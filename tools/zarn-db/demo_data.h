#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace zarn {
class Connection;
}

// Realistic demo data for a survey database made by createSurveyDatabase:
// units of one district, parcels numbered as the forms number them, their
// boundary markers, designation, four sides and co-use-right holders, and a
// few superseded versions with their own attached rows.
namespace zarn::demo {

struct DemoOptions {
    int units = 0;     // 0: as many as keep a unit at kParcelsPerUnit or fewer
    int parcels = 300; // parcels in all, spread evenly over the units
    quint64 seed = 1;  // the same seed gives the same rows
    // Without the attached rows (markers, designations, sides, co-holders) a
    // district-sized session is made in a minute rather than an hour. The
    // survey rows then count no markers and no co-holders, as the forms
    // would recount them.
    bool attached = true;
};

// A unit's parcel numbers run on from its street and block codes and four
// digits; past 9999 parcels they carry into the block digits, as the forms'
// numbering does, so one unit can be as big as a registry's biggest.
constexpr int kMaxParcelsPerUnit = 999'999;
constexpr int kParcelsPerUnit = 2000;
constexpr int kMaxUnits = 999;
constexpr int kMaxParcels = 5'000'000;

struct DemoSummary {
    QStringList unitCodes;
    int parcels = 0;    // current survey rows made
    int ownership = 0;  // of them, ownership survey tables (dcblx 1)
    int superseded = 0; // superseded versions made (non-null bgrq)
    qint64 markers = 0;
    qint64 designations = 0;
    qint64 sides = 0;
    qint64 holders = 0;
};

// The unit codes the demo uses: the district, then a street and a block code.
QString demoUnitCode(int index);
int defaultUnitCount(int parcels);

// The rows the survey tables (the main table and its attached tables, not
// the code tables) hold already, by table, for the tables that hold any:
// attached rows without a survey row are data too. Tables not there count
// none (fillDemoData then says to run zarn-db init).
QList<QPair<QString, qint64>> existingSurveyRows(Connection &connection);

// Fills the database in one transaction: everything or nothing. Numbers go on
// from what the database holds (row ids over each table, parcel and survey
// numbers per unit), so a second run adds to the first. Throws zarn::Error
// (in Chinese) for bad options, missing tables or empty code tables, and
// DatabaseError for what the database refuses.
DemoSummary fillDemoData(Connection &connection, const DemoOptions &options);

} // namespace zarn::demo
