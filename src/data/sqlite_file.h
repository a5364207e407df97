#pragma once

#include <QString>

class QSqlDatabase;

// What the user running the component may do with an SQLite survey file and
// its folder, decided before the file is opened. SQLite needs more than the
// file: saving makes a journal beside it, and a database in write-ahead-log
// mode cannot even be read without its shared-memory file (-shm) there.
namespace zarn::sqlitefile {

enum class OpenMode {
    ReadWrite, // file and folder writable
    ReadOnly,  // the file is write-protected: browse only, with SQLite's locks
    Immutable, // browse only, without locks: nobody can change the file meanwhile
};

struct Access {
    QString file;   // as configured
    QString folder; // its folder, absolute
    bool fileReadable = false;
    bool fileWritable = false;
    bool folderWritable = false;
};

// Tells what the effective user may write (the superuser may write all, a
// file system mounted read-only nothing).
Access accessOf(const QString &file);

// Throws DatabaseError (kind NoAccess) saying why the surveyors cannot use
// the file: when they may not read it, or may write the file but not its
// folder (nothing could be saved, and a write-ahead log not even be read).
void requireUsable(const Access &access);

// Whether the file may be read without SQLite's locks because nobody can
// change it while it is read: a write-ahead-log database whose log holds
// nothing, in a folder that no user but the superuser may write (or on a
// file system mounted read-only), so that no writer can make its log. Else
// whyNot says why not, in Chinese, for the administrator.
bool immutableIsSafe(const Access &access, QString *whyNot);

// Whether an open file may be switched to a write-ahead log, which stays with
// the file: a new, empty database, or one holding the survey table. A file
// of some other program is left in the mode it has.
bool maySwitchToWriteAheadLog(const QSqlDatabase &db);

// The name SQLite opens without locks ("file:...?immutable=1", with
// QSQLITE_OPEN_URI).
QString immutableUri(const QString &file);

// The message for a write-protected file that SQLite cannot read: the reason
// from immutableIsSafe, or the driver's words.
QString unreadableReadOnlyMessage(const Access &access, const QString &reason);

} // namespace zarn::sqlitefile
