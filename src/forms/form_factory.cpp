#include "forms/form_factory.h"

#include "forms/frm_rptdjdcb.h"

namespace zarn {

QDialog *createSurveyForm(int lx, QWidget *owner)
{
    switch (lx) {
    case 0:
        return new Tfrmrptdjdcb(owner);
    default:
        // The ownership form joins here when it is built.
        return nullptr;
    }
}

} // namespace zarn
