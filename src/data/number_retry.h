#pragma once

#include <functional>

namespace zarn {
class DatabaseError;
}

// How a new row is written when another workstation may take its numbers
// meanwhile: one policy for the data layer, the survey forms and the
// attached-table editors.
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

// Whether a refusal may mean that a number was taken meanwhile: only a
// duplicate key does.
bool numberMayBeTaken(const DatabaseError &refusal);

// Takes fresh numbers for what the refused write tried to store, and answers
// true to have it written again, false when the refusal is not one that
// renumbering mends (the refusal then goes to the caller).
using Renumber = std::function<bool(const DatabaseError &refusal)>;

// Runs write; when the database refuses it with a duplicate key, asks
// renumber and, on true, runs write again. At most `attempts` renumberings:
// after that, or for any other refusal or exception, what write threw goes
// to the caller unchanged, and nothing of the tries is undone (a pending row
// stays pending with its latest numbers, so the next write renumbers again).
void writeRenumbering(const std::function<void()> &write, const Renumber &renumber,
                      int attempts = kRenumberAttempts);

} // namespace zarn::numbering
