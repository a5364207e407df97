#include "editor_fixture.h"

#include "data/statement_runner.h"
#include "editors/boundary_designation_editor.h"
#include "editors/boundary_marker_editor.h"
#include "editors/co_user_editor.h"
#include "editors/four_sides_editor.h"
#include "widgets/data_aware.h"

namespace zarn::test {

namespace {

struct Facts {
    const char *name, *table, *key, *keyControl;
};
// In the order of EditorKind.
constexpr Facts kFacts[] = {{"BoundaryMarkerEditor", "T_JZBSB", "JZDTBH", "EditF3"},
                            {"BoundaryDesignationEditor", "T_ZJB", "JZXQDH", "DBEdit9"},
                            {"FourSidesEditor", "T_SZB", "JZDStart", "DBEdit3"},
                            {"CoUserEditor", "T_GYQ", "TDSYZMC", "DBEdit19"}};

} // namespace

const char *editorName(EditorKind kind)
{
    return kFacts[int(kind)].name;
}
const char *tableOf(EditorKind kind)
{
    return kFacts[int(kind)].table;
}
const char *keyColumnOf(EditorKind kind)
{
    return kFacts[int(kind)].key;
}
const char *keyControlOf(EditorKind kind)
{
    return kFacts[int(kind)].keyControl;
}

void EditorTest::SetUp()
{
    FormTest::SetUp();
    if (IsSkipped()) return;
    session->unitCode = unit;
    addSurvey({{"dwdm", unit}, {"zdbh", parcel}, {"dcrq", surveyDate}});
    runQuery(session->surveyRows, DeclaredQuery{.table = QStringLiteral("T_DJDCB")});
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
    if (kind == EditorKind::JZBS) editor = std::make_unique<BoundaryMarkerEditor>(*session);
    if (kind == EditorKind::ZJ) editor = std::make_unique<BoundaryDesignationEditor>(*session);
    if (kind == EditorKind::SZ) editor = std::make_unique<FourSidesEditor>(*session);
    if (kind == EditorKind::GY) editor = std::make_unique<CoUserEditor>(*session);
    editor->parcelNumber = zdbh.isNull() ? parcel : zdbh;
    editor->changeDate = bgrq;
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
