#pragma once

#include <QString>
#include <QVariant>

namespace zarn {
class Connection;
}

namespace zarn::survey {

// A survey row as the database stores it, by what its attached rows are
// keyed with. The attached rows carry the row's own unit code, which for a
// sub-unit's row is longer than the session's.
struct StoredSurveyRow {
    QVariant id;
    QString parcel;     // trimmed
    QString unit;       // the row's own unit code
    QString changeDate; // empty: a current row
};

// Deletes the survey row with its attached rows (boundary markers, boundary
// lines, co-owners, adjoining parcels) in one transaction: a current row's
// current attached rows, a changed row's attached rows of exactly its
// version. A refusal anywhere, the commit's included, rolls everything back
// and is thrown (DatabaseError); the database then holds the row and its
// attached rows as before.
void removeSurveyRow(Connection &connection, const StoredSurveyRow &row);

} // namespace zarn::survey
