// Survey sessions run by the real module: what the user sees, what the host
// gets back, and that nothing of a session outlives the call.
#include "box_watcher.h"
#include "module_copy.h"
#include "support/tempdir.h"
#include "support/unprivileged.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace zarn::test;

namespace {

const QString ConnectionMessage = QStringLiteral("无法连接数据库,请重新设置连接参数!");

QString sqliteFile(const ModuleCopy &m)
{
    return writeFile(QDir(m.folder()).filePath(QStringLiteral("survey.db")), {});
}

QString sqlite(const QString &file)
{
    return QStringLiteral("Provider=SQLite;Data Source=") + file;
}

TEST(ComponentSession, ConfigurationThatDoesNotDecipherEndsSilently)
{
    ModuleCopy m;
    BoxWatcher boxes;
    // No config.ini at all: "000" goes to the decryption.
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 0), S_OK);
    // Enciphered with another key, or cut short.
    ModuleCopy other;
    m.writeConfig("[SystemInfo]\r\nConnectionString=" + other.encipher(refusedPostgres()) + "\r\n");
    m.useOwnKey();
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 0), S_OK);
    m.writeConfig("[SystemInfo]\r\nConnectionString=" + m.encipher(refusedPostgres()).left(20) +
                  "\r\n");
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 0), S_OK);
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());
}

TEST(ComponentSession, RefusedConnectionShowsTheMessageOnceAndTheNextCallStartsCleanly)
{
    ModuleCopy m;
    const QString db = sqliteFile(m);
    BoxWatcher boxes;
    IZarndjdcbshow *nested = m.create();
    HRESULT nestedResult = E_FAIL;
    boxes.whileShown = [&](QMessageBox *) {
        // A call while the session runs must not start a second session.
        if (nestedResult == E_FAIL) nestedResult = nested->showdcbfrm(nullptr, nullptr, 0, 0);
    };

    m.configure(refusedPostgres());
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 0), S_OK);
    ASSERT_EQ(boxes.boxes.size(), 1);
    const BoxWatcher::Box &box = boxes.boxes[0];
    EXPECT_EQ(box.text, ConnectionMessage);
    EXPECT_EQ(box.caption, QStringLiteral("错误"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons.size(), 1);
    EXPECT_TRUE(box.hasOk);
    // The data module and its connection are gone before the box shows.
    EXPECT_TRUE(box.connections.isEmpty()) << box.connections.join(',').toStdString();
    EXPECT_EQ(nestedResult, S_OK);

    // A working connection next: no trace of the failed session.
    m.configure(sqlite(db));
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 2), S_OK);
    EXPECT_EQ(boxes.boxes.size(), 1);
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());

    // And a failing one again tells the user again, once.
    m.configure(refusedPostgres());
    EXPECT_EQ(m.show(QString(), QString(), 1), S_OK);
    EXPECT_EQ(boxes.boxes.size(), 2);
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());
    nested->Release();
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
}

TEST(ComponentSession, FormKindsWithoutAFormConnectAndShowNothing)
{
    ModuleCopy m;
    const QString db = sqliteFile(m);
    BoxWatcher boxes;
    m.configure(sqlite(db));
    for (int lx : {2, -1, 127, -128})
        EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), lx), S_OK) << lx;
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());

    // The same configuration without its database file fails to connect, so
    // the calls above did reach the connection and opened it.
    QFile::remove(db);
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 2), S_OK);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, ConnectionMessage);
}

TEST(ComponentSession, ConfigIsReadBesideTheModuleNotInTheCurrentFolder)
{
    ModuleCopy m;
    m.configure(refusedPostgres());
    // A working configuration where the host runs from.
    TempDir elsewhere;
    const QString db = writeFile(elsewhere.file(QStringLiteral("survey.db")), {});
    writeFile(elsewhere.file(QStringLiteral("config.ini")),
              "[SystemInfo]\r\nConnectionString=" + m.encipher(sqlite(db)) + "\r\n");
    CurrentFolder cd(elsewhere.path());
    BoxWatcher boxes;
    EXPECT_EQ(m.show(QStringLiteral("360102001001"), QStringLiteral("00001"), 2), S_OK);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, ConnectionMessage);
}

TEST(ComponentSession, SurveyFormIsShownModallyOverTheHostAndGoneAfterTheCall)
{
#ifndef ZARN_DB_TOOL
    GTEST_SKIP() << "zarn-db is not built";
#else
    ModuleCopy m;
    const QString db = sqliteFile(m);
    for (const QString &step : {QStringLiteral("init"), QStringLiteral("demo")}) {
        QProcess p;
        p.start(QStringLiteral(ZARN_DB_TOOL), {step, sqlite(db)});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    m.configure(sqlite(db));
    QWidget host;
    host.show();
    BoxWatcher windows;
    EXPECT_EQ(m.show(QStringLiteral("320102001001"), QStringLiteral("0010010001"), 0,
                     quint32(host.winId())),
              S_OK);
    ASSERT_EQ(windows.forms.size(), 1);
    const BoxWatcher::Form &form = windows.forms[0];
    EXPECT_EQ(form.caption, QStringLiteral("使用权地籍调查表"));
    EXPECT_TRUE(form.modal);
    // The session's connection, and while the unit's keys still arrive
    // behind the window, the one they are read on.
    EXPECT_GE(form.connections.size(), 1);
    EXPECT_LE(form.connections.size(), 2);
    EXPECT_EQ(form.transientParent, host.windowHandle());
    EXPECT_TRUE(windows.boxes.isEmpty()) << windows.boxes.value(0).text.toStdString();

    // Form, data module and connection are gone when the call returns.
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QDialog *>(w)) << w->windowTitle().toStdString();
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());
#endif
}

// Survey rows in a SQLite file, read beside the sessions; the connection is
// gone again before the next session, which counts the connections alive.
int surveyRows(const QString &file)
{
    int n = -1;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("select count(*) from T_DJDCB"), db);
            if (q.next()) n = q.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

TEST(ComponentSession, AnEmptyOddOrOverlongUnitCodeOpensNoFormWritesNothingAndSaysWhy)
{
#ifndef ZARN_DB_TOOL
    GTEST_SKIP() << "zarn-db is not built";
#else
    ModuleCopy m;
    const QString db = sqliteFile(m);
    QProcess init;
    init.start(QStringLiteral(ZARN_DB_TOOL), {QStringLiteral("init"), sqlite(db)});
    ASSERT_TRUE(init.waitForFinished(120000));
    ASSERT_EQ(init.exitCode(), 0);
    m.configure(sqlite(db));
    BoxWatcher windows;
    // The DWDM column holds 20 characters; SQLite alone would store more.
    for (const QString &dwdm : {QString(), QStringLiteral("  "), QString(10000, QLatin1Char('3'))})
        for (int lx : {0, 1})
            EXPECT_EQ(m.show(dwdm, QString(), lx), S_OK);
    EXPECT_TRUE(windows.forms.isEmpty());
    ASSERT_EQ(windows.boxes.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(windows.boxes[i].caption, QStringLiteral("错误"));
        EXPECT_EQ(windows.boxes[i].text.startsWith(QStringLiteral("没有收到单位代码")), i < 4)
            << windows.boxes[i].text.toStdString();
    }
    EXPECT_TRUE(
        windows.boxes[5].text.contains(QStringLiteral("有 10000 位，超过了单位代码最多 20 位")))
        << windows.boxes[5].text.toStdString();
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());

    // Wildcards of a like pattern, blanks, letters, digits of another script:
    // the empty unit would have got its first row with that code.
    const QStringList odd = {QStringLiteral("3201020010%"),   QStringLiteral("32010200100_"),
                             QStringLiteral("320102 001001"), QStringLiteral(" 320102001001"),
                             QStringLiteral("32010200100A"),  QStringLiteral("３２０１０２")};
    for (const QString &dwdm : odd)
        for (int lx : {0, 1})
            EXPECT_EQ(m.show(dwdm, QString(), lx), S_OK);
    EXPECT_TRUE(windows.forms.isEmpty());
    ASSERT_EQ(windows.boxes.size(), 6 + 2 * odd.size());
    for (qsizetype i = 0; i < odd.size(); ++i) {
        const BoxWatcher::Box &box = windows.boxes[6 + 2 * i];
        EXPECT_EQ(box.caption, QStringLiteral("错误"));
        EXPECT_TRUE(
            box.text.startsWith(QStringLiteral("单位代码“%1”含有数字以外的字符").arg(odd[i])))
            << box.text.toStdString();
    }
    EXPECT_EQ(surveyRows(db), 0);

    // Twenty characters fit the column, and a district's six digits are a
    // unit code too: the forms open (and the empty unit gets its first row).
    EXPECT_EQ(m.show(QString(20, QLatin1Char('3')), QString(), 0), S_OK);
    EXPECT_EQ(m.show(QStringLiteral("320102"), QString(), 1), S_OK);
    EXPECT_EQ(windows.forms.size(), 2);
    EXPECT_EQ(windows.boxes.size(), 6 + 2 * odd.size());
    EXPECT_EQ(surveyRows(db), 1);
#endif
}

TEST(ComponentSession, AnSqliteFolderTheSurveyorsCannotWriteIsNamedAndAReadOnlyOneIsBrowsed)
{
#ifndef ZARN_DB_TOOL
    GTEST_SKIP() << "zarn-db is not built";
#else
    ZARN_RUN_UNPRIVILEGED()
    ModuleCopy m;
    const QString folder = QDir(m.folder()).filePath(QStringLiteral("data"));
    const QString db = writeFile(folder + QStringLiteral("/survey.db"), {});
    for (const QStringList &step :
         {QStringList{QStringLiteral("init"), sqlite(db)},
          QStringList{QStringLiteral("demo"), sqlite(db), QStringLiteral("--parcels"),
                      QStringLiteral("40")}}) {
        QProcess p;
        p.start(QStringLiteral(ZARN_DB_TOOL), step);
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    m.configure(sqlite(db));
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto exe = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(folder, readOnly | exe));
    BoxWatcher windows;
    // The file writable, its folder not: nothing could be saved.
    EXPECT_EQ(m.show(QStringLiteral("320102001001"), QString(), 0), S_OK);
    EXPECT_TRUE(windows.forms.isEmpty());
    ASSERT_EQ(windows.boxes.size(), 1);
    EXPECT_EQ(windows.boxes[0].caption, QStringLiteral("错误"));
    EXPECT_TRUE(windows.boxes[0].text.contains(QDir::toNativeSeparators(folder)))
        << windows.boxes[0].text.toStdString();
    EXPECT_TRUE(windows.boxes[0].text.contains(QStringLiteral("必须允许调查员写入")));
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty());

    // File and folder read-only on purpose: the unit's rows are there to browse.
    ASSERT_TRUE(QFile::setPermissions(db, readOnly));
    for (int lx : {0, 1})
        EXPECT_EQ(m.show(QStringLiteral("320102001001"), QStringLiteral("0010010001"), lx), S_OK);
    EXPECT_EQ(windows.forms.size(), 2);
    EXPECT_EQ(windows.boxes.size(), 1) << windows.boxes.last().text.toStdString();
    QFile::setPermissions(folder, readOnly | exe | QFileDevice::WriteOwner);
#endif
}

TEST(ComponentSession, SessionsSurviveTheHostFreeingUnusedLibraries)
{
#ifndef ZARN_DB_TOOL
    GTEST_SKIP() << "zarn-db is not built";
#else
    // No handle of the test's own: the helper library loads the module for
    // each session and lets it go afterwards, as a host does. Qt still holds
    // pointers into the module then (cached fonts), so it must stay mapped.
    TempDir dir;
    const QString module = dir.file(QStringLiteral("Zarndcbdll.so"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZARN_MODULE_FILE), module));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZARN_DECRYPT_FILE),
                            dir.file(QStringLiteral("libZarnDecryptString.so"))));
    qputenv("ZARN_REGISTRY", dir.file(QStringLiteral("registry")).toUtf8());
    QProcess regsvr;
    regsvr.start(QStringLiteral(ZARN_REGSVR_FILE), {module});
    ASSERT_TRUE(regsvr.waitForFinished(60000));
    ASSERT_EQ(regsvr.exitCode(), 0);
    ModuleCopy keyAndConfig; // only for its key
    const QString db = sqliteFile(keyAndConfig);
    for (const QString &step : {QStringLiteral("init"), QStringLiteral("demo")}) {
        QProcess p;
        p.start(QStringLiteral(ZARN_DB_TOOL), {step, sqlite(db)});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0);
    }
    writeFile(dir.file(QStringLiteral("config.ini")),
              "[SystemInfo]\r\nConnectionString=" + keyAndConfig.encipher(sqlite(db)) + "\r\n");
    BoxWatcher windows;
    for (int round = 0; round < 3; ++round) {
        void *object = nullptr;
        ASSERT_EQ(ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object), S_OK)
            << ZarnLastError();
        auto *show = static_cast<IZarndjdcbshow *>(object);
        BSTR unit = SysAllocString(u"320102001001");
        EXPECT_EQ(show->showdcbfrm(unit, nullptr, 0, 0), S_OK);
        SysFreeString(unit);
        show->Release();
        ZarnCoFreeUnusedLibraries();
    }
    EXPECT_EQ(windows.forms.size(), 3);
    qunsetenv("ZARN_REGISTRY");
#endif
}

TEST(ComponentSession, HostWindowOwnsTheSessionWindows)
{
    ModuleCopy m;
    m.configure(refusedPostgres());
    QWidget host;
    host.setWindowTitle(QStringLiteral("host"));
    host.show();
    BoxWatcher boxes;
    EXPECT_EQ(m.show(QString(), QString(), 0, quint32(host.winId())), S_OK);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].transientParent, host.windowHandle());

    // Without a host window the box has no owner of ours.
    EXPECT_EQ(m.show(QString(), QString(), 0, 0), S_OK);
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes[1].transientParent, nullptr);
}

} // namespace
