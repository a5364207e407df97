#include "module_copy.h"

#include "decrypt/cipher.h"

#include <QFile>
#include <QStringEncoder>
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace zarn::test {

namespace {

void copyFile(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to)) throw std::runtime_error("cannot copy " + from.toStdString());
}

} // namespace

ModuleCopy::ModuleCopy()
{
    copyFile(QStringLiteral(ZARN_MODULE_FILE), modulePath());
    copyFile(QStringLiteral(ZARN_DECRYPT_FILE),
             m_dir.file(QStringLiteral("libZarnDecryptString.so")));
    m_keyFile = m_dir.file(QStringLiteral("test.key"));
    cipher::Key key;
    if (cipher::createKeyFile(m_keyFile.toStdString(), key) != 0)
        throw std::runtime_error("cannot make a key file");
    useOwnKey();
}

void ModuleCopy::useOwnKey() const
{
    qputenv(cipher::KeyFileVariable, QFile::encodeName(m_keyFile));
}

ModuleCopy::~ModuleCopy()
{
    if (m_handle) dlclose(m_handle);
}

QByteArray ModuleCopy::encipher(const QString &connectionString) const
{
    cipher::Key key;
    if (cipher::readKeyFile(m_keyFile.toStdString(), key) != cipher::KeyFileResult::Ok)
        throw std::runtime_error("cannot read the key file");
    const QByteArray plain = QStringEncoder("GBK")(connectionString);
    const std::string text = cipher::encipher(plain.toStdString(), key);
    return QByteArray::fromStdString(text);
}

void ModuleCopy::configure(const QString &connectionString)
{
    writeConfig("[SystemInfo]\r\nConnectionString=" + encipher(connectionString) + "\r\n");
}

void ModuleCopy::writeConfig(const QByteArray &bytes)
{
    writeFile(m_dir.file(QStringLiteral("config.ini")), bytes);
}

void *ModuleCopy::symbol(const char *name)
{
    if (!m_handle) {
        m_handle = dlopen(QFile::encodeName(modulePath()).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle) throw std::runtime_error(std::string("dlopen: ") + dlerror());
    }
    void *s = dlsym(m_handle, name);
    if (!s) throw std::runtime_error(std::string("missing export ") + name);
    return s;
}

ZarnDllGetClassObjectFn ModuleCopy::getClassObject()
{
    return reinterpret_cast<ZarnDllGetClassObjectFn>(symbol("DllGetClassObject"));
}
ZarnDllCanUnloadNowFn ModuleCopy::canUnloadNow()
{
    return reinterpret_cast<ZarnDllCanUnloadNowFn>(symbol("DllCanUnloadNow"));
}
ZarnDllRegisterServerFn ModuleCopy::registerServer()
{
    return reinterpret_cast<ZarnDllRegisterServerFn>(symbol("DllRegisterServer"));
}
ZarnDllUnregisterServerFn ModuleCopy::unregisterServer()
{
    return reinterpret_cast<ZarnDllUnregisterServerFn>(symbol("DllUnregisterServer"));
}

IZarndjdcbshow *ModuleCopy::create()
{
    void *p = nullptr;
    if (getClassObject()(&CLSID_Zarndjdcbshow, &IID_IClassFactory, &p) != S_OK)
        throw std::runtime_error("no class factory");
    auto *factory = static_cast<IClassFactory *>(p);
    void *object = nullptr;
    const HRESULT hr = factory->CreateInstance(nullptr, &IID_IZarndjdcbshow, &object);
    factory->Release();
    if (hr != S_OK) throw std::runtime_error("CreateInstance failed");
    return static_cast<IZarndjdcbshow *>(object);
}

HRESULT ModuleCopy::show(const QString &dwdm, const QString &zdh, int lx, quint32 winhandle)
{
    IZarndjdcbshow *object = create();
    BSTR a = SysAllocString(reinterpret_cast<const OLECHAR *>(dwdm.utf16()));
    BSTR b = SysAllocString(reinterpret_cast<const OLECHAR *>(zdh.utf16()));
    const HRESULT hr = object->showdcbfrm(a, b, int8_t(lx), winhandle);
    SysFreeString(a);
    SysFreeString(b);
    object->Release();
    return hr;
}

QString refusedPostgres()
{
    // A port the system just handed out and nobody listens on any more.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        throw std::runtime_error("cannot find a free port");
    ::close(s);
    return QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:%1/zarn;User ID=zarn;"
                          "Password=secret")
        .arg(ntohs(addr.sin_port));
}

} // namespace zarn::test
