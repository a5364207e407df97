#include "data/sqlite_file.h"

#include "data/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zarn::sqlitefile {

namespace {

// access(2) for the effective user: what the kernel would allow, so the
// superuser may write anything and nobody a file system mounted read-only.
bool mayWrite(const QString &path, bool folder)
{
    const QByteArray native = QFile::encodeName(path);
    return faccessat(AT_FDCWD, native.constData(), folder ? (W_OK | X_OK) : W_OK, AT_EACCESS) == 0;
}

// SQLite's header says the journal mode in bytes 18 and 19: 2 for a
// write-ahead log, 1 for the rollback journal.
bool usesWriteAheadLog(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(20);
    return head.size() == 20 && head.at(18) == 2 && head.at(19) == 2;
}

bool noUserMayWrite(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct statvfs fs {};
    if (statvfs(native.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return true;
    struct stat st {};
    return stat(native.constData(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

DatabaseError noAccess(const QString &message)
{
    return DatabaseError(message, Refusal::of(RefusalKind::NoAccess, {}));
}

} // namespace

Access accessOf(const QString &file)
{
    Access a;
    a.file = file;
    a.folder = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
    a.fileReadable =
        faccessat(AT_FDCWD, QFile::encodeName(file).constData(), R_OK, AT_EACCESS) == 0;
    a.fileWritable = mayWrite(file, false);
    a.folderWritable = mayWrite(QFileInfo(file).absolutePath(), true);
    return a;
}

void requireUsable(const Access &access)
{
    if (!access.fileReadable)
        throw noAccess(
            QStringLiteral("无法使用数据库文件“%1”：当前用户没有读取它的权限。请系统管理员"
                           "让调查员可以读写这个文件和它所在的文件夹“%2”。")
                .arg(QDir::toNativeSeparators(access.file), access.folder));
    if (!access.fileWritable || access.folderWritable) return;
    throw noAccess(
        QStringLiteral("无法使用数据库文件“%1”：它所在的文件夹“%2”不允许当前用户写入。SQLite "
                       "数据库读写时要在同一文件夹里建立日志文件，所以这个文件夹必须允许调查员"
                       "写入，只让数据库文件本身可写是不够的。请系统管理员为调查员开放文件夹“%2”"
                       "的写权限后，再打开调查表。")
            .arg(QDir::toNativeSeparators(access.file), access.folder));
}

bool immutableIsSafe(const Access &access, QString *whyNot)
{
    QString why;
    const QString wal = access.file + QStringLiteral("-wal");
    if (!usesWriteAheadLog(access.file))
        why = QString(); // a rollback journal is read with locks; its failure is SQLite's to say
    else if (QFileInfo(wal).size() > 0)
        why = QStringLiteral("文件夹里还有尚未写回数据库文件的日志“%1”，不读它就会缺少最近保存的"
                             "内容")
                  .arg(QDir::toNativeSeparators(wal));
    else if (!noUserMayWrite(QFileInfo(access.file).absolutePath()))
        why = QStringLiteral("该文件夹仍允许其他用户写入，无法保证查阅时没有人同时修改数据库");
    else
        return true;
    if (whyNot) *whyNot = why;
    return false;
}

bool maySwitchToWriteAheadLog(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    // A survey table's name is bound as a value; any table at all makes the
    // file someone's database.
    if (!q.prepare(QStringLiteral("select count(*), coalesce(sum(lower(name) = ?), 0) from "
                                  "sqlite_master where type = 'table'")))
        return false;
    q.addBindValue(QStringLiteral("t_djdcb"));
    if (!q.exec() || !q.next()) return false;
    return q.value(0).toLongLong() == 0 || q.value(1).toLongLong() > 0;
}

QString immutableUri(const QString &file)
{
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           QStringLiteral("?immutable=1");
}

QString unreadableReadOnlyMessage(const Access &access, const QString &reason)
{
    const QString file = QDir::toNativeSeparators(access.file);
    QString text =
        QStringLiteral("数据库文件“%1”不允许写入，只能查阅，但 SQLite 无法只读打开它").arg(file);
    if (!access.folderWritable && usesWriteAheadLog(access.file))
        text += QStringLiteral("：这个数据库使用预写日志（WAL）方式，只读查阅时需要在文件夹“%1”里"
                               "建立共享内存文件，而这个文件夹不允许写入")
                    .arg(access.folder);
    if (!reason.isEmpty()) text += QStringLiteral("；") + reason;
    text += QStringLiteral("。\n请系统管理员为调查员开放文件夹“%1”的写权限；若数据库只供查阅，"
                           "请先把它改为回滚日志方式（sqlite3 \"%2\" \"pragma "
                           "journal_mode=delete\"），再把文件和文件夹设为只读。")
                .arg(access.folder, file);
    return text;
}

} // namespace zarn::sqlitefile
