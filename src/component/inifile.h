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

private:
    QString m_path;
};

} // namespace zarn
