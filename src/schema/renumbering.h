#pragma once

#include "data/number_retry.h"

namespace zarn {
class DatabaseError;
}

// What a refusal of a new row asks to renumber; the retry itself and its
// policy (how many tries, which refusals) are writeRenumbering's.
namespace zarn::numbering {

enum class Retake {
    Nothing, // not a number taken meanwhile: the refusal stands
    RowId,   // the table-wide row number only
    Numbers, // the row number and the numbers the form gave the row (parcel, survey table)
};

// What a refusal of a new row asks to renumber, read from its kind and key:
// a duplicate of the table's row number retakes that; another duplicate key
// retakes the form's numbers. Where the database names no key (Oracle names
// only its constraint), a row number now stored by someone else tells it:
// triedIdTaken is whether the table's highest row number, read after the
// refusal, reaches the one the row was tried with.
Retake whatToRetake(const DatabaseError &refusal, bool triedIdTaken);

} // namespace zarn::numbering
