#pragma once

#include <QString>
#include <QTemporaryDir>

namespace zarn::test {

// A temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Runs the rest of a scope in another current folder and comes back.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString &path);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

private:
    QString m_old;
};

// Writes bytes to a file, creating folders; returns its path.
QString writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

} // namespace zarn::test
