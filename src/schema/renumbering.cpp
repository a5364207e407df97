#include "schema/renumbering.h"

#include "data/errors.h"

namespace zarn::numbering {

Retake whatToRetake(const DatabaseError &refusal, bool triedIdTaken)
{
    const Refusal &r = refusal.refusal();
    if (!numberMayBeTaken(refusal)) return Retake::Nothing;
    if (r.primaryKey()) return Retake::RowId;
    const bool keyNamed = !r.keyColumns.isEmpty();
    if (!keyNamed && triedIdTaken) return Retake::RowId;
    return Retake::Numbers;
}

} // namespace zarn::numbering
