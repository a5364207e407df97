// The rest of the kit: the guard around handlers, the forms' font, speed
// buttons, the banner and the dialog base.
#include "data/errors.h"
#include "widgets/banner.h"
#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"
#include "widgets/survey_dialog.h"

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace zarn;
using namespace zarn::ui;

namespace {

TEST(GuardTest, AnEscapedErrorIsReportedWithItsOwnTextAndGoesNoFurther)
{
    RecordingMessageService rec;
    QApplication::setApplicationDisplayName(QStringLiteral("地籍调查"));
    QWidget w;

    bool ran = false;
    guard(&w, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(rec.records.isEmpty());

    guard(&w, [] { throw DatabaseError(QStringLiteral("ORA-00001: 违反唯一约束条件")); });
    guard(&w, [] { throw std::runtime_error("文件不存在"); }); // UTF-8 from what()
    guard(&w, [] { throw 42; });
    ASSERT_EQ(rec.records.size(), 3);
    EXPECT_EQ(rec.records[0].text, "ORA-00001: 违反唯一约束条件");
    EXPECT_EQ(rec.records[1].text, "文件不存在");
    EXPECT_EQ(rec.records[2].text, unknownErrorText());
    for (const auto &r : rec.records) {
        EXPECT_FALSE(r.plain);
        EXPECT_EQ(r.caption, "错误"); // never the application's name
        EXPECT_EQ(r.icon, MessageIcon::Critical);
        EXPECT_EQ(r.buttons, int(Ok));
    }

    // Rows another user deleted are news: said, not reported as an error.
    guard(&w, [] { throw RowsDeletedError(2, QStringLiteral("T_DJDCB")); });
    ASSERT_EQ(rec.records.size(), 4);
    EXPECT_TRUE(rec.records[3].text.startsWith(
        QStringLiteral("要前往的记录和与它相连的共 2 条记录已被其他用户删除")))
        << rec.records[3].text.toStdString();
    EXPECT_EQ(rec.records[3].caption, "提示");
    EXPECT_EQ(rec.records[3].icon, MessageIcon::Information);

    // A handler that closes its own window and then fails.
    auto *doomed = new QWidget;
    guard(doomed, [&] {
        delete doomed;
        throw ConversionError(QStringLiteral("'x' 不是有效的整数"));
    });
    EXPECT_EQ(rec.records.last().text, "'x' 不是有效的整数");
    QApplication::setApplicationDisplayName(QString());
}

TEST(GuardTest, AFailingReportDoesNotEscapeEither)
{
    class Broken : public RecordingMessageService {
    public:
        int messageBox(const QString &, const QString &, MessageIcon, int, QWidget *) override
        {
            throw std::runtime_error("no screen");
        }
    } broken;
    EXPECT_NO_THROW(guard(nullptr, [] { throw std::logic_error("first"); }));
}

// A report made inside an event waits for it to return: it keeps its kind,
// comes over its window if that closes first, and never after the window.
TEST(GuardTest, AReportAfterTheEventKeepsItsKindAndItsWindow)
{
    RecordingMessageService rec;
    SurveyDialog dialog;
    auto *field = new QWidget(&dialog);
    dialog.show();

    reportAfterEvent(field, std::make_exception_ptr(RowsDeletedError(1, "T_DJDCB")));
    reportAfterEvent(field, QStringLiteral("'3q' 不是有效的整数"));
    reportAfterEvent(field, QStringLiteral("'3q' 不是有效的整数")); // the same: once
    EXPECT_TRUE(rec.records.isEmpty());                             // not inside the event
    QApplication::processEvents();
    ASSERT_EQ(rec.records.size(), 2);
    EXPECT_EQ(rec.records[0].caption, "提示");
    EXPECT_EQ(rec.records[0].icon, MessageIcon::Information);
    EXPECT_EQ(rec.records[1].caption, "错误");
    EXPECT_EQ(rec.records[1].icon, MessageIcon::Critical);
    for (const auto &r : rec.records)
        EXPECT_TRUE(r.overShownWindow);

    // The window closes before the report's turn: it is shown as the window goes.
    rec.records.clear();
    reportAfterEvent(field, QStringLiteral("关窗前的错误"));
    dialog.close();
    ASSERT_EQ(rec.records.size(), 1);
    EXPECT_TRUE(rec.records[0].overShownWindow);
    QApplication::processEvents();
    EXPECT_EQ(rec.records.size(), 1);

    // A window hidden without closing, or a widget gone, has no one to tell.
    rec.records.clear();
    QWidget plain;
    auto *inside = new QWidget(&plain);
    plain.show();
    reportAfterEvent(inside, QStringLiteral("无人可告"));
    plain.hide();
    auto *gone = new QWidget(&dialog);
    reportAfterEvent(gone, QStringLiteral("控件已不在"));
    delete gone;
    QApplication::processEvents();
    EXPECT_TRUE(rec.records.isEmpty());
}

TEST(FontTest, TheSongFaceWithFallbacksAtTwelvePixels)
{
    const QStringList families = songFamilies();
    ASSERT_GE(families.size(), 4);
    EXPECT_EQ(families.first(), "宋体");
    EXPECT_TRUE(families.contains("SimSun"));
    EXPECT_TRUE(families.contains("AR PL UMing CN"));

    const QFont f = songFont();
    EXPECT_EQ(f.families(), families);
    EXPECT_EQ(f.pixelSize(), 12);
    EXPECT_EQ(songFont(12).pixelSize(), 16);
    EXPECT_EQ(QFontInfo(f).pixelSize(), 12);
}

TEST(MessageTest, MessageWindowsAreSetInTheFormsSongFaceAndCaptionedInChinese)
{
    // Whatever face the desktop would give them.
    QApplication::setFont(QFont(QStringLiteral("Serif"), 14));
    QStringList seen, titles;
    const auto inspectAndClose = [&] {
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            titles << box->windowTitle();
            for (QWidget *part : {static_cast<QWidget *>(
                                      box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))),
                                  static_cast<QWidget *>(box->buttons().value(0))}) {
                ASSERT_NE(part, nullptr);
                seen << part->font().families().value(0);
                EXPECT_EQ(part->font().pixelSize(), 12);
            }
            box->buttons().value(0)->click();
        });
    };
    inspectAndClose();
    showMessage(QStringLiteral("调查表已经为空"));
    inspectAndClose();
    messageBox(QStringLiteral("数据保存失败！"), QStringLiteral("警告"), MessageIcon::Warning, Ok);
    // A box given no caption is named for what it is, not for the program.
    for (const MessageIcon icon :
         {MessageIcon::Critical, MessageIcon::Warning, MessageIcon::Information}) {
        inspectAndClose();
        messageBox(QStringLiteral("说明"), QString(), icon, Ok);
    }
    QApplication::setFont(QFont());
    EXPECT_EQ(seen, QStringList(10, QStringLiteral("宋体")));
    EXPECT_EQ(titles,
              QStringList({QStringLiteral("提示"), QStringLiteral("警告"), QStringLiteral("错误"),
                           QStringLiteral("警告"), QStringLiteral("提示")}));
}

TEST(MessageTest, AQuestionAboutUnstoredTypingOffersSaveDiscardAndCancelAndSaysWhichWasPressed)
{
    for (const auto &[label, expected] :
         {std::pair{"保存", int(Save)}, {"不保存", int(Discard)}, {"取消", int(Cancel)}}) {
        QStringList labels;
        QTimer::singleShot(0, [&, label = QString::fromUtf8(label)] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QAbstractButton *pressed = nullptr;
            for (QAbstractButton *b : box->buttons()) {
                labels << b->text();
                if (b->text() == label) pressed = b;
            }
            ASSERT_NE(pressed, nullptr);
            pressed->click();
        });
        EXPECT_EQ(messageBox(QStringLiteral("新增的记录还没有保存。"), QStringLiteral("提示"),
                             MessageIcon::Question, Save | Discard | Cancel),
                  expected);
        labels.sort();
        EXPECT_EQ(labels, QStringList({"不保存", "保存", "取消"})) << label; // in code order
    }
}

// A name with an underscore on a box's last line shows its underscore: the
// Ming face draws it below the line, where the label would cut it off.
TEST(MessageTest, AnUnderscoreOnTheLastLineIsNotCutOff)
{
    QList<QImage> labels;
    const auto grabLabel = [&] {
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            labels << label->grab().toImage();
            box->buttons().value(0)->click();
        });
    };
    for (const char *name : {"T_DJDCB", "T DJDCB"}) {
        grabLabel();
        messageBox(QStringLiteral("数据库拒绝了这次读取，需要的内容没有读到。\n\n数据库信息：no "
                                  "such table: ") +
                       QLatin1String(name),
                   QStringLiteral("错误"), MessageIcon::Critical, Ok);
    }
    ASSERT_EQ(labels.size(), 2);
    // The two differ only in the underscore: it must have left some ink.
    const auto ink = [](const QImage &image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        const QRgb paper = rgb.pixel(0, 0);
        int n = 0;
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                n += rgb.pixel(x, y) != paper;
        return n;
    };
    EXPECT_GT(ink(labels[0]), ink(labels[1]));
}

TEST(SpeedButtonTest, FlatWithAPictureBesideTheCaptionAndAnAccessKey)
{
    QWidget w;
    auto *first = new SpeedButton(ButtonPicture::First, QStringLiteral("首记录(&F)"), &w);
    auto *exit = new SpeedButton(ButtonPicture::Exit, QStringLiteral("退出(&X)  "), &w);
    exit->move(0, 30);
    EXPECT_TRUE(first->autoRaise());
    EXPECT_EQ(first->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(first->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(first->icon().isNull());
    EXPECT_EQ(first->picture(), ButtonPicture::First);

    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QSignalSpy firstClicks(first, &QToolButton::clicked);
    QSignalSpy exitClicks(exit, &QToolButton::clicked);
    // An access key presses the button as a click would, shown briefly pressed.
    QTest::keyClick(&w, Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return exitClicks.size() == 1; }));
    EXPECT_EQ(firstClicks.size(), 0);
    QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstClicks.size() == 1; }));

    // Every kind of picture is drawn, and each differs from the others.
    const ButtonPicture kinds[] = {
        ButtonPicture::First,  ButtonPicture::Prior,  ButtonPicture::Next,   ButtonPicture::Last,
        ButtonPicture::New,    ButtonPicture::Insert, ButtonPicture::Delete, ButtonPicture::Save,
        ButtonPicture::Locate, ButtonPicture::Exit};
    QList<QImage> images;
    for (ButtonPicture k : kinds) {
        const QImage img = pictureIcon(k).pixmap(16, 16).toImage();
        ASSERT_FALSE(img.isNull());
        for (const QImage &other : std::as_const(images))
            EXPECT_NE(img, other);
        images << img;
    }
    EXPECT_TRUE(pictureIcon(ButtonPicture::None).isNull());
    EXPECT_FALSE(surveyWindowIcon().isNull());
}

TEST(BannerTest, ThePaleBlueBannerCarriesTheTitle)
{
    Banner banner(QStringLiteral("使用权调查表录入"));
    EXPECT_EQ(banner.sizeHint(), QSize(670, 60));
    banner.resize(670, 60);
    const QImage withTitle = banner.grab().toImage();
    banner.setTitle(QString());
    const QImage without = banner.grab().toImage();
    banner.setTitle(QStringLiteral("界址标示情况表录入"));
    EXPECT_EQ(banner.title(), "界址标示情况表录入");

    // A pale blue ground, the title in the middle and nothing else changed by it.
    const QColor ground = without.pixelColor(420, 50);
    EXPECT_GT(ground.blue(), ground.red());
    EXPECT_GT(ground.lightness(), 200);
    int changed = 0;
    for (int x = 0; x < 670; ++x)
        for (int y = 0; y < 60; ++y)
            if (withTitle.pixel(x, y) != without.pixel(x, y)) {
                ++changed;
                EXPECT_GT(x, 60);
                EXPECT_LT(x, 600);
            }
    EXPECT_GT(changed, 500);

    // The logo at the left and the globe at the right are drawn, not blank ground.
    EXPECT_NE(without.pixel(32, 30), without.pixel(100, 30));
    EXPECT_NE(without.pixel(600, 30), without.pixel(420, 30));

    // Stretched to another size, the picture is the same one.
    banner.resize(335, 30);
    const QImage small = banner.grab().toImage();
    EXPECT_EQ(small.size(), QSize(335, 30));
}

TEST(SurveyDialogTest, EscapeAndEnterNeitherCloseNorPressAButton)
{
    SurveyDialog dialog;
    EXPECT_EQ(dialog.font().pixelSize(), 12);
    EXPECT_FALSE(dialog.windowIcon().isNull());
    auto *save = new QPushButton(QStringLiteral("保存"), &dialog);
    auto *other = new QPushButton(QStringLiteral("宗地四至"), &dialog);
    other->move(0, 40);
    QSignalSpy saves(save, &QPushButton::clicked);
    QSignalSpy others(other, &QPushButton::clicked);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_FALSE(save->autoDefault());
    EXPECT_FALSE(save->isDefault());

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter, Qt::KeypadModifier);
    save->setFocus();
    QTest::keyClick(save, Qt::Key_Return);
    EXPECT_EQ(saves.size(), 0);
    EXPECT_EQ(others.size(), 0);
    EXPECT_TRUE(dialog.isVisible());

    // The close box still closes it.
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());

    // The same for a plain widget tree.
    QWidget plain;
    auto *b = new QPushButton(&plain);
    b->setAutoDefault(true);
    noAutoDefault(&plain);
    EXPECT_FALSE(b->autoDefault());
}

} // namespace
