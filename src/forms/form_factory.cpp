#include "forms/form_factory.h"

#include "forms/ownership_form.h"
#include "forms/use_right_form.h"
#include "session/session_context.h"

namespace zarn {

QDialog *createSurveyForm(SessionContext &session, QWidget *owner)
{
    switch (session.kind) {
    case 0:
        return new UseRightForm(session, owner);
    case 1:
        return new OwnershipForm(session, owner);
    default:
        return nullptr;
    }
}

} // namespace zarn
