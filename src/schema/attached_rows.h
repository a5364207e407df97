#pragma once

#include <QString>

#include <functional>

namespace zarn {
class Dataset;
}

// Writes of an attached table (boundary markers, boundary lines, co-owners,
// adjoining parcels) that take several statements and stand or fall
// together. Each runs in one transaction of the dataset's connection: a
// refusal anywhere, the commit's included, rolls all of it back and is
// thrown; the caller decides what the surveyor sees.
namespace zarn::attached {

// When a save purges the parcel's empty current rows.
enum class Purge {
    None,
    BeforePost, // the row being saved is written even with its key columns empty
    AfterPost,  // the row just saved is purged like any other; a refused post purges nothing
};

// How an editor's save purges: the statement binds parcel, unit; the sparing
// one (null: the purge spares nothing) also the ID of a stored row being
// saved with changes, which the purge must not take, or the post after it
// would find the row gone and the typing lost with it.
struct PurgePlan {
    const QString *statement = nullptr; // null: no purge
    const QString *sparing = nullptr;
    Purge when = Purge::None;
    QString parcel;
    QString unit;
};

// Posts the current row of `rows` with the parcel's purge before or after
// it, as the plan says. A refused post leaves the row in its editing state,
// the typing kept.
void saveWithPurge(Dataset &rows, const PurgePlan &plan);

// Boundary markers are numbered 1..n (column XH) in their order.
// Removes the current marker and numbers the rest again.
void removeMarker(Dataset &markers);
// Inserts a marker before the current one, which `fill` gives its columns
// (its number `position` included), posts it, then moves the markers from
// there on one number up, from the last back.
void insertMarker(Dataset &markers, int position, const std::function<void()> &fill);

} // namespace zarn::attached
