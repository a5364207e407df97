#include "config/config_ini.h"

#include "decrypt/module_path.h"

#include <QFile>

namespace zarn {

QString configIniPath()
{
    const QString folder = QFile::decodeName(QByteArray::fromStdString(moduleFolder()));
    return folder.isEmpty() ? QString() : folder + QStringLiteral("config.ini");
}

QString readConfigValue(const QString &section, const QString &key, const QString &defaultValue)
{
    const QString path = configIniPath();
    return path.isEmpty() ? defaultValue : IniFile(path).read(section, key, defaultValue);
}

void writeConfigValue(const QString &section, const QString &key, const QString &value)
{
    const QString path = configIniPath();
    if (!path.isEmpty()) IniFile(path).write(section, key, value);
}

IniBatch openConfigIni()
{
    return IniBatch(configIniPath());
}

} // namespace zarn
