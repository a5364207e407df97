// Saving in each editor's order with its purge, the list showing what the
// database holds afterwards, closing with typing not yet stored, a new row
// whose ID another workstation took meanwhile, and parcel numbers and unit
// codes holding quotes.
#include "editor_fixture.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/statement_runner.h"
#include "editors/boundary_marker_editor.h"
#include "widgets/speed_button.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

using namespace zarn;
using namespace zarn::test;

namespace {

class EditorSaveTest : public EditorTest {
protected:
    // A text column of the two editors that spare a changed row being saved.
    static const char *otherColumn(EditorKind kind)
    {
        return kind == EditorKind::ZJ ? "LZDZDBH" : "LZDJHORLOADNAME";
    }
};

TEST_P(EditorSaveTest, SavesPurgeInTheirOrderAndTheListShowsWhatIsStored)
{
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        const QString key = QLatin1String(keyColumnOf(kind));
        const bool purges = kind != EditorKind::GY;
        const bool jzbs = kind == EditorKind::JZBS;
        auto ordered = [jzbs](int n) { return jzbs ? QVariantMap{{"xh", n}} : QVariantMap{}; };
        addRow(kind, 1, ordered(1)); // key column empty
        QVariantMap full = ordered(2);
        full.insert(key, "12");
        addRow(kind, 2, full);
        openEditor(kind);
        editor->lastButton->click();
        rows().edit();
        rows().setValue(key, "13");
        editor->saveButton->click();
        EXPECT_EQ(stored(QLatin1String(tableOf(kind)), 2, key), "13");
        EXPECT_EQ(storedRows(kind), purges ? 1 : 2);
        EXPECT_EQ(rows().recordCount(), storedRows(kind)); // the purged row is gone from the list
        EXPECT_EQ(rows().field("ID").asInteger(), 2);

        // A new row with its key column empty.
        editor->newButton->click();
        const qint64 added = rows().field("ID").asInteger();
        editor->saveButton->click();
        if (jzbs) {
            // Stored when it was made; the save's purge removes it again.
            EXPECT_EQ(storedRows(kind), 1);
            EXPECT_EQ(rows().recordCount(), 1);
        } else {
            // The purge runs first, so the save stores it.
            EXPECT_EQ(storedRows(kind), purges ? 2 : 3);
            EXPECT_EQ(rows().field("ID").asInteger(), added);
        }
        if (purges && !jzbs) {
            // Changed but still without its key: this save spares it and writes the change.
            rows().edit();
            rows().setValue(otherColumn(kind), QStringLiteral("东路"));
            editor->saveButton->click();
            EXPECT_EQ(stored(QLatin1String(tableOf(kind)), added, otherColumn(kind)),
                      QStringLiteral("东路"));
            // Saved again unchanged, it is purged and leaves the list.
            editor->saveButton->click();
            EXPECT_EQ(storedRows(kind), 1);
            EXPECT_EQ(rows().recordCount(), 1);
        }
        if (!purges) {
            editor->saveButton->click();
            EXPECT_EQ(storedRows(kind), 3); // an empty holder stays
        }
        execAll(session->connection, {QStringLiteral("delete from %1").arg(tableOf(kind))});
    }
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorSaveTest, AFailedPostSaysWhyKeepsTheTypingAndPurgesNothing)
{
    auto other = db->open();
    for (EditorKind kind : {EditorKind::GY, EditorKind::SZ, EditorKind::JZBS}) {
        SCOPED_TRACE(editorName(kind));
        const QString table = QLatin1String(tableOf(kind));
        const QString key = QLatin1String(keyColumnOf(kind));
        const bool jzbs = kind == EditorKind::JZBS;
        // An empty row the save would purge, and the row being changed.
        addRow(kind, 1, jzbs ? QVariantMap{{"xh", 1}} : QVariantMap{});
        QVariantMap full{{key, "12"}};
        if (jzbs) full.insert("xh", 2);
        addRow(kind, 2, full);
        openEditor(kind);
        editor->lastButton->click();
        // Another workstation removes the row while it is on screen here.
        {
            Dataset q(other.get());
            runStatement(q, QStringLiteral("delete from %1 where id = ?").arg(table), {2});
        }
        messages->records.clear();
        rows().edit();
        rows().setValue(key, QStringLiteral("张三"));
        editor->saveButton->click();
        ASSERT_EQ(messages->records.size(), 1);
        // The fixed text, then the sentence the forms say for the refusal.
        const QString text = messages->records[0].text;
        EXPECT_TRUE(text.startsWith(QStringLiteral("数据保存失败！\n\n"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("已被其他用户修改或删除"))) << text.toStdString();
        EXPECT_EQ(messages->records[0].caption, QStringLiteral("警告"));
        EXPECT_EQ(messages->records[0].icon, ui::MessageIcon::Warning);
        EXPECT_TRUE(rows().isEditing());
        EXPECT_EQ(rows().text(key), QStringLiteral("张三"));
        // The purge went with the refused post.
        EXPECT_EQ(storedRows(kind), 1);
        EXPECT_EQ(stored(table, 1, "zdbh"), parcel);
        rows().cancel();
        editor->close();
        messages->records.clear();
        execAll(session->connection, {QStringLiteral("delete from %1").arg(table)});
    }
}

TEST_P(EditorSaveTest, ClosingWithTypingNotStoredAsksToStoreItDropItOrGoBack)
{
    auto other = db->open();
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        const QString table = QLatin1String(tableOf(kind));
        const QString key = QLatin1String(keyColumnOf(kind));
        const QString keyControl = QLatin1String(keyControlOf(kind));
        const bool jzbs = kind == EditorKind::JZBS;
        auto type = [&](const char *text) {
            auto *line = qobject_cast<QLineEdit *>(editor->control(keyControl));
            ASSERT_NE(line, nullptr);
            line->selectAll();
            QTest::keyClicks(line, text);
        };
        auto exitAnswering = [&](int answer) {
            messages->records.clear();
            messages->answers = {answer};
            editor->exitButton->click();
        };

        // Nothing to store: a new row as the editor made it, typing taken back.
        messages->records.clear();
        openEditor(kind);
        editor->close();
        EXPECT_FALSE(editor->isVisible());
        EXPECT_EQ(storedRows(kind), jzbs ? 1 : 0);
        execAll(session->connection, {QStringLiteral("delete from %1").arg(table)});
        QVariantMap first{{key, "11"}};
        if (jzbs) first.insert("xh", 1);
        addRow(kind, 1, first);
        openEditor(kind);
        type("12");
        type("11");
        editor->exitButton->click();
        EXPECT_FALSE(editor->isVisible());
        EXPECT_TRUE(messages->records.isEmpty());

        // Go back: the editor stays open on the typing; then drop it.
        openEditor(kind);
        type("12");
        exitAnswering(ui::Cancel);
        ASSERT_EQ(messages->records.size(), 1);
        const auto box = messages->records[0];
        EXPECT_EQ(box.caption, QStringLiteral("提示"));
        EXPECT_EQ(box.icon, ui::MessageIcon::Question);
        EXPECT_EQ(box.buttons, ui::Save | ui::Discard | ui::Cancel);
        EXPECT_TRUE(box.text.contains(QStringLiteral("对当前记录的修改还没有保存")));
        EXPECT_TRUE(box.text.contains(editor->windowTitle().trimmed()));
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(shownIn(keyControl), "12");
        EXPECT_EQ(stored(table, 1, key), "11");
        messages->answers = {ui::Discard};
        editor->close(); // the close box asks the same
        EXPECT_EQ(messages->records.size(), 2);
        EXPECT_FALSE(editor->isVisible());
        EXPECT_EQ(stored(table, 1, key), "11");

        // Store: a new row goes through the editor's save (the marker editor
        // stored it when it was made, so the typing is a change there).
        openEditor(kind);
        editor->newButton->click();
        const qint64 added = rows().field("ID").asInteger();
        type("13");
        exitAnswering(ui::Save);
        ASSERT_EQ(messages->records.size(), 1);
        EXPECT_TRUE(messages->records[0].text.contains(
            jzbs ? QStringLiteral("修改还没有保存") : QStringLiteral("新增的记录还没有保存")));
        EXPECT_FALSE(editor->isVisible());
        EXPECT_EQ(stored(table, added, key), "13");
        EXPECT_EQ(storedRows(kind), 2);

        // A store that fails says so and keeps the editor open on the typing.
        openEditor(kind);
        ASSERT_EQ(rows().field("ID").asInteger(), 1);
        {
            Dataset q(other.get());
            runStatement(q, QStringLiteral("delete from %1 where id = ?").arg(table), {1});
        }
        type("14");
        exitAnswering(ui::Save);
        ASSERT_EQ(messages->records.size(), 2);
        EXPECT_TRUE(messages->records[1].text.startsWith(QStringLiteral("数据保存失败！\n\n")));
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(shownIn(keyControl), "14");
        exitAnswering(ui::Discard);
        EXPECT_FALSE(editor->isVisible());
        execAll(session->connection, {QStringLiteral("delete from %1").arg(table)});
    }
}

TEST_P(EditorSaveTest, ANewRowWhoseIdAnotherWorkstationTookMeanwhileIsStoredUnderAFreshOne)
{
    auto other = db->open();
    for (EditorKind kind : {EditorKind::ZJ, EditorKind::SZ, EditorKind::GY}) {
        SCOPED_TRACE(editorName(kind));
        const QString table = QLatin1String(tableOf(kind));
        auto storeElsewhere = [&](qint64 id) {
            Dataset q(other.get());
            runStatement(q, QStringLiteral("insert into %1 (id, zdbh, dwdm) values (?, ?, ?)").arg(table),
                   {id, QStringLiteral("另一宗"), unit});
        };
        openEditor(kind);
        ASSERT_EQ(rows().field("ID").asInteger(), 1);
        storeElsewhere(1);
        rows().setValue(keyColumnOf(kind), "7");
        editor->saveButton->click();
        EXPECT_EQ(stored(table, 2, "zdbh"), parcel);
        EXPECT_EQ(stored(table, 1, "zdbh"), QStringLiteral("另一宗"));

        // Twice over, and stored by a move rather than a save.
        editor->newButton->click();
        ASSERT_EQ(rows().field("ID").asInteger(), 3);
        storeElsewhere(3);
        storeElsewhere(4);
        rows().setValue(keyColumnOf(kind), "8");
        editor->firstButton->click();
        EXPECT_EQ(stored(table, 5, keyColumnOf(kind)), "8");
        EXPECT_EQ(rows().recNo(), 0);
        execAll(session->connection, {QStringLiteral("delete from %1").arg(table)});
    }
    EXPECT_TRUE(messages->records.isEmpty());
}

TEST_P(EditorSaveTest, QuotesInTheParcelNumberAndTheUnitCodeAreValuesLikeAnyOther)
{
    const QString quotedParcel = QStringLiteral("00'1");
    session->unitCode = QStringLiteral("3201'02");
    for (EditorKind kind : kAllEditors) {
        SCOPED_TRACE(editorName(kind));
        openEditor(kind, {}, quotedParcel);
        rows().edit();
        rows().setValue(keyColumnOf(kind), "5");
        editor->saveButton->click();
        openEditor(kind, {}, quotedParcel);
        ASSERT_EQ(rows().recordCount(), 1);
        EXPECT_EQ(rows().text("ZDBH"), quotedParcel);
        EXPECT_EQ(rows().text("DWDM"), session->unitCode);
        EXPECT_EQ(rows().text(keyColumnOf(kind)), "5");
    }
    // Numbering works on such a parcel too.
    openEditor(EditorKind::JZBS, {}, quotedParcel);
    static_cast<BoundaryMarkerEditor *>(editor.get())->insertBeforeCurrent();
    editor->deleteButton->click();
    EXPECT_EQ(count("select max(xh) from T_JZBSB where zdbh = ?", {quotedParcel}), 1);
    EXPECT_EQ(messages->records.size(), 1); // the confirmation, and no error
}

INSTANTIATE_TEST_SUITE_P(Sqlite, EditorSaveTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, EditorSaveTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Odbc, EditorSaveTest, ::testing::Values(Backend::Odbc),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
