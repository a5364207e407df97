#pragma once

#include "component/inifile.h"

#include <QString>
#include <QVariantList>

// The folder of the module file that holds this code (the component library,
// not the host program and not the current folder), with a trailing '/'.
// Empty when it cannot be found.
QString GetDllPath();

// Trims blanks and control characters at both ends, as the forms and the
// editors compare the texts they read (a parcel number of blanks is empty).
QString trimBlanks(const QString &s);

// config.ini in the GetDllPath() folder. Names match without regard to case; a
// missing file, section or key gives `defaultValue`; a value is read as at most
// 255 bytes of GBK text, cut on a character boundary.
QString ReadIniStr(const QString &section, const QString &key, const QString &defaultValue);

// Sets key=value in the section of config.ini, making the section and the file
// when missing and keeping every other line. A failed write is ignored.
void WriteIniStr(const QString &section, const QString &key, const QString &value);

// config.ini in the GetDllPath() folder read once for many keys, written back
// by commit() at most once, by the rules of ReadIniStr and WriteIniStr.
zarn::IniBatch ConfigIniBatch();
