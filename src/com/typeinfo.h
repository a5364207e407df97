#pragma once

#include "com/server.h"

#include <zarn/Zarndcbdll.h>

#include <atomic>
#include <string>

namespace zarn::com {

// What a component class tells about itself through IProvideClassInfo.
struct CoclassInfo {
    GUID clsid;
    std::u16string name;       // the class name
    std::u16string helpString; // its help string
    uint16_t majorVersion = 1;
    uint16_t minorVersion = 0;
    LCID lcid = 0x0409;
    CreateFunction create = nullptr; // backs ITypeInfo::CreateInstance
};

// Type information of one component class: its identifier, name, version and
// flags (GetTypeAttr), its name and help string (GetDocumentation) and the
// flags of its one interface. Members, names and the containing library are
// not described: those calls answer E_NOTIMPL.
class CoclassTypeInfo final : public ITypeInfo {
public:
    // The object starts with one reference; it counts as a live object.
    explicit CoclassTypeInfo(const CoclassInfo &info);
    ~CoclassTypeInfo();

    HRESULT QueryInterface(const IID *iid, void **out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    HRESULT GetTypeAttr(TYPEATTR **attr) override;
    HRESULT GetTypeComp(void **comp) override;
    HRESULT GetFuncDesc(uint32_t index, void **desc) override;
    HRESULT GetVarDesc(uint32_t index, void **desc) override;
    HRESULT GetNames(MEMBERID id, BSTR *names, uint32_t max, uint32_t *count) override;
    HRESULT GetRefTypeOfImplType(uint32_t index, HREFTYPE *ref) override;
    HRESULT GetImplTypeFlags(uint32_t index, int32_t *flags) override;
    HRESULT GetIDsOfNames(OLECHAR **names, uint32_t count, MEMBERID *ids) override;
    HRESULT Invoke(void *instance, MEMBERID id, uint16_t flags, void *params, void *result,
                   void *excepInfo, uint32_t *argErr) override;
    HRESULT GetDocumentation(MEMBERID id, BSTR *name, BSTR *doc, uint32_t *helpContext,
                             BSTR *helpFile) override;
    HRESULT GetDllEntry(MEMBERID id, int32_t invokeKind, BSTR *dll, BSTR *name,
                        uint16_t *ordinal) override;
    HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo **info) override;
    HRESULT AddressOfMember(MEMBERID id, int32_t invokeKind, void **address) override;
    HRESULT CreateInstance(IUnknown *outer, const IID *iid, void **out) override;
    HRESULT GetMops(MEMBERID id, BSTR *mops) override;
    HRESULT GetContainingTypeLib(void **lib, uint32_t *index) override;
    void ReleaseTypeAttr(TYPEATTR *attr) override;
    void ReleaseFuncDesc(void *desc) override;
    void ReleaseVarDesc(void *desc) override;

private:
    std::atomic<uint32_t> m_refs{1};
    CoclassInfo m_info;
};

} // namespace zarn::com
