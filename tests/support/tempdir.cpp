#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace zarn::test {

TempDir::TempDir()
    : m_dir(QDir::tempPath() + QStringLiteral("/zarn-test-XXXXXX"))
{
    if (!m_dir.isValid()) throw std::runtime_error("cannot create a temporary folder");
}

CurrentFolder::CurrentFolder(const QString &path)
    : m_old(QDir::currentPath())
{
    QDir::setCurrent(path);
}

CurrentFolder::~CurrentFolder()
{
    QDir::setCurrent(m_old);
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

} // namespace zarn::test
