#include "schema/attached_rows.h"

#include "data/connection.h"
#include "data/dataset.h"

namespace zarn::attached {

namespace {

void purge(Dataset &rows, const PurgePlan &plan)
{
    if (!plan.statement) return;
    // Deletes of rows picked by value may be run again after a reconnect.
    constexpr bool repeatable = true;
    Connection &c = *rows.connection();
    if (plan.sparing && rows.state() == Dataset::State::Edit && rows.isModified())
        c.exec(Access::Write, *plan.sparing,
               {plan.parcel, plan.unit, rows.value(QStringLiteral("ID"))}, repeatable);
    else
        c.exec(Access::Write, *plan.statement, {plan.parcel, plan.unit}, repeatable);
}

void asOneChange(Dataset &rows, const std::function<void()> &change)
{
    rows.connection()->transaction(change);
}

} // namespace

void saveWithPurge(Dataset &rows, const PurgePlan &plan)
{
    rows.connection()->transaction(
        [&] {
            if (plan.when == Purge::BeforePost) purge(rows, plan);
            rows.post();
            if (plan.when == Purge::AfterPost) purge(rows, plan);
        },
        Connection::Begin::WithFirstStatement);
}

void removeMarker(Dataset &markers)
{
    asOneChange(markers, [&] {
        markers.remove();
        const int n = markers.recordCount();
        for (int row = 0; row < n; ++row) {
            markers.moveTo(row);
            markers.edit();
            markers.setValue(QStringLiteral("XH"), row + 1);
            markers.post();
        }
    });
}

void insertMarker(Dataset &markers, int position, const std::function<void()> &fill)
{
    asOneChange(markers, [&] {
        markers.insert();
        fill();
        markers.post();
        for (int row = markers.recordCount() - 1; row >= position; --row) {
            markers.moveTo(row);
            markers.edit();
            markers.setValue(QStringLiteral("XH"),
                             markers.field(QStringLiteral("XH")).asInteger() + 1);
            markers.post();
        }
    });
}

} // namespace zarn::attached
