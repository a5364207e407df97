// The ini reader and writer on any bytes a config.ini can hold.
#include "config/inifile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString scratchFile()
{
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("config.ini"));
}

void check(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "ini: %s\n", what);
        abort();
    }
}

// What reading gives back for a value written into a file of that encoding:
// one line (the writer turns line breaks into blanks), in the file's code page
// (a character without a GBK form becomes '?'), without the blanks the reader
// trims at both ends. Control characters other than those blanks are kept.
QString expectedReadBack(const QString &written, bool utf8)
{
    QString line = written;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(u'\r', u' ');
    line.replace(u'\n', u' ');
    QByteArray bytes = utf8 ? line.toUtf8() : zarn::toGbk(line);
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!bytes.isEmpty() && blank(bytes.front()))
        bytes.remove(0, 1);
    while (!bytes.isEmpty() && blank(bytes.back()))
        bytes.chop(1);
    return utf8 ? QString::fromUtf8(bytes) : zarn::fromGbk(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratchFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const zarn::IniFile ini(path);
    // No value read can hold a line break: this one stands for "not found".
    const QString absent = QStringLiteral("\n");
    for (const char *section : {"SystemInfo", "DCB", "dcb", ""}) {
        for (const char *key : {"ConnectionString", "sm", "QSDCJS", ""}) {
            const QString value =
                ini.read(QString::fromLatin1(section), QString::fromLatin1(key), absent);
            if (value != absent) {
                check(!value.contains(u'\n'), "a value holding a line break");
                check(zarn::toGbk(value).size() <= zarn::IniFile::MaxValueBytes + 3,
                      "a value longer than the limit");
            }
        }
    }
    // Writing keeps the file readable and the key found again with the value
    // written. Each write is a synced replacement of the file, so only a few
    // inputs write.
    if (size == 0 || data[0] % 32 != 0) return 0;
    const QString written =
        zarn::fromGbk(QByteArrayView(data, qsizetype(std::min<size_t>(size, 40))));
    const bool utf8 = QByteArrayView(data, qsizetype(size)).startsWith("\xEF\xBB\xBF");
    if (ini.write(QStringLiteral("DCB"), QStringLiteral("sm"), written)) {
        const QString back = ini.read(QStringLiteral("DCB"), QStringLiteral("sm"), absent);
        check(back != absent, "a written key is not found");
        check(back == expectedReadBack(written, utf8), "a written value reads back changed");
    }
    return 0;
}
