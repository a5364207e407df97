#pragma once

#include <zarn/Zarndcbdll.h>

#include <string>
#include <vector>

namespace zarn::com {
struct RegistryEntry;
}

// The one creatable class of the library. It holds nothing of its own: each
// showdcbfrm call is a whole survey session.
class SurveyTableObject final : public IZarndjdcbshow,
                                public ISupportErrorInfo,
                                public IProvideClassInfo {
public:
    SurveyTableObject();
    ~SurveyTableObject();
    SurveyTableObject(const SurveyTableObject &) = delete;
    SurveyTableObject &operator=(const SurveyTableObject &) = delete;

    // A new object queried for iid (the factory's and the type info's CreateInstance).
    static HRESULT create(const IID *iid, void **out);

    HRESULT QueryInterface(const IID *iid, void **out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    HRESULT showdcbfrm(BSTR getdwdm, BSTR getzdh, int8_t lx, OLE_HANDLE winhandle) override;
    HRESULT InterfaceSupportsErrorInfo(const IID *iid) override;
    HRESULT GetClassInfo(ITypeInfo **info) override;

private:
    uint32_t m_refs = 1;
};

// Everything the library registers when loaded from modulePath.
std::vector<zarn::com::RegistryEntry> registrationEntries(const std::string &modulePath);

extern "C" {
__attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID *clsid, const IID *iid,
                                                                 void **out);
__attribute__((visibility("default"))) HRESULT DllCanUnloadNow(void);
__attribute__((visibility("default"))) HRESULT DllRegisterServer(void);
__attribute__((visibility("default"))) HRESULT DllUnregisterServer(void);
__attribute__((visibility("default"))) const char *ZarnVersion(void);
}
