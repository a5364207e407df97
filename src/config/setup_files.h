#pragma once

#include <QList>
#include <QString>

namespace zarn {

// The key file of the decryption library as this process would read it:
// $ZARN_KEY_FILE, else the key beside the decryption library loaded here
// (its folder named without links). Empty when neither is known.
QString decryptionKeyPath();

// Why the key file at `path` cannot serve, as a Chinese sentence naming the
// file, the cause and what to do; empty when it holds a key.
QString keyFileProblem(const QString &path);

// The files that a survey workstation runs on and that no file written for
// the user (a PDF, a config.ini) may replace: the survey database when it is
// a file, with its journal files, config.ini, the decryption key. Files are
// compared as files (the same file under another name, through a link or a
// hard link, is the same), not by how their names are spelled.
class ProtectedFiles {
public:
    // This process's own: config.ini beside the component and beside the
    // decryption library, the key file, and the database of
    // `connectionString` when it names a file.
    static ProtectedFiles ofSetup(const QString &connectionString);

    // An SQLite database named by a connection string, with the -wal, -shm
    // and -journal files SQLite keeps beside it (made or not yet).
    void addDatabase(const QString &connectionString);
    // Another file, described for the user as `what` ("组件的配置文件").
    void add(const QString &path, const QString &what);

    // Why `target` must not be written, as a Chinese sentence; empty when it
    // may be.
    QString refusal(const QString &target) const;

private:
    struct Entry {
        QString path;
        QString what;
    };
    QList<Entry> m_files;
};

} // namespace zarn
