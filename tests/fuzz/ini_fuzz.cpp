// The ini reader and writer on any bytes a config.ini can hold.
#include "component/inifile.h"

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
    const QString absent = QStringLiteral("\x01");
    for (const char *section : {"SystemInfo", "DCB", "dcb", ""}) {
        for (const char *key : {"ConnectionString", "sm", "QSDCJS", ""}) {
            const QString value =
                ini.read(QString::fromLatin1(section), QString::fromLatin1(key), absent);
            if (value != absent)
                check(zarn::toGbk(value).size() <= zarn::IniFile::MaxValueBytes + 3,
                      "a value longer than the limit");
        }
    }
    // Writing keeps the file readable and the key found again. Each write is
    // a synced replacement of the file, so only a few inputs write.
    if (size == 0 || data[0] % 32 != 0) return 0;
    const QString written =
        zarn::fromGbk(QByteArrayView(data, qsizetype(std::min<size_t>(size, 40))));
    if (ini.write(QStringLiteral("DCB"), QStringLiteral("sm"), written))
        check(ini.read(QStringLiteral("DCB"), QStringLiteral("sm"), absent) != absent,
              "a written key is not found");
    return 0;
}
