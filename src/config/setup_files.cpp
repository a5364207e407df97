#include "config/setup_files.h"

#include "data/connection_string.h"
#include "data/errors.h"
#include "decrypt/key_file.h"
#include "decrypt/module_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <sys/stat.h>

namespace zarn {

namespace {

QString local(const std::string &s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

// The folder of the decryption library loaded in this process, without
// links ("bin/../lib" of a run path named plainly); empty when none is loaded.
std::string decryptionFolder()
{
    std::string folder;
    if (void *lib = dlopen("libZarnDecryptString.so", RTLD_NOW | RTLD_NOLOAD)) {
        if (void *fn = dlsym(lib, "ZarnDecryptStr")) folder = folderOf(imagePathContaining(fn));
        dlclose(lib);
    }
    if (char *resolved = folder.empty() ? nullptr : realpath(folder.c_str(), nullptr)) {
        folder = std::string(resolved) + '/';
        std::free(resolved);
    }
    return folder;
}

QString readError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有读取它的权限");
    case EISDIR:
        return QStringLiteral("这是一个文件夹，不是文件");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case ELOOP:
        return QStringLiteral("符号链接成环或层数过多");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// The name a file is reached by once every link on the way is followed; for
// a file not made yet, its resolved folder and its own name (a dangling link
// leads to where the file would be made).
std::filesystem::path resolved(const QString &name)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(QFile::encodeName(name).toStdString()), ec);
    for (int depth = 0; depth < 40 && fs::is_symlink(p, ec); ++depth) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    const fs::path canonical = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : canonical;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return resolved(a) == resolved(b);
}

} // namespace

QString decryptionKeyPath()
{
    return local(cipher::keyFilePath(decryptionFolder()));
}

QString keyFileProblem(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("找不到解密库 libZarnDecryptString.so 的位置，也没有用环境变量 "
                              "ZARN_KEY_FILE 指定密钥文件。");
    unsigned char key[cipher::KeySize];
    const cipher::KeyFileRead r = cipher::readKeyBytes(QFile::encodeName(path).toStdString(), key);
    explicit_bzero(key, sizeof key);
    switch (r.result) {
    case cipher::KeyFileResult::Ok:
        return {};
    case cipher::KeyFileResult::Missing:
        return QStringLiteral("密钥文件 %1 不存在。请用 zarn-encrypt 重新加密连接字符串 "
                              "(它会新建密钥文件)，或把原来的密钥文件放回该处。")
            .arg(path);
    case cipher::KeyFileResult::Unreadable:
        return QStringLiteral("无法读取密钥文件 %1：%2。请让系统管理员检查该文件和它所在文件夹的"
                              "权限 (运行本程序的用户须能读取它)。")
            .arg(path, readError(r.error));
    case cipher::KeyFileResult::Invalid:
        break;
    }
    return QStringLiteral("密钥文件 %1 不是有效的密钥 (应为恰好 %2 字节的普通文件)。请把原来的密钥"
                          "文件放回该处。")
        .arg(path)
        .arg(cipher::KeySize);
}

ProtectedFiles ProtectedFiles::ofSetup(const QString &connectionString)
{
    ProtectedFiles files;
    files.addDatabase(connectionString);
    const QString config = QStringLiteral("config.ini");
    const QString what = QStringLiteral("组件的配置文件");
    if (const std::string own = moduleFolder(); !own.empty()) files.add(local(own) + config, what);
    if (const std::string folder = decryptionFolder(); !folder.empty())
        files.add(local(folder) + config, what);
    if (const QString key = decryptionKeyPath(); !key.isEmpty())
        files.add(key, QStringLiteral("连接字符串的密钥文件"));
    return files;
}

void ProtectedFiles::addDatabase(const QString &connectionString)
{
    ConnectionSettings settings;
    try {
        settings = mapConnectionString(connectionString, false);
    } catch (const Error &) {
        return; // a string no database opens with names no file either
    }
    if (settings.driver != QLatin1String("QSQLITE") || settings.databaseName.isEmpty() ||
        settings.databaseName == QLatin1String(":memory:"))
        return;
    const QString db = settings.databaseName;
    add(db, QStringLiteral("调查数据库"));
    // SQLite names its journals after the database as it was opened and, on
    // some builds, after the file the name leads to: both are kept.
    const QString real = QFile::decodeName(QByteArray::fromStdString(resolved(db).string()));
    for (const QString &name : {QFileInfo(db).absoluteFilePath(), real}) {
        add(name + QStringLiteral("-wal"), QStringLiteral("调查数据库的预写日志"));
        add(name + QStringLiteral("-shm"), QStringLiteral("调查数据库的共享内存文件"));
        add(name + QStringLiteral("-journal"), QStringLiteral("调查数据库的回滚日志"));
    }
}

void ProtectedFiles::add(const QString &path, const QString &what)
{
    if (!path.isEmpty()) m_files.append({path, what});
}

QString ProtectedFiles::refusal(const QString &target) const
{
    for (const Entry &e : m_files)
        if (sameFile(target, e.path))
            return QStringLiteral("不能写入 %1：它就是%2 %3，写入会毁掉其中的内容。什么都没有写；"
                                  "请换一个文件名。")
                .arg(target, e.what,
                     QDir::toNativeSeparators(QFileInfo(e.path).absoluteFilePath()));
    return {};
}

} // namespace zarn
