#include "component/binary_interface.h"

#include "com/bstr.h"
#include "com/guid.h"
#include "com/registry.h"
#include "com/server.h"
#include "com/typeinfo.h"
#include "component/session.h"
#include "decrypt/module_path.h"

#include <new>

namespace {

const char16_t *const ClassName = u"Zarndjdcbshow";

// Made once, when the library is loaded; handed out for our class only.
zarn::com::ClassFactory s_factory(&SurveyTableObject::create);

zarn::com::CoclassInfo classInfo()
{
    zarn::com::CoclassInfo info;
    info.clsid = CLSID_Zarndjdcbshow;
    info.name = ClassName;
    info.helpString = ClassName;
    info.majorVersion = 1;
    info.minorVersion = 0;
    info.lcid = 0x0409;
    info.create = &SurveyTableObject::create;
    return info;
}

} // namespace

SurveyTableObject::SurveyTableObject()
{
    zarn::com::objectCreated();
}

SurveyTableObject::~SurveyTableObject()
{
    zarn::com::objectDestroyed();
}

HRESULT SurveyTableObject::create(const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    auto *object = new (std::nothrow) SurveyTableObject;
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release(); // the creation reference; a failed query frees the object
    return hr;
}

HRESULT SurveyTableObject::QueryInterface(const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    // IUnknown always answers with the same pointer: hosts compare identities.
    if (*iid == IID_IUnknown || *iid == IID_IZarndjdcbshow)
        *out = static_cast<IZarndjdcbshow *>(this);
    else if (*iid == IID_ISupportErrorInfo)
        *out = static_cast<ISupportErrorInfo *>(this);
    else if (*iid == IID_IProvideClassInfo)
        *out = static_cast<IProvideClassInfo *>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// Apartment-threaded: every call comes on the host's user-interface thread.
uint32_t SurveyTableObject::AddRef()
{
    return ++m_refs;
}

uint32_t SurveyTableObject::Release()
{
    const uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT SurveyTableObject::showdcbfrm(BSTR getdwdm, BSTR getzdh, int8_t lx, OLE_HANDLE winhandle)
{
    // The host keeps a reference for the whole call, but a form could
    // release the host's last one meanwhile; hold our own.
    AddRef();
    // Lets nothing out (noexcept): the session has said what it had to.
    zarn::runSurveySession(zarn::com::stringView(getdwdm), zarn::com::stringView(getzdh), lx,
                           winhandle);
    Release();
    return S_OK;
}

HRESULT SurveyTableObject::InterfaceSupportsErrorInfo(const IID *iid)
{
    return (iid && *iid == IID_IZarndjdcbshow) ? S_OK : S_FALSE;
}

HRESULT SurveyTableObject::GetClassInfo(ITypeInfo **info)
{
    if (!info) return E_POINTER;
    *info = nullptr;
    try {
        *info = new zarn::com::CoclassTypeInfo(classInfo());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

std::vector<zarn::com::RegistryEntry> registrationEntries(const std::string &modulePath)
{
    using zarn::com::guidToString;
    const std::string clsid = guidToString(CLSID_Zarndjdcbshow);
    const std::string libid = guidToString(LIBID_Zarndcbdll);
    const std::string iid = guidToString(IID_IZarndjdcbshow);
    const std::string root = "HKEY_CLASSES_ROOT\\";
    const std::string classKey = root + "CLSID\\" + clsid;
    const std::string progId = ZARN_PROGID;
    const std::string libKey = root + "TypeLib\\" + libid + "\\1.0";
    const std::string ifKey = root + "Interface\\" + iid;
    // The marshaller of OLE-automation interfaces, as for any such interface.
    const std::string automationProxy = "{00020424-0000-0000-C000-000000000046}";
    const std::string platform = sizeof(void *) == 8 ? "linux64" : "linux32";
    return {
        // The type library, whose information the library itself serves.
        {libKey, "", "Zarndcbdll Library"},
        {libKey + "\\0\\" + platform, "", modulePath},
        {libKey + "\\FLAGS", "", "0"},
        {libKey + "\\HELPDIR", "", zarn::folderOf(modulePath)},
        {ifKey, "", "IZarndjdcbshow"},
        {ifKey + "\\ProxyStubClsid", "", automationProxy},
        {ifKey + "\\ProxyStubClsid32", "", automationProxy},
        {ifKey + "\\TypeLib", "", libid},
        {ifKey + "\\TypeLib", "Version", "1.0"},
        // The class.
        {classKey, "", "Zarndjdcbshow"},
        {classKey + "\\InprocServer32", "", modulePath},
        {classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classKey + "\\ProgID", "", progId},
        {classKey + "\\TypeLib", "", libid},
        {classKey + "\\Version", "", "1.0"},
        {root + progId, "", "Zarndjdcbshow"},
        {root + progId + "\\CLSID", "", clsid},
    };
}

extern "C" HRESULT DllGetClassObject(const CLSID *clsid, const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return E_POINTER;
    if (!(*clsid == CLSID_Zarndjdcbshow)) return CLASS_E_CLASSNOTAVAILABLE;
    return s_factory.QueryInterface(iid, out);
}

extern "C" HRESULT DllCanUnloadNow(void)
{
    return zarn::com::canUnloadNow();
}

// The header's version, compiled in: what the module was built as, whatever
// header the host was built with.
extern "C" const char *ZarnVersion(void)
{
    return ZARN_VERSION;
}

extern "C" HRESULT DllRegisterServer(void)
{
    try {
        const std::string self =
            zarn::imagePathContaining(reinterpret_cast<void *>(&DllRegisterServer));
        if (self.empty()) return E_FAIL;
        return zarn::com::registerEntries(zarn::com::RegistryFile::defaultPath(),
                                          registrationEntries(self))
                   ? S_OK
                   : REGDB_E_WRITEREGDB;
    } catch (...) {
        return E_FAIL;
    }
}

extern "C" HRESULT DllUnregisterServer(void)
{
    try {
        const std::string self =
            zarn::imagePathContaining(reinterpret_cast<void *>(&DllUnregisterServer));
        return zarn::com::unregisterEntries(zarn::com::RegistryFile::defaultPath(),
                                            registrationEntries(self))
                   ? S_OK
                   : REGDB_E_WRITEREGDB;
    } catch (...) {
        return E_FAIL;
    }
}
