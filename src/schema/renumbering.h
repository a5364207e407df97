#pragma once

namespace zarn {
class DatabaseError;
}

// How a new row is numbered again when the database refuses it because
// another workstation stored one of its numbers meanwhile: one policy for the
// survey forms and the attached-table editors, run through the Dataset's
// renumber hook (or around the whole transaction, where the caller owns it).
//
// Nothing waits. The database refuses a key only once the row holding it is
// committed (a writer of the same key waits for the other's transaction to
// end first, and the number claim takes turns), so a fresh read right after
// the refusal already sees that row, and every refusal means another
// workstation's row went in: the tries make progress without waiting. The
// user-interface thread is never put to sleep, so painting is held up only by
// the database's own answers.
namespace zarn::numbering {

// Renumberings of one new row before its refusal goes to the surveyor (the
// row stays pending, and the next post renumbers again). Generous: a try
// costs two or three reads, and an SQLite writer that waits for the write
// lock sleeps in the driver while a busy neighbour may win several rounds.
inline constexpr int kRenumberAttempts = 30;
// The longest the policy itself holds the user-interface thread between two
// tries, in milliseconds.
inline constexpr int kLongestPauseMs = 0;

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
