#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace zarn {

// Text in the GBK code page, the 8-bit text of existing installations.
// `exact` is set to false when a character has no GBK form (it becomes '?').
QByteArray toGbk(QStringView text, bool *exact = nullptr);
// Undecodable bytes become replacement characters; a cut final lead byte is dropped.
QString fromGbk(QByteArrayView bytes);

// What reading a file found.
enum class FileState {
    Readable,
    Missing,    // no such file (reads as empty)
    NotAllowed, // the user may not read it, or not reach its folder
    Folder,     // a folder of that name
    NotAFile,   // a named pipe, a device or a socket: never read, never waited on
    TooBig,     // larger than IniFile::MaxFileBytes
    ReadFailed, // any other error of the system
};

// An initialisation file: "[section]" lines followed by "key=value" lines.
//
// Section and key names match without regard to case; the first section of a
// name is the one that counts, and within it the first key of a name, for
// reading and writing alike. Lines starting with ';' or '#' are comments. The
// file is 8-bit GBK text, or UTF-8 when it starts with a UTF-8 byte order mark
// (as editors on the desktop save it); line ends are CRLF or LF.
class IniFile {
public:
    // Values are read as at most this many bytes of the file, cut before a
    // character that would not fit whole.
    static constexpr qsizetype MaxValueBytes = 255;
    // Larger files are treated as unreadable rather than loaded into memory.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

    explicit IniFile(QString path);

    // What reading the file at path finds, and that said in Chinese for the
    // administrator ("不存在", "当前用户没有读取它的权限…").
    static FileState state(const QString &path);
    static QString describe(FileState state);
    const QString &path() const { return m_path; }

    // The key's value with surrounding blanks removed, or `defaultValue` when
    // the file, the section or the key is missing or the file cannot be read.
    QString read(QStringView section, QStringView key, const QString &defaultValue) const;

    // Sets key=value in the section, keeping every other line as it was; makes
    // the section and the file when missing. The file is replaced atomically, so
    // a crash leaves either the old or the new file. Line breaks inside the
    // value become blanks: a value is one line and must not start new keys.
    // Returns false when the file is left unchanged because of an error, an
    // unusable section or key name, or a value the file's code page cannot
    // hold (GBK has no form for 𠮷; the key keeps what it had).
    bool write(QStringView section, QStringView key, const QString &value) const;

    // Files loaded and files replaced by this class since the process
    // started, for tests that hold a form's many keys to one of each.
    struct Traffic {
        qint64 loads = 0;
        qint64 replaces = 0;
    };
    static Traffic traffic();

private:
    QString m_path;
};

// Many keys of one file for the price of one read and at most one write: on
// a network share, where offices keep config.ini, each costs a round trip and
// a disk sync. The file is read when the batch is made; reads and writes act
// on that copy by the rules of IniFile::read and IniFile::write (a value the
// code page cannot hold is not written, the key keeps what it had), and
// commit() replaces the file once when a write changed the copy. Nothing
// reaches the file without commit(). An empty path is a file that cannot be
// used: reads give the default, writes are refused.
class IniBatch {
public:
    explicit IniBatch(QString path);

    QString read(QStringView section, QStringView key, const QString &defaultValue) const;
    bool write(QStringView section, QStringView key, const QString &value);

    // True when nothing needed writing or the file was replaced. When the
    // file cannot be replaced, the copy goes back to what the file holds, so
    // later reads see what a read of the file would.
    bool commit();

private:
    QString m_path;
    bool m_usable = false;
    bool m_utf8 = false;
    bool m_existed = false;
    bool m_written = false; // a write since the last commit
    qsizetype m_bodyStart = 0;
    QByteArray m_loaded; // the file as read
    QByteArray m_bytes;  // with the writes so far
};

} // namespace zarn
