// Registration in the registration file and creating the object through it,
// as a host does: by ProgID, with the helper library.
#include "com/registry.h"
#include "module_copy.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

using namespace zarn::test;

namespace {

const QString ClassKey =
    QStringLiteral("HKEY_CLASSES_ROOT\\CLSID\\{D2C432D4-1697-4A84-86D5-0D3E761F8405}");

// Someone else's registrations, written by hand: CRLF line ends, a comment,
// odd spacing and no newline at the end.
const QByteArray Foreign = "; registrations of other components\r\n"
                           "[HKEY_CLASSES_ROOT\\Other.Thing\\CLSID]\r\n"
                           "@ = \"{11111111-2222-3333-4444-555555555555}\"\r\n"
                           "\r\n"
                           "[HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\"
                           "InprocServer32]\r\n"
                           "@=\"/opt/other/lib\\\\x \\\"quoted\\\".so\"\r\n"
                           "\"ThreadingModel\"=\"Both\"";

class Registry {
public:
    Registry()
    {
        path = writeFile(dir.file(QStringLiteral("registry")), Foreign);
        qputenv("ZARN_REGISTRY", path.toUtf8());
    }
    ~Registry() { qunsetenv("ZARN_REGISTRY"); }
    std::optional<std::string> value(const QString &key, const QString &name = {}) const
    {
        zarn::com::RegistryFile f(path.toStdString());
        if (!f.load()) return std::nullopt;
        return f.value(key.toStdString(), name.toStdString());
    }
    TempDir dir;
    QString path;
};

TEST(ComponentRegistration, RoundTripLeavesOtherEntriesExactlyAsTheyWere)
{
    Registry reg;
    ModuleCopy m;
    ASSERT_EQ(m.registerServer()(), S_OK);
    const std::string self = m.modulePath().toStdString();
    EXPECT_EQ(reg.value(ClassKey), "Zarndjdcbshow");
    EXPECT_EQ(reg.value(ClassKey + "\\InprocServer32"), self);
    EXPECT_EQ(reg.value(ClassKey + "\\inprocserver32", "threadingmodel"), "Apartment");
    EXPECT_EQ(reg.value(ClassKey + "\\ProgID"), "Zarndcbdll.Zarndjdcbshow");
    EXPECT_EQ(reg.value(ClassKey + "\\TypeLib"), "{6E07077D-6B46-49FB-A19B-22821CFDDBCB}");
    EXPECT_EQ(reg.value(ClassKey + "\\Version"), "1.0");
    EXPECT_EQ(reg.value("HKEY_CLASSES_ROOT\\Zarndcbdll.Zarndjdcbshow\\CLSID"),
              "{D2C432D4-1697-4A84-86D5-0D3E761F8405}");
    EXPECT_EQ(reg.value("HKEY_CLASSES_ROOT\\TypeLib\\{6E07077D-6B46-49FB-A19B-22821CFDDBCB}\\1.0"),
              "Zarndcbdll Library");
    // The other component's entries still read as before.
    EXPECT_EQ(reg.value("HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\"
                        "InprocServer32"),
              "/opt/other/lib\\x \"quoted\".so");
    // The file ends without a newline, so the new keys went before the
    // first key rather than after a newline that could not be taken back.
    EXPECT_TRUE(readFile(reg.path).endsWith(Foreign.mid(Foreign.indexOf('['))));

    // Registering twice changes nothing.
    const QByteArray once = readFile(reg.path);
    ASSERT_EQ(m.registerServer()(), S_OK);
    EXPECT_EQ(readFile(reg.path), once);

    ASSERT_EQ(m.unregisterServer()(), S_OK);
    EXPECT_EQ(readFile(reg.path), Foreign);
    // Unregistering what is not there is no error and changes nothing.
    ASSERT_EQ(m.unregisterServer()(), S_OK);
    EXPECT_EQ(readFile(reg.path), Foreign);
}

TEST(ComponentRegistration, UnregisteringKeepsWhatOthersAddedUnderTheClass)
{
    Registry reg;
    ModuleCopy m;
    ASSERT_EQ(m.registerServer()(), S_OK);
    {
        zarn::com::RegistryFile f(reg.path.toStdString());
        ASSERT_TRUE(f.load());
        ASSERT_TRUE(f.setValue((ClassKey + "\\Implemented Categories").toStdString(), "", "x"));
        ASSERT_TRUE(f.setValue((ClassKey + "\\InprocServer32").toStdString(), "Note", "kept"));
        ASSERT_TRUE(f.save());
    }
    ASSERT_EQ(m.unregisterServer()(), S_OK);
    EXPECT_EQ(reg.value(ClassKey + "\\Implemented Categories"), "x");
    EXPECT_EQ(reg.value(ClassKey + "\\InprocServer32", "Note"), "kept");
    EXPECT_EQ(reg.value(ClassKey + "\\InprocServer32"), std::nullopt);
    EXPECT_EQ(reg.value(ClassKey), std::nullopt);
    EXPECT_EQ(reg.value("HKEY_CLASSES_ROOT\\Zarndcbdll.Zarndjdcbshow\\CLSID"), std::nullopt);
    EXPECT_EQ(reg.value("HKEY_CLASSES_ROOT\\Other.Thing\\CLSID"),
              "{11111111-2222-3333-4444-555555555555}");
}

TEST(ComponentRegistration, HostCreatesTheObjectByProgIdAndLetsTheModuleGo)
{
    Registry reg;
    ModuleCopy m;
    void *object = nullptr;
    EXPECT_EQ(ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object),
              CO_E_CLASSSTRING);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(m.registerServer()(), S_OK);

    CLSID clsid{};
    ASSERT_EQ(ZarnCLSIDFromProgID("zarndcbdll.zarndjdcbshow", &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Zarndjdcbshow);
    ASSERT_EQ(ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object), S_OK)
        << ZarnLastError();
    // The helper loaded the registered file: the copy loaded here.
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);
    ZarnCoFreeUnusedLibraries(); // still in use: stays
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);
    static_cast<IUnknown *>(object)->Release();
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
    ZarnCoFreeUnusedLibraries();

    EXPECT_EQ(ZarnCoCreateInstance(&IID_IUnknown, nullptr, &IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(m.unregisterServer()(), S_OK);
    EXPECT_EQ(ZarnCoCreateInstance(&CLSID_Zarndjdcbshow, nullptr, &IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
}

// ZarnLastError speaks of the call just made: a refusal for a null pointer
// replaces an older failure, a success clears it, and a lookup that fails in a
// damaged store names the file and the line rather than "not registered".
TEST(ComponentRegistration, LastErrorBelongsToTheCallJustMadeAndNamesADamagedStore)
{
    Registry reg;
    void *object = nullptr;
    CLSID clsid{};
    ASSERT_EQ(ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object),
              CO_E_CLASSSTRING);
    EXPECT_NE(std::string(ZarnLastError()).find("is not registered in"), std::string::npos);
    EXPECT_EQ(std::string(ZarnLastError()).find("damaged"), std::string::npos) << ZarnLastError();

    EXPECT_EQ(ZarnCLSIDFromProgID(nullptr, &clsid), E_POINTER);
    EXPECT_STREQ(ZarnLastError(), "ZarnCLSIDFromProgID: progid is a null pointer");
    EXPECT_EQ(ZarnCoCreateInstance(&CLSID_Zarndjdcbshow, nullptr, &IID_IUnknown, nullptr),
              E_POINTER);
    EXPECT_STREQ(ZarnLastError(), "ZarnCoCreateInstance: out is a null pointer");
    EXPECT_EQ(ZarnGUIDFromString("{D2C432D4-1697-4A84-86D5-0D3E761F8405}", &clsid), S_OK);
    EXPECT_STREQ(ZarnLastError(), "");

    // Our registration, cut off or overwritten after the lines of others (7).
    const struct {
        QByteArray tail;
        const char *where;
    } damaged[] = {
        {"\r\n[HKEY_CLASSES_ROOT\\Zarndcbdll.Zarndjdcbshow\\CLSID\r\n@=\"{D2C432D4-1697-4A84-"
         "86D5-0D3E761F8405}\"\r\n",
         "line 8 (a key without its closing ])"},
        {"\r\n[HKEY_CLASSES_ROOT\\Zarndcbdll.Zarndjdcbshow\\CLSID]\r\n@=\"{D2C432D4-1697",
         "line 9 (a value cut off"},
        {QByteArray("\r\n\0\0\0\0", 6), "line 8 (NUL bytes"},
    };
    for (const auto &d : damaged) {
        writeFile(reg.path, Foreign + d.tail);
        EXPECT_EQ(ZarnCLSIDFromProgID(ZARN_PROGID, &clsid), CO_E_CLASSSTRING);
        const std::string error = ZarnLastError();
        EXPECT_NE(error.find(reg.path.toStdString() + " is damaged at " + d.where),
                  std::string::npos)
            << error;
    }
    // A store that is whole again (a comment, the banner of an exported file,
    // a hex value over two lines) answers plainly.
    writeFile(reg.path, "Windows Registry Editor Version 5.00\n; kept\n[HKEY_CLASSES_ROOT\\X]\n"
                        "\"Bits\"=hex:01,02,\\\n  03,04\n");
    EXPECT_EQ(ZarnCLSIDFromProgID(ZARN_PROGID, &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(std::string(ZarnLastError()).find("damaged"), std::string::npos) << ZarnLastError();
}

// zarn-regsvr with this process's environment; its exit status.
int run(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ZARN_REGSVR_FILE), args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(ComponentRegistration, RegistrationToolRegistersAndUnregisters)
{
    Registry reg;
    ModuleCopy m;
    EXPECT_EQ(run({m.modulePath()}), 0);
    EXPECT_EQ(reg.value(ClassKey + "\\InprocServer32"), m.modulePath().toStdString());
    EXPECT_EQ(run({QStringLiteral("-u"), m.modulePath()}), 0);
    EXPECT_EQ(readFile(reg.path), Foreign);

    EXPECT_EQ(run({m.folder() + QStringLiteral("/missing.so")}), 3);
    EXPECT_EQ(run({}), 2);
    // A registration file that cannot be written is reported, not ignored.
    qputenv("ZARN_REGISTRY", QByteArray("/proc/zarn-no-such-dir/registry"));
    EXPECT_EQ(run({m.modulePath()}), 1);
}

// The machine's store (where the package registers) and the user's, as a
// host without $ZARN_REGISTRY sees them.
TEST(ComponentRegistration, UsersOwnRegistrationStandsBeforeTheMachines)
{
    TempDir dir;
    // A store named by the caller's own $ZARN_REGISTRY would hide both files.
    qunsetenv("ZARN_REGISTRY");
    const QString system = dir.file(QStringLiteral("etc/registry"));
    qputenv("ZARN_SYSTEM_REGISTRY", system.toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("user")).toUtf8());
    const auto create = [] {
        void *object = nullptr;
        const HRESULT hr = ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object);
        return std::unique_ptr<IUnknown, void (*)(IUnknown *)>(
            hr == S_OK ? static_cast<IUnknown *>(object) : nullptr,
            [](IUnknown *u) { u->Release(); });
    };
    ModuleCopy machine, user;

    ASSERT_EQ(run({QStringLiteral("--system"), QStringLiteral("-s"), machine.modulePath()}), 0);
    {
        const auto object = create();
        ASSERT_TRUE(object) << ZarnLastError();
        EXPECT_EQ(machine.canUnloadNow()(), S_FALSE); // the machine's copy made it
    }
    ASSERT_EQ(run({QStringLiteral("-s"), user.modulePath()}), 0);
    {
        const auto object = create();
        ASSERT_TRUE(object) << ZarnLastError();
        EXPECT_EQ(user.canUnloadNow()(), S_FALSE);
        EXPECT_EQ(machine.canUnloadNow()(), S_OK);
    }
    // A store named by $ZARN_REGISTRY is the only one looked at.
    qputenv("ZARN_REGISTRY", dir.file(QStringLiteral("empty")).toUtf8());
    EXPECT_FALSE(create());
    qunsetenv("ZARN_REGISTRY");

    ASSERT_EQ(run({QStringLiteral("-u"), QStringLiteral("-s"), user.modulePath()}), 0);
    ASSERT_EQ(run({QStringLiteral("--system"), QStringLiteral("-u"), machine.modulePath()}), 0);
    EXPECT_FALSE(create());
    qunsetenv("ZARN_SYSTEM_REGISTRY");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
