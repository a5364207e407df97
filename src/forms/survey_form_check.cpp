// 检查本单位: the unit's quality check beside the survey form, and the way
// from a finding back to its survey table.
#include "forms/survey_form.h"

#include "data/dataset.h"
#include "dialogs/findings_window.h"
#include "session/session_context.h"
#include "widgets/guard.h"
#include "widgets/messages.h"

using namespace zarn;
using namespace zarn::ui;

void SurveyForm::checkUnit()
{
    finishOpening();
    if (!m_findings) {
        // The window checks on the session's connection, which outlives it:
        // the form owns the window and the session outlives the form.
        m_findings = new FindingsWindow(session().connection, session().unitCode,
                                        m_desc.surveyKind, this);
        connect(m_findings, &FindingsWindow::parcelChosen, this,
                [this](const QString &dwdm, const QString &zdbh, const QString &dcbh) {
                    guard(this, [&] { goToFinding(dwdm, zdbh, dcbh); });
                });
    } else {
        m_findings->refresh();
    }
    m_findings->show();
    m_findings->raise();
    m_findings->activateWindow();
}

void SurveyForm::goToFinding(const QString &dwdm, const QString &zdbh, const QString &dcbh)
{
    finishOpening();
    Dataset &t = table();
    // locate moves as 定位 does: a pending edit is posted first (a refusal
    // stops the move and is reported), and the row is read as stored now.
    if (zdbh.isEmpty() || !t.locate(QStringLiteral("zdbh"), zdbh)) {
        showMessage(QStringLiteral("本调查表中没有地籍号为“%1”的宗地，可能已被删除或改号。"
                                   "请在检查窗口中按“重新检查”。")
                        .arg(zdbh),
                    this);
        return;
    }
    // Parcels sharing a number (a finding of its own) lie side by side in
    // the list: the finding names its survey table and unit.
    const int parcel = t.indexOf(QStringLiteral("zdbh"));
    const int survey = t.indexOf(QStringLiteral("dcbh"));
    const int unit = t.indexOf(QStringLiteral("dwdm"));
    for (int r = t.recNo(); r < t.recordCount(); ++r) {
        if (Dataset::textOf(t.valueAt(r, parcel)) != zdbh) break;
        if (Dataset::textOf(t.valueAt(r, survey)) == dcbh &&
            Dataset::textOf(t.valueAt(r, unit)) == dwdm) {
            if (r != t.recNo()) t.moveTo(r, true);
            break;
        }
    }
    applyChangeLock();
    raise();
    activateWindow();
}

void SurveyForm::refreshFindings()
{
    if (m_findings && m_findings->isVisible()) m_findings->refresh();
}
