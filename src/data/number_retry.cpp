#include "data/number_retry.h"

#include "data/errors.h"

namespace zarn::numbering {

bool numberMayBeTaken(const DatabaseError &refusal)
{
    return refusal.kind() == RefusalKind::DuplicateKey;
}

void writeRenumbering(const std::function<void()> &write, const Renumber &renumber, int attempts)
{
    for (int renumbered = 0;; ++renumbered) {
        try {
            write();
            return;
        } catch (const DatabaseError &e) {
            if (!numberMayBeTaken(e) || renumbered >= attempts || !renumber || !renumber(e)) throw;
        }
    }
}

} // namespace zarn::numbering
