#pragma once

#include "config/inifile.h"

#include <QString>

namespace zarn {

// config.ini beside the module that holds this code (moduleFolder()); empty
// when that folder is unknown: the current folder is never a stand-in for it.
QString configIniPath();

// A key of config.ini. Names match without regard to case; a missing file,
// section or key gives `defaultValue`; a value is read as at most 255 bytes of
// GBK text, cut on a character boundary.
QString readConfigValue(const QString &section, const QString &key, const QString &defaultValue);

// Sets key=value in the section of config.ini, making the section and the file
// when missing and keeping every other line. A failed write is ignored.
void writeConfigValue(const QString &section, const QString &key, const QString &value);

// config.ini read once for many keys, written back by commit() at most once,
// by the rules of readConfigValue and writeConfigValue.
IniBatch openConfigIni();

} // namespace zarn
