#pragma once

// A survey form driven as a surveyor meets it: the demo host in a process of
// its own shows the form on an X server of the test's own, the test clicks
// the speed buttons and the blanks of the sheet and types into them, answers
// the message boxes, closes the windows by their close box, and reads the
// survey database from outside after every step that should have written.
#include "survey_world.h"
#include "x_session.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QString>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <optional>

namespace zarn::e2e {

// A blank of the printed sheet: left, top and width within the sheet.
struct Blank {
    const char *control;
    int left, top, width;
};

// What tells one form's window from the other's.
struct FormLayout {
    QString namePattern; // the window's name, as a pattern
    int bannerHeight;    // the band above the sheet
    int lx;              // the form kind the host asks for
};

// The speed buttons by their left edge in the button panel.
enum class Button {
    First = 0,
    Prior = 79,
    Next = 159,
    Last = 239,
    New = 332,
    Delete = 411,
    Save = 491,
    Locate = 585
};

// The form's client area: the banner, the sheet, the button panel.
inline constexpr int kButtonPanelHeight = 39;
inline constexpr int kButtonTop = 10;
inline constexpr int kButtonWidth = 80;
inline constexpr int kButtonHeight = 22;
inline constexpr int kBlankHeight = 20;

// The speed buttons of the attached-table editors, top to bottom in a column
// down the editor's right edge, below its banner.
enum class EditorButton { First, Prior, Next, Last, New, Delete, Save, Exit };

inline constexpr int kEditorButtonColumnWidth = 104;
inline constexpr int kEditorButtonsTop = 74; // banner 60, margin 4, column padding 10
inline constexpr int kEditorButtonHeight = 28;
inline constexpr int kEditorButtonStep = 34; // a button and the space below it

inline const QString kUnit = QStringLiteral("320102001001");
inline const QString kLocateName = QStringLiteral("^宗地定位$");
inline const QString kDeleteBoxName = QStringLiteral("^确信删除界面$");
inline const QString kHostSaysZero = QStringLiteral("showdcbfrm 0x00000000");

// The component starts slowly under the sanitizers.
inline constexpr int kStartMs = 60000;
inline constexpr int kStepMs = 15000;

inline bool eventually(const std::function<bool()> &condition, int timeoutMs = kStepMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        if (condition()) return true;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return condition();
}

inline QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

// The number after `highest`, with its width and leading zeros.
inline QString followingNumber(const QString &highest)
{
    return QString::number(highest.toLongLong() + 1).rightJustified(highest.size(), u'0');
}

class XvfbFormTest : public ::testing::Test {
protected:
    explicit XvfbFormTest(const FormLayout &layout)
        : layout(layout)
    {
    }

    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("ZARN_TEST_DISPLAY"))
            GTEST_SKIP() << "no X display: set ZARN_TEST_DISPLAY (scripts/test starts an Xvfb)";
        // The shared display is the sign that X is there; the test drives a
        // server of its own so that nothing else moves its pointer or focus.
        const QString failed = server.start();
        ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
        x = std::make_unique<XSession>(server.display());
        ASSERT_TRUE(x->isOpen()) << x->lastError().toStdString();
        const QString unbuilt = world.build();
        ASSERT_TRUE(unbuilt.isEmpty()) << unbuilt.toStdString();
        db = std::make_unique<SurveyDb>(world.database());
        ASSERT_TRUE(db->isOpen()) << db->lastError().toStdString();
    }

    void TearDown() override
    {
        if (HasFailure() && x) {
            world.keep();
            const QString shot = world.file(QStringLiteral("failure.png"));
            const bool formShown = host && host->isRunning() && form && x->isShown(form);
            if (x->screenshot(formShown ? form : 0, shot))
                std::cout << "screenshot of the failure: " << shot.toStdString() << '\n';
            std::cout << "the test's folder is kept: " << world.folder().toStdString() << '\n';
            if (host)
                std::cout << "host output:\n"
                          << host->output().toStdString() << host->errors().toStdString() << '\n';
        }
        if (host) host->stop();
    }

    // Starts the demo host on a unit and parcel and waits for the form.
    [[nodiscard]] bool open(const QString &dwdm, const QString &zdh)
    {
        host = std::make_unique<HostRun>();
        if (!host->start(world.hostEnvironment(x->environment()), dwdm, zdh, layout.lx)) {
            ADD_FAILURE() << "zarn-host did not start";
            return false;
        }
        form = x->waitForWindow(host->pid(), layout.namePattern, kStartMs);
        if (!form) {
            ADD_FAILURE() << x->lastError().toStdString() << "\n"
                          << host->output().toStdString() << host->errors().toStdString();
            return false;
        }
        const std::optional<Geometry> settled = settledGeometry(form);
        if (!settled) return false;
        at = *settled;
        return true;
    }

    // The place of a window once it holds still: the forms and the editors
    // centre themselves as they are shown.
    std::optional<Geometry> settledGeometry(quint32 window)
    {
        std::optional<Geometry> before;
        const bool settled = eventually([&] {
            const std::optional<Geometry> now = x->geometry(window);
            const bool same = now && before && now->x == before->x && now->y == before->y &&
                              now->width == before->width && now->height == before->height;
            before = now;
            return same;
        });
        if (!settled || !before) {
            ADD_FAILURE() << "no geometry of window " << window << ": "
                          << x->lastError().toStdString();
            return std::nullopt;
        }
        return before;
    }

    [[nodiscard]] bool press(Button button)
    {
        const int left = static_cast<int>(button);
        const int panelTop = at.height - kButtonPanelHeight;
        const bool ok = x->click(at.x + left + kButtonWidth / 2,
                                 at.y + panelTop + kButtonTop + kButtonHeight / 2);
        if (!ok) ADD_FAILURE() << x->lastError().toStdString();
        return ok;
    }

    [[nodiscard]] bool clickInto(const Blank &blank)
    {
        const bool ok =
            x->focus(form) && x->click(at.x + blank.left + blank.width / 2,
                                       at.y + layout.bannerHeight + blank.top + kBlankHeight / 2);
        if (!ok) ADD_FAILURE() << blank.control << ": " << x->lastError().toStdString();
        return ok;
    }

    // Replaces what the blank shows by `text`, as a user selecting all and typing.
    [[nodiscard]] bool typeInto(const Blank &blank, const QString &text)
    {
        if (!clickInto(blank)) return false;
        const bool ok = x->key(QStringLiteral("ctrl+a")) &&
                        (text.isEmpty() ? x->key(QStringLiteral("BackSpace")) : x->type(text));
        if (!ok) ADD_FAILURE() << blank.control << ": " << x->lastError().toStdString();
        return ok;
    }

    // Presses a sheet button that opens an attached-table editor and waits
    // for the editor, by its caption.
    quint32 openEditor(const Blank &button, const QString &captionPattern)
    {
        return clickInto(button) ? waitForWindow(captionPattern) : 0;
    }

    [[nodiscard]] bool press(quint32 editor, EditorButton button)
    {
        const std::optional<Geometry> g = settledGeometry(editor);
        if (!g) return false;
        const int row = static_cast<int>(button);
        const bool ok =
            x->focus(editor) &&
            x->click(g->x + g->width - kEditorButtonColumnWidth / 2,
                     g->y + kEditorButtonsTop + row * kEditorButtonStep + kEditorButtonHeight / 2);
        if (!ok) ADD_FAILURE() << x->lastError().toStdString();
        return ok;
    }

    // A click at a place of a window, from its top left corner.
    [[nodiscard]] bool clickIn(quint32 window, int left, int top)
    {
        const std::optional<Geometry> g = settledGeometry(window);
        const bool ok = g && x->focus(window) && x->click(g->x + left, g->y + top);
        if (!ok) ADD_FAILURE() << x->lastError().toStdString();
        return ok;
    }

    // A box or dialog of the host, by its name.
    quint32 waitForWindow(const QString &namePattern)
    {
        const quint32 w = x->waitForWindow(host->pid(), namePattern, kStepMs);
        if (!w) ADD_FAILURE() << x->lastError().toStdString();
        return w;
    }

    // Answers a box with a key once it has the keyboard, and waits for it to go.
    [[nodiscard]] bool answer(quint32 box, const QString &key)
    {
        const bool ok = x->focus(box) && x->key(key) && x->waitUntilGone(box, kStepMs);
        if (!ok) ADD_FAILURE() << x->lastError().toStdString();
        return ok;
    }

    [[nodiscard]] bool closeWindow(quint32 window)
    {
        const bool ok = x->close(window) && x->waitUntilGone(window, kStepMs);
        if (!ok) ADD_FAILURE() << x->lastError().toStdString();
        return ok;
    }

    // Closes the form by its close box; the call must end and report 0.
    void closeForm()
    {
        ASSERT_TRUE(x->close(form)) << x->lastError().toStdString();
        ASSERT_TRUE(host->waitForExit(kStartMs)) << "zarn-host did not end after the form closed";
        EXPECT_EQ(host->exitCode(), 0) << host->errors().toStdString();
        EXPECT_TRUE(host->output().contains(kHostSaysZero)) << host->output().toStdString();
    }

    void screenshot(const QString &name)
    {
        EXPECT_TRUE(x->screenshot(form, world.file(name))) << x->lastError().toStdString();
    }

    // Reading T_DJDCB from outside.
    QString stored(qint64 id, const char *column) const
    {
        return db
            ->value(QStringLiteral("select %1 from T_DJDCB where id=?").arg(QLatin1String(column)),
                    {id})
            .toString();
    }
    qint64 currentRowId(const QString &dwdm, const QString &zdbh) const
    {
        const QVariant id = db->value(
            QStringLiteral("select id from T_DJDCB where dwdm=? and zdbh=? and bgrq is null"),
            {dwdm, zdbh});
        return id.isValid() ? id.toLongLong() : -1;
    }
    // Boundary markers of the row's parcel and version (its change date or none).
    int markersOf(qint64 id) const
    {
        return db
            ->value(QStringLiteral("select count(*) from T_JZBSB j, T_DJDCB d where d.id=? and "
                                   "j.zdbh=d.zdbh and j.dwdm=d.dwdm and (j.bgrq=d.bgrq or "
                                   "(j.bgrq is null and d.bgrq is null))"),
                    {id})
            .toInt();
    }

    FormLayout layout;
    PrivateXServer server;
    std::unique_ptr<XSession> x;
    SurveyWorld world;
    std::unique_ptr<SurveyDb> db;
    std::unique_ptr<HostRun> host;
    quint32 form = 0;
    Geometry at;
};

} // namespace zarn::e2e
