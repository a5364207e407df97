#pragma once

#include "editors/attached_editor.h"
#include "form_fixture.h"

#include <memory>

namespace zarn::test {

enum class EditorKind { JZBS, ZJ, SZ, GY };
inline constexpr EditorKind kAllEditors[] = {EditorKind::JZBS, EditorKind::ZJ, EditorKind::SZ,
                                             EditorKind::GY};
const char *editorName(EditorKind kind);
const char *tableOf(EditorKind kind);
// A column that a purge looks at (empty in a purged row), and a text column.
const char *keyColumnOf(EditorKind kind);
// The entry page's control bound to that column.
const char *keyControlOf(EditorKind kind);

// The form tests' scratch database and data module, a survey row of one
// parcel under the cursor of djdcTable, and an editor opened on that parcel.
class EditorTest : public FormTest {
protected:
    const QString unit = QStringLiteral("320102003004");
    const QString parcel = QStringLiteral("0030040001");
    const QString surveyDate = QStringLiteral("20240115");

    void SetUp() override;
    void TearDown() override;

    // Makes the editor, hands it the parcel and the change date, shows it (which loads it).
    editors::AttachedEditor &openEditor(EditorKind kind, const QString &bgrq = {},
                                        const QString &zdbh = {});
    // Adds an attached row of the test's parcel and unit.
    void addRow(EditorKind kind, qint64 id, const QVariantMap &values = {});
    // The parcel's current rows in the table.
    int storedRows(EditorKind kind);
    Dataset &rows() const { return editor->dataset(); }
    QString shownIn(const QString &control) const;

    std::unique_ptr<editors::AttachedEditor> editor;
};

} // namespace zarn::test
