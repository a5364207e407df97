#include "editor_fixture.h"

#include "component/unt_Comm.h"
#include "editors/frm_GY.h"
#include "editors/frm_JZBS.h"
#include "editors/frm_ZJ.h"
#include "editors/frm_sz.h"
#include "widgets/data_aware.h"

namespace zarn::test {

const char *editorName(EditorKind kind)
{
    switch (kind) {
    case EditorKind::JZBS:
        return "TFrmJZBS";
    case EditorKind::ZJ:
        return "TFrmZJ";
    case EditorKind::SZ:
        return "TFrmSZ";
    case EditorKind::GY:
        return "TFrmGY";
    }
    return "";
}

const char *tableOf(EditorKind kind)
{
    switch (kind) {
    case EditorKind::JZBS:
        return "T_JZBSB";
    case EditorKind::ZJ:
        return "T_ZJB";
    case EditorKind::SZ:
        return "T_SZB";
    case EditorKind::GY:
        return "T_GYQ";
    }
    return "";
}

const char *keyColumnOf(EditorKind kind)
{
    switch (kind) {
    case EditorKind::JZBS:
        return "JZDTBH";
    case EditorKind::ZJ:
        return "JZXQDH";
    case EditorKind::SZ:
        return "JZDStart";
    case EditorKind::GY:
        return "TDSYZMC";
    }
    return "";
}

void EditorTest::SetUp()
{
    FormTest::SetUp();
    if (IsSkipped()) return;
    DataMod->dwdm = unit;
    addSurvey({{"dwdm", unit}, {"zdbh", parcel}, {"dcrq", surveyDate}});
    RunSQL(DataMod->djdcTable, QStringLiteral("select * from T_DJDCB"));
}

void EditorTest::TearDown()
{
    editor.reset();
    FormTest::TearDown();
}

editors::AttachedEditor &EditorTest::openEditor(EditorKind kind, const QString &bgrq,
                                                const QString &zdbh)
{
    editor.reset();
    switch (kind) {
    case EditorKind::JZBS:
        editor = std::make_unique<TFrmJZBS>();
        break;
    case EditorKind::ZJ:
        editor = std::make_unique<TFrmZJ>();
        break;
    case EditorKind::SZ:
        editor = std::make_unique<TFrmSZ>();
        break;
    case EditorKind::GY:
        editor = std::make_unique<TFrmGY>();
        break;
    }
    editor->zdbh = zdbh.isNull() ? parcel : zdbh;
    editor->bgrq = bgrq;
    editor->show();
    return *editor;
}

void EditorTest::addRow(EditorKind kind, qint64 id, const QVariantMap &values)
{
    QVariantMap row{{"id", id}, {"zdbh", parcel}, {"dwdm", unit}};
    row.insert(values);
    addAttached(QLatin1String(tableOf(kind)), row);
}

int EditorTest::storedRows(EditorKind kind)
{
    return count(
        QStringLiteral("select count(*) from %1 where zdbh = ? and dwdm = ? and bgrq is null")
            .arg(QLatin1String(tableOf(kind))),
        {parcel, unit});
}

QString EditorTest::shownIn(const QString &control) const
{
    const auto *c = dynamic_cast<ui::DataAwareControl *>(editor->control(control));
    return c ? c->controlText() : QStringLiteral("<no control %1>").arg(control);
}

} // namespace zarn::test
