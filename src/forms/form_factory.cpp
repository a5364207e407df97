#include "forms/form_factory.h"

#include "forms/frm_rptdjdcb.h"
#include "forms/frm_syqdjdcb.h"

namespace zarn {

QDialog *createSurveyForm(int lx, QWidget *owner)
{
    switch (lx) {
    case 0:
        return new Tfrmrptdjdcb(owner);
    case 1:
        return new Tfrmsyqdjdcb(owner);
    default:
        return nullptr;
    }
}

} // namespace zarn
