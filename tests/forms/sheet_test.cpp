// The use-right sheet: every control where its blank is, bound and ordered.
#include "form_fixture.h"

#include "component/qt_texts.h"
#include "forms/column_rules.h"
#include "forms/sheet_layout.h"
#include "widgets/data_aware.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/field_menu.h"
#include "widgets/value_mark.h"

#include "widgets/data_source.h"
#include "widgets/speed_button.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

using namespace zarn;
using namespace zarn::forms;
using namespace zarn::ui;

namespace {

class SheetTest : public zarn::test::FormTest {};

TEST_P(SheetTest, EveryControlHasItsNameColumnKindPlaceAndTabPosition)
{
    open(QStringLiteral("320102003004"));
    UseRightSheet *sheet = form->useRightSheet();
    int bound = 0, buttons = 0, edits = 0, lists = 0, memos = 0;
    QMap<int, QWidget *> byTab;
    for (const SheetEntry &e : useRightSheetLayout().entries) {
        if (e.kind == SheetKind::Heading) continue;
        const QString name = QString::fromLatin1(e.control);
        SCOPED_TRACE(name.toStdString());
        QWidget *w = sheet->findChild<QWidget *>(name);
        ASSERT_NE(w, nullptr);
        const int height = entryHeight(e);
        EXPECT_EQ(w->geometry(), QRect(e.left, e.top, e.width, height));
        byTab.insert(e.tab, w);
        if (e.kind == SheetKind::Button) {
            auto *b = qobject_cast<QPushButton *>(w);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->text(), text(e.column));
            EXPECT_FALSE(b->autoDefault());
            ++buttons;
            continue;
        }
        auto *c = dynamic_cast<DataAwareControl *>(w);
        ASSERT_NE(c, nullptr);
        ++bound;
        EXPECT_EQ(c->dataField(), text(e.column));
        switch (e.kind) {
        case SheetKind::Edit:
            EXPECT_NE(qobject_cast<DBEdit *>(w), nullptr);
            EXPECT_EQ(c->family(), ControlFamily::Framed);
            ++edits;
            break;
        case SheetKind::FramedList:
            EXPECT_EQ(c->family(), ControlFamily::Framed);
            EXPECT_FALSE(qobject_cast<DBComboBox *>(w)->isPickOnly());
            ++lists;
            break;
        case SheetKind::List:
        case SheetKind::PickList:
            EXPECT_EQ(c->family(), ControlFamily::Plain);
            EXPECT_EQ(qobject_cast<DBComboBox *>(w)->isPickOnly(), e.kind == SheetKind::PickList);
            ++lists;
            break;
        case SheetKind::Memo:
            EXPECT_NE(qobject_cast<DBMemo *>(w), nullptr);
            EXPECT_EQ(c->family(), ControlFamily::Memo);
            ++memos;
            break;
        default:
            break;
        }
    }
    EXPECT_EQ(bound, 42);
    EXPECT_EQ(edits, 33);
    EXPECT_EQ(lists, 8);
    EXPECT_EQ(memos, 1);
    EXPECT_EQ(buttons, 4);

    // Tab positions 0..45 follow one another in the focus chain.
    ASSERT_EQ(byTab.size(), 46);
    EXPECT_EQ(byTab.firstKey(), 0);
    EXPECT_EQ(byTab.lastKey(), 45);
    for (int i = 0; i + 1 < 46; ++i) {
        QWidget *next = byTab[i]->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        // An editable list's line edit is part of the list.
        while (next && next->parentWidget() == byTab[i])
            next = next->nextInFocusChain();
        EXPECT_EQ(next, byTab[i + 1]) << "after tab position " << i;
    }

    EXPECT_EQ(sheet->surveyKindList->entries(), (QStringList{"初始", "变更"}));
    EXPECT_EQ(sheet->changeNotice->pos(), QPoint(336, 353));
    EXPECT_EQ(sheet->enterTarget(sheet->approvedUseCodeList), sheet->actualUseCodeList);
    EXPECT_EQ(sheet->enterTarget(sheet->findChild<QWidget *>("DBEdit38")), nullptr);
}

TEST_P(SheetTest, TheFormHasItsCaptionPanelsAndButtons)
{
    open(QStringLiteral("320102003004"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("使用权地籍调查表"));
    EXPECT_EQ(form->size(), QSize(688, 674));
    EXPECT_EQ(form->bannerPanel->height(), 60);
    EXPECT_EQ(form->buttonPanel->height(), 39);
    const QList<std::pair<QString, int>> buttons{{"首记录", 0},   {"上记录", 79}, {"下记录", 159},
                                                 {"末记录", 239}, {"新增", 332},  {"删除", 411},
                                                 {"保存", 491},   {"定位", 585}};
    const QList<QAbstractButton *> widgets{
        form->firstButton, form->previousButton, form->nextButton, form->lastButton,
        form->newButton,   form->deleteButton,   form->saveButton, form->locateButton};
    for (int i = 0; i < buttons.size(); ++i) {
        QAbstractButton *b = widgets[i];
        EXPECT_EQ(b->text().remove('&'), buttons[i].first);
        EXPECT_EQ(b->geometry(), QRect(buttons[i].second, 10, 80, 22));
    }
    EXPECT_EQ(form->rowSource->dataset(), &session->surveyRows);
}

TEST_P(SheetTest, EachBlankIsUnderlinedWhereItsControlSits)
{
    open(QStringLiteral("320102003004"));
    // Render the printed table without the controls and look under each blank.
    UseRightSheet *sheet = form->useRightSheet();
    for (QWidget *w : sheet->findChildren<QWidget *>())
        w->hide();
    QImage img(sheet->size(), QImage::Format_RGB32);
    sheet->render(&img);
    for (const SheetEntry &e : useRightSheetLayout().entries) {
        if (e.kind == SheetKind::Heading || e.kind == SheetKind::Button) continue;
        SCOPED_TRACE(e.control);
        const int height = entryHeight(e);
        const int y = e.top + height;
        int dark = 0;
        for (int x = e.left; x < e.left + e.width; ++x)
            if (qGray(img.pixel(x, y)) < 128) ++dark;
        EXPECT_GT(dark, e.width * 9 / 10);
        // The label is printed just before the blank, inside the sheet.
        int ink = 0;
        for (int x = std::max(0, e.left - 30); x < e.left; ++x)
            for (int yy = e.top; yy < y; ++yy)
                if (qGray(img.pixel(x, yy)) < 128) ++ink;
        if (*e.label) {
            EXPECT_GT(ink, 5);
        }
    }
}

bool hasHan(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.script() == QChar::Script_Han; });
}

TEST_P(SheetTest, FieldsOfferChineseEditEntriesThenPrintAndPdfAndAskForDigitsWhereDigitsGo)
{
    // The test program stands for a host with an application of its own and
    // no Chinese translation: the session lends Qt's for its length only.
    ASSERT_FALSE(QtChineseTexts::qtTextsAreChinese());
    {
        QtChineseTexts session;
        ASSERT_TRUE(session.installed()) << "qt6-translations-l10n missing?";
        QtChineseTexts nested; // Chinese already: the host's (here ours) stay alone
        EXPECT_FALSE(nested.installed());

        open(QStringLiteral("320102003004"));
        UseRightSheet *sheet = form->useRightSheet();
        for (const char *name : {"DBEdit11", "DBMemo1", "DBComboBox2"}) {
            SCOPED_TRACE(name);
            auto *menu = sheet->control(QString::fromLatin1(name))->findChild<FieldMenu *>();
            ASSERT_TRUE(menu);
            std::unique_ptr<QMenu> shown(menu->menuAt(QPoint(2, 2)));
            const QList<QAction *> actions = shown->actions();
            ASSERT_GE(actions.size(), 5);
            EXPECT_TRUE(hasHan(actions.first()->text())) << qPrintable(actions.first()->text());
            EXPECT_EQ(actions[actions.size() - 3]->text(), QStringLiteral("打印调查表…"));
            EXPECT_EQ(actions[actions.size() - 2]->text(), QStringLiteral("导出PDF…"));
            EXPECT_EQ(actions.last()->text(), QStringLiteral("检查本单位…"));
        }

        // Every column the rules name is a blank of one of the sheets.
        for (const ColumnRule &rule : columnRules()) {
            const auto binds = [&](const SheetLayout &layout) {
                return std::any_of(
                    layout.entries.begin(), layout.entries.end(), [&](const SheetEntry &e) {
                        return e.kind != SheetKind::Button &&
                               QString::fromLatin1(e.column).compare(QLatin1String(rule.column),
                                                                     Qt::CaseInsensitive) == 0;
                    });
            };
            EXPECT_TRUE(binds(useRightSheetLayout()) || binds(ownershipSheetLayout()))
                << rule.column;
        }
        const auto hints = [&](const char *name) {
            QWidget *w = sheet->control(QString::fromLatin1(name));
            if (auto *combo = qobject_cast<QComboBox *>(w)) w = combo->lineEdit();
            return w->inputMethodHints();
        };
        for (const char *digits :
             {"DBEdit30", "DBEdit11", "DBEdit7", "DBEdit12", "DBEdit18", "DBEdit22", "DBComboBox5"})
            EXPECT_TRUE(hints(digits) & Qt::ImhPreferNumbers) << digits;
        EXPECT_EQ(hints("DBEdit19") & (Qt::ImhPreferLatin | Qt::ImhPreferNumbers),
                  Qt::ImhPreferLatin); // map sheet numbers hold letters
        for (const char *chinese : {"DBEdit3", "DBEdit10", "DBMemo1", "DBComboBox2"})
            EXPECT_FALSE(hints(chinese) & (Qt::ImhPreferNumbers | Qt::ImhPreferLatin)) << chinese;
        form.reset();
    }
    EXPECT_FALSE(QtChineseTexts::qtTextsAreChinese()); // the host keeps its language
}

TEST_P(SheetTest, ASlipIsMarkedWhileTypingAndSavedAsTyped)
{
    const qint64 id = addSurvey({{"dwdm", "320102003004"}, {"zdbh", "0030040001"}});
    open(QStringLiteral("320102003004"));
    form->show();
    UseRightSheet *sheet = form->useRightSheet();
    const auto type = [&](const char *name, const QString &text) {
        DBEdit *edit = sheet->edit(QString::fromLatin1(name));
        edit->setFocus();
        edit->selectAll();
        // What an input method commits arrives whole, as a pasted text does.
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; }))
            QTest::keyClicks(edit, text);
        else
            edit->insert(text);
        return edit;
    };
    const auto markOf = [](DBEdit *edit) { return edit->findChild<ValueMark *>(); };

    DBEdit *id1 = type("DBEdit11", QStringLiteral("110105194912310021"));
    ASSERT_TRUE(markOf(id1));
    EXPECT_TRUE(markOf(id1)->isVisible());
    EXPECT_TRUE(id1->toolTip().contains(QStringLiteral("校验位"))) << qPrintable(id1->toolTip());
    // Drawn in red along the bottom of the blank.
    const QImage look = id1->grab().toImage();
    int red = 0;
    for (int y = look.height() - 5; y < look.height(); ++y)
        for (int x = 0; x < look.width(); ++x) {
            const QColor c = look.pixelColor(x, y);
            if (c.red() - c.green() > 60 && c.red() - c.blue() > 60) ++red;
        }
    EXPECT_GT(red, 20);

    type("DBEdit11", QStringLiteral("11010519491231002X"));
    EXPECT_FALSE(markOf(id1)->isVisible());
    EXPECT_TRUE(id1->toolTip().isEmpty());
    // A sound check digit on a region that never was still earns a mark.
    type("DBEdit11", QStringLiteral("999999199003070012"));
    EXPECT_TRUE(markOf(id1)->isVisible());
    EXPECT_TRUE(id1->toolTip().contains(QStringLiteral("前六位 999999")))
        << qPrintable(id1->toolTip());

    // Nothing is refused, nothing stops the save.
    type("DBEdit11", QStringLiteral("110105194912310021"));
    EXPECT_TRUE(markOf(type("DBEdit30", QStringLiteral("20240230")))->isVisible());
    EXPECT_TRUE(markOf(type("DBEdit7", QStringLiteral("2100")))->isVisible());
    EXPECT_TRUE(markOf(type("DBEdit12", QStringLiteral("025-8888abc")))->isVisible());
    EXPECT_FALSE(markOf(type("DBEdit15", QStringLiteral("025-88886666转12")))->isVisible());
    form->saveButton->click();
    EXPECT_TRUE(messages->records.isEmpty());
    EXPECT_EQ(stored("T_DJDCB", id, "frsfzm"), "110105194912310021");
    EXPECT_EQ(stored("T_DJDCB", id, "dcrq"), "20240230");
    EXPECT_EQ(stored("T_DJDCB", id, "qlryb"), "2100");
    EXPECT_EQ(stored("T_DJDCB", id, "frdbdh"), "025-8888abc");
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, SheetTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, SheetTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
