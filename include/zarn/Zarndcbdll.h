/*
 * Zarndcbdll: what a host compiles against to load the survey component.
 *
 * The component is the shared library Zarndcbdll.so. It follows the classic
 * in-process server model: four exported entry points, a class factory, and
 * interfaces that are tables of functions in declaration order. This header
 * compiles as C (interfaces as structs with an lpVtbl pointer, every function
 * taking the object first) and as C++ (interfaces as classes of pure virtual
 * functions with no virtual destructor); both views have the same layout.
 *
 * The helper library (libzarnhost) adds what the host platform would offer:
 * BSTR allocation and creating an object by ProgID or CLSID through the
 * registration files: $ZARN_REGISTRY alone when set; else the user's
 * ($XDG_CONFIG_HOME/zarn/registry, else ~/.config/zarn/registry), then the
 * machine's ($ZARN_SYSTEM_REGISTRY, else /etc/zarn/registry, where the
 * package registers the component).
 */
#ifndef ZARN_ZARNDCBDLL_H
#define ZARN_ZARNDCBDLL_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- basic types ---------------------------------------------------- */

typedef int32_t HRESULT;

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;

typedef char16_t OLECHAR;
/* UTF-16 text, NUL-terminated, preceded by its length in bytes (uint32_t).
 * A null BSTR is the empty text. */
typedef OLECHAR *BSTR;
/* An X11 window id; 0 means no owner window. */
typedef uint32_t OLE_HANDLE;

typedef int32_t MEMBERID;
typedef uint32_t LCID;
typedef uint16_t VARTYPE;
typedef uint32_t HREFTYPE;

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111u)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154u)
#define REGDB_E_WRITEREGDB ((HRESULT)0x80040151u)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3u)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8u)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9u)
#define TYPE_E_ELEMENTNOTFOUND ((HRESULT)0x8002802Bu)

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define MEMBERID_NIL ((MEMBERID)-1)

/* ---- identifiers ----------------------------------------------------- */

static const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xC0, 0xA5}};
static const IID IID_IProvideClassInfo = {
    0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
static const IID IID_ITypeInfo = {
    0x00020401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const IID IID_IZarndjdcbshow = {
    0x7D479BB9, 0xE89D, 0x45C0, {0x96, 0x37, 0x1A, 0x68, 0xA5, 0xE7, 0x13, 0xCF}};
static const CLSID CLSID_Zarndjdcbshow = {
    0xD2C432D4, 0x1697, 0x4A84, {0x86, 0xD5, 0x0D, 0x3E, 0x76, 0x1F, 0x84, 0x05}};
static const GUID LIBID_Zarndcbdll = {
    0x6E07077D, 0x6B46, 0x49FB, {0xA1, 0x9B, 0x22, 0x82, 0x1C, 0xFD, 0xDB, 0xCB}};

#define ZARN_PROGID "Zarndcbdll.Zarndjdcbshow"

/* ---- type information ------------------------------------------------ */

typedef enum TYPEKIND {
    TKIND_ENUM,
    TKIND_RECORD,
    TKIND_MODULE,
    TKIND_INTERFACE,
    TKIND_DISPATCH,
    TKIND_COCLASS,
    TKIND_ALIAS,
    TKIND_UNION,
    TKIND_MAX
} TYPEKIND;

#define TYPEFLAG_FCANCREATE 0x2
#define IMPLTYPEFLAG_FDEFAULT 0x1

typedef struct TYPEDESC {
    union {
        struct TYPEDESC *lptdesc;
        void *lpadesc;
        HREFTYPE hreftype;
    } u;
    VARTYPE vt;
} TYPEDESC;

typedef struct IDLDESC {
    uintptr_t dwReserved;
    uint16_t wIDLFlags;
} IDLDESC;

typedef struct TYPEATTR {
    GUID guid;
    LCID lcid;
    uint32_t dwReserved;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    OLECHAR *lpstrSchema;
    uint32_t cbSizeInstance;
    TYPEKIND typekind;
    uint16_t cFuncs;
    uint16_t cVars;
    uint16_t cImplTypes;
    uint16_t cbSizeVft;
    uint16_t cbAlignment;
    uint16_t wTypeFlags;
    uint16_t wMajorVerNum;
    uint16_t wMinorVerNum;
    TYPEDESC tdescAlias;
    IDLDESC idldescType;
} TYPEATTR;

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- interfaces ------------------------------------------------------ */

#ifdef __cplusplus

struct IUnknown {
    virtual HRESULT QueryInterface(const IID *iid, void **out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown *outer, const IID *iid, void **out) = 0;
    virtual HRESULT LockServer(int32_t lock) = 0;
};

struct IZarndjdcbshow : IUnknown {
    virtual HRESULT showdcbfrm(BSTR getdwdm, BSTR getzdh, int8_t lx, OLE_HANDLE winhandle) = 0;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT InterfaceSupportsErrorInfo(const IID *iid) = 0;
};

struct ITypeInfo : IUnknown {
    virtual HRESULT GetTypeAttr(TYPEATTR **attr) = 0;
    virtual HRESULT GetTypeComp(void **comp) = 0;
    virtual HRESULT GetFuncDesc(uint32_t index, void **desc) = 0;
    virtual HRESULT GetVarDesc(uint32_t index, void **desc) = 0;
    virtual HRESULT GetNames(MEMBERID id, BSTR *names, uint32_t max, uint32_t *count) = 0;
    virtual HRESULT GetRefTypeOfImplType(uint32_t index, HREFTYPE *ref) = 0;
    virtual HRESULT GetImplTypeFlags(uint32_t index, int32_t *flags) = 0;
    virtual HRESULT GetIDsOfNames(OLECHAR **names, uint32_t count, MEMBERID *ids) = 0;
    virtual HRESULT Invoke(void *instance, MEMBERID id, uint16_t flags, void *params, void *result,
                           void *excepInfo, uint32_t *argErr) = 0;
    virtual HRESULT GetDocumentation(MEMBERID id, BSTR *name, BSTR *doc, uint32_t *helpContext,
                                     BSTR *helpFile) = 0;
    virtual HRESULT GetDllEntry(MEMBERID id, int32_t invokeKind, BSTR *dll, BSTR *name,
                                uint16_t *ordinal) = 0;
    virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo **info) = 0;
    virtual HRESULT AddressOfMember(MEMBERID id, int32_t invokeKind, void **address) = 0;
    virtual HRESULT CreateInstance(IUnknown *outer, const IID *iid, void **out) = 0;
    virtual HRESULT GetMops(MEMBERID id, BSTR *mops) = 0;
    virtual HRESULT GetContainingTypeLib(void **lib, uint32_t *index) = 0;
    virtual void ReleaseTypeAttr(TYPEATTR *attr) = 0;
    virtual void ReleaseFuncDesc(void *desc) = 0;
    virtual void ReleaseVarDesc(void *desc) = 0;
};

struct IProvideClassInfo : IUnknown {
    virtual HRESULT GetClassInfo(ITypeInfo **info) = 0;
};

#else /* C */

typedef struct IUnknown IUnknown;
typedef struct IClassFactory IClassFactory;
typedef struct IZarndjdcbshow IZarndjdcbshow;
typedef struct ISupportErrorInfo ISupportErrorInfo;
typedef struct ITypeInfo ITypeInfo;
typedef struct IProvideClassInfo IProvideClassInfo;

typedef struct IUnknownVtbl {
    HRESULT (*QueryInterface)(IUnknown *self, const IID *iid, void **out);
    uint32_t (*AddRef)(IUnknown *self);
    uint32_t (*Release)(IUnknown *self);
} IUnknownVtbl;
struct IUnknown {
    const IUnknownVtbl *lpVtbl;
};

typedef struct IClassFactoryVtbl {
    HRESULT (*QueryInterface)(IClassFactory *self, const IID *iid, void **out);
    uint32_t (*AddRef)(IClassFactory *self);
    uint32_t (*Release)(IClassFactory *self);
    HRESULT (*CreateInstance)(IClassFactory *self, IUnknown *outer, const IID *iid, void **out);
    HRESULT (*LockServer)(IClassFactory *self, int32_t lock);
} IClassFactoryVtbl;
struct IClassFactory {
    const IClassFactoryVtbl *lpVtbl;
};

typedef struct IZarndjdcbshowVtbl {
    HRESULT (*QueryInterface)(IZarndjdcbshow *self, const IID *iid, void **out);
    uint32_t (*AddRef)(IZarndjdcbshow *self);
    uint32_t (*Release)(IZarndjdcbshow *self);
    HRESULT(*showdcbfrm)
    (IZarndjdcbshow *self, BSTR getdwdm, BSTR getzdh, int8_t lx, OLE_HANDLE winhandle);
} IZarndjdcbshowVtbl;
struct IZarndjdcbshow {
    const IZarndjdcbshowVtbl *lpVtbl;
};

typedef struct ISupportErrorInfoVtbl {
    HRESULT (*QueryInterface)(ISupportErrorInfo *self, const IID *iid, void **out);
    uint32_t (*AddRef)(ISupportErrorInfo *self);
    uint32_t (*Release)(ISupportErrorInfo *self);
    HRESULT (*InterfaceSupportsErrorInfo)(ISupportErrorInfo *self, const IID *iid);
} ISupportErrorInfoVtbl;
struct ISupportErrorInfo {
    const ISupportErrorInfoVtbl *lpVtbl;
};

typedef struct ITypeInfoVtbl {
    HRESULT (*QueryInterface)(ITypeInfo *self, const IID *iid, void **out);
    uint32_t (*AddRef)(ITypeInfo *self);
    uint32_t (*Release)(ITypeInfo *self);
    HRESULT (*GetTypeAttr)(ITypeInfo *self, TYPEATTR **attr);
    HRESULT (*GetTypeComp)(ITypeInfo *self, void **comp);
    HRESULT (*GetFuncDesc)(ITypeInfo *self, uint32_t index, void **desc);
    HRESULT (*GetVarDesc)(ITypeInfo *self, uint32_t index, void **desc);
    HRESULT (*GetNames)(ITypeInfo *self, MEMBERID id, BSTR *names, uint32_t max, uint32_t *count);
    HRESULT (*GetRefTypeOfImplType)(ITypeInfo *self, uint32_t index, HREFTYPE *ref);
    HRESULT (*GetImplTypeFlags)(ITypeInfo *self, uint32_t index, int32_t *flags);
    HRESULT (*GetIDsOfNames)(ITypeInfo *self, OLECHAR **names, uint32_t count, MEMBERID *ids);
    HRESULT(*Invoke)
    (ITypeInfo *self, void *instance, MEMBERID id, uint16_t flags, void *params, void *result,
     void *excepInfo, uint32_t *argErr);
    HRESULT(*GetDocumentation)
    (ITypeInfo *self, MEMBERID id, BSTR *name, BSTR *doc, uint32_t *helpContext, BSTR *helpFile);
    HRESULT(*GetDllEntry)
    (ITypeInfo *self, MEMBERID id, int32_t invokeKind, BSTR *dll, BSTR *name, uint16_t *ordinal);
    HRESULT (*GetRefTypeInfo)(ITypeInfo *self, HREFTYPE ref, ITypeInfo **info);
    HRESULT (*AddressOfMember)(ITypeInfo *self, MEMBERID id, int32_t invokeKind, void **address);
    HRESULT (*CreateInstance)(ITypeInfo *self, IUnknown *outer, const IID *iid, void **out);
    HRESULT (*GetMops)(ITypeInfo *self, MEMBERID id, BSTR *mops);
    HRESULT (*GetContainingTypeLib)(ITypeInfo *self, void **lib, uint32_t *index);
    void (*ReleaseTypeAttr)(ITypeInfo *self, TYPEATTR *attr);
    void (*ReleaseFuncDesc)(ITypeInfo *self, void *desc);
    void (*ReleaseVarDesc)(ITypeInfo *self, void *desc);
} ITypeInfoVtbl;
struct ITypeInfo {
    const ITypeInfoVtbl *lpVtbl;
};

typedef struct IProvideClassInfoVtbl {
    HRESULT (*QueryInterface)(IProvideClassInfo *self, const IID *iid, void **out);
    uint32_t (*AddRef)(IProvideClassInfo *self);
    uint32_t (*Release)(IProvideClassInfo *self);
    HRESULT (*GetClassInfo)(IProvideClassInfo *self, ITypeInfo **info);
} IProvideClassInfoVtbl;
struct IProvideClassInfo {
    const IProvideClassInfoVtbl *lpVtbl;
};

#endif /* C */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- exports of Zarndcbdll.so (look them up with dlsym) -------------- */

typedef HRESULT (*ZarnDllGetClassObjectFn)(const CLSID *clsid, const IID *iid, void **out);
typedef HRESULT (*ZarnDllCanUnloadNowFn)(void);
typedef HRESULT (*ZarnDllRegisterServerFn)(void);
typedef HRESULT (*ZarnDllUnregisterServerFn)(void);

/* ---- libzarnhost: strings ---------------------------------------------- */

/* A new BSTR holding a copy of text up to its NUL (null text gives null). */
BSTR SysAllocString(const OLECHAR *text);
/* A new BSTR of len UTF-16 units copied from text (zero-filled when text is null). */
BSTR SysAllocStringLen(const OLECHAR *text, uint32_t len);
/* A new BSTR from UTF-8 text (invalid sequences become U+FFFD). */
BSTR ZarnAllocStringUtf8(const char *text);
void SysFreeString(BSTR text);
/* Length in UTF-16 units; 0 for null. */
uint32_t SysStringLen(BSTR text);
uint32_t SysStringByteLen(BSTR text);

/* ---- libzarnhost: creating objects ------------------------------------- */

/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" -> GUID; CO_E_CLASSSTRING if malformed. */
HRESULT ZarnGUIDFromString(const char *text, GUID *out);
/* Writes the braced upper-case form (39 bytes with the NUL) into buf. */
void ZarnStringFromGUID(const GUID *guid, char buf[39]);
/* Looks the ProgID up in the registration files. */
HRESULT ZarnCLSIDFromProgID(const char *progid, CLSID *out);
/* Loads the registered in-process server of the class (once per process)
 * and asks it for its class object. */
HRESULT ZarnCoGetClassObject(const CLSID *clsid, const IID *iid, void **out);
/* Class object, then CreateInstance. */
HRESULT ZarnCoCreateInstance(const CLSID *clsid, IUnknown *outer, const IID *iid, void **out);
/* ZarnCLSIDFromProgID, then ZarnCoCreateInstance. */
HRESULT ZarnCreateInstanceFromProgID(const char *progid, const IID *iid, void **out);
/* Unloads every server loaded here whose DllCanUnloadNow answers S_OK. */
void ZarnCoFreeUnusedLibraries(void);
/* The text of the last failure of this thread's calls above (empty when none). */
const char *ZarnLastError(void);

#ifdef __cplusplus
} /* extern "C" */

inline bool operator==(const GUID &a, const GUID &b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
#endif

#endif /* ZARN_ZARNDCBDLL_H */
