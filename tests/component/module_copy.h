#pragma once

#include "support/tempdir.h"

#include <zarn/Zarndcbdll.h>

#include <QByteArray>
#include <QString>

namespace zarn::test {

// A copy of the component and its decryption library in a folder of its own,
// laid out as installed, loaded with dlopen. The key of the decryption library
// is a fresh one named by ZARN_KEY_FILE.
class ModuleCopy {
public:
    ModuleCopy();
    ~ModuleCopy();
    ModuleCopy(const ModuleCopy &) = delete;
    ModuleCopy &operator=(const ModuleCopy &) = delete;

    QString folder() const { return m_dir.path(); }
    QString modulePath() const { return m_dir.file(QStringLiteral("Zarndcbdll.so")); }

    // config.ini beside the module with the enciphered connection string.
    void configure(const QString &connectionString);
    void writeConfig(const QByteArray &bytes);
    // Makes this copy's key the one the decryption library uses (done at
    // construction; the library is shared by every copy in the process).
    void useOwnKey() const;
    // The connection string enciphered with this copy's key.
    QByteArray encipher(const QString &connectionString) const;

    // The module's entry points (loads it on first use).
    ZarnDllGetClassObjectFn getClassObject();
    ZarnDllCanUnloadNowFn canUnloadNow();
    ZarnDllRegisterServerFn registerServer();
    ZarnDllUnregisterServerFn unregisterServer();

    // A new object through the class factory, as IZarndjdcbshow.
    IZarndjdcbshow *create();
    // create(), showdcbfrm, Release; the call's result.
    HRESULT show(const QString &dwdm, const QString &zdh, int lx, quint32 winhandle = 0);

private:
    void *symbol(const char *name);

    TempDir m_dir;
    QString m_keyFile;
    void *m_handle = nullptr;
};

// A connection string to a PostgreSQL port on this machine where nothing listens.
QString refusedPostgres();

} // namespace zarn::test
