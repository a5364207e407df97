// Survey sessions run by the real module: what the user sees, what the host
// gets back, and that nothing of a session outlives the call.
#include "box_watcher.h"
#include "module_copy.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
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

class CurrentFolder {
public:
    explicit CurrentFolder(const QString &path)
        : m_old(QDir::currentPath())
    {
        QDir::setCurrent(path);
    }
    ~CurrentFolder() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

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
