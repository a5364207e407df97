#include "com/typeinfo.h"

#include "com/bstr.h"

#include <new>

namespace zarn::com {

CoclassTypeInfo::CoclassTypeInfo(const CoclassInfo &info)
    : m_info(info)
{
    objectCreated();
}

CoclassTypeInfo::~CoclassTypeInfo()
{
    objectDestroyed();
}

HRESULT CoclassTypeInfo::QueryInterface(const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    if (*iid == IID_IUnknown || *iid == IID_ITypeInfo) {
        *out = static_cast<ITypeInfo *>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

uint32_t CoclassTypeInfo::AddRef()
{
    return ++m_refs;
}

uint32_t CoclassTypeInfo::Release()
{
    const uint32_t left = --m_refs;
    if (left == 0) delete this;
    return left;
}

HRESULT CoclassTypeInfo::GetTypeAttr(TYPEATTR **attr)
{
    if (!attr) return E_POINTER;
    *attr = new (std::nothrow) TYPEATTR{};
    if (!*attr) return E_OUTOFMEMORY;
    TYPEATTR &a = **attr;
    a.guid = m_info.clsid;
    a.lcid = m_info.lcid;
    a.memidConstructor = MEMBERID_NIL;
    a.memidDestructor = MEMBERID_NIL;
    a.typekind = TKIND_COCLASS;
    a.cImplTypes = 1;
    a.cbSizeVft = 0;
    a.cbAlignment = alignof(void *);
    a.wTypeFlags = TYPEFLAG_FCANCREATE;
    a.wMajorVerNum = m_info.majorVersion;
    a.wMinorVerNum = m_info.minorVersion;
    return S_OK;
}

void CoclassTypeInfo::ReleaseTypeAttr(TYPEATTR *attr)
{
    delete attr;
}

HRESULT CoclassTypeInfo::GetDocumentation(MEMBERID id, BSTR *name, BSTR *doc, uint32_t *helpContext,
                                          BSTR *helpFile)
{
    // Every out pointer is optional: the caller asks only for what it wants.
    if (name) *name = nullptr;
    if (doc) *doc = nullptr;
    if (helpFile) *helpFile = nullptr;
    if (helpContext) *helpContext = 0;
    if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
    if (name && !(*name = allocString(m_info.name))) return E_OUTOFMEMORY;
    if (doc && !(*doc = allocString(m_info.helpString))) {
        if (name) {
            freeString(*name);
            *name = nullptr;
        }
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CoclassTypeInfo::GetImplTypeFlags(uint32_t index, int32_t *flags)
{
    if (!flags) return E_POINTER;
    *flags = 0;
    if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
    *flags = IMPLTYPEFLAG_FDEFAULT;
    return S_OK;
}

HRESULT CoclassTypeInfo::CreateInstance(IUnknown *outer, const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!m_info.create) return E_NOTIMPL;
    return m_info.create(iid, out);
}

// What this type information does not describe.
HRESULT CoclassTypeInfo::GetTypeComp(void **comp)
{
    if (comp) *comp = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetFuncDesc(uint32_t, void **desc)
{
    if (desc) *desc = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetVarDesc(uint32_t, void **desc)
{
    if (desc) *desc = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetNames(MEMBERID, BSTR *, uint32_t, uint32_t *count)
{
    if (count) *count = 0;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetRefTypeOfImplType(uint32_t, HREFTYPE *ref)
{
    if (ref) *ref = 0;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetIDsOfNames(OLECHAR **, uint32_t, MEMBERID *)
{
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::Invoke(void *, MEMBERID, uint16_t, void *, void *, void *, uint32_t *)
{
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetDllEntry(MEMBERID, int32_t, BSTR *dll, BSTR *name, uint16_t *ordinal)
{
    if (dll) *dll = nullptr;
    if (name) *name = nullptr;
    if (ordinal) *ordinal = 0;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetRefTypeInfo(HREFTYPE, ITypeInfo **info)
{
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::AddressOfMember(MEMBERID, int32_t, void **address)
{
    if (address) *address = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetMops(MEMBERID, BSTR *mops)
{
    if (mops) *mops = nullptr;
    return E_NOTIMPL;
}
HRESULT CoclassTypeInfo::GetContainingTypeLib(void **lib, uint32_t *index)
{
    if (lib) *lib = nullptr;
    if (index) *index = 0;
    return E_NOTIMPL;
}
void CoclassTypeInfo::ReleaseFuncDesc(void *) {}
void CoclassTypeInfo::ReleaseVarDesc(void *) {}

} // namespace zarn::com
