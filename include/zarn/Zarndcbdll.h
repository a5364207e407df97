/*
 * Zarndcbdll: what a host compiles against to load the survey component.
 *
 * The component is the shared library Zarndcbdll.so (the package installs it
 * as /usr/lib/<arch>/zarn/Zarndcbdll.so and registers it for every user). It
 * follows the classic in-process server model: four exported entry points
 * (and ZarnVersion beside them), a class factory, and interfaces that are
 * tables of functions in declaration order. This header compiles as C
 * (interfaces as structs with an lpVtbl pointer, every function taking the
 * object first) and as C++ (interfaces as classes of pure virtual functions
 * with no virtual destructor); both views have the same layout.
 * Zarndcbdll.idl beside this header describes the same interface and class
 * for tools that read IDL.
 *
 * The helper library libzarnhost (pkg-config zarnhost, or CMake
 * find_package(Zarndcbdll) and Zarndcbdll::zarnhost) adds what the host
 * platform would offer: BSTR allocation and creating an object by ProgID or
 * CLSID through the registration files: $ZARN_REGISTRY alone when set; else
 * the user's ($XDG_CONFIG_HOME/zarn/registry, else ~/.config/zarn/registry),
 * then the machine's ($ZARN_SYSTEM_REGISTRY, else /etc/zarn/registry, where
 * the package registers the component).
 *
 * A whole host, in C:
 *
 *     IZarndjdcbshow *show = NULL;
 *     HRESULT hr = ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow,
 *                                               (void **)&show);
 *     if (FAILED(hr)) { fprintf(stderr, "%s\n", ZarnLastError()); return 1; }
 *     BSTR unit = ZarnAllocStringUtf8("320102001001");
 *     BSTR parcel = ZarnAllocStringUtf8("0010010001");
 *     show->lpVtbl->showdcbfrm(show, unit, parcel, 0, host_window_or_0);
 *     SysFreeString(unit);
 *     SysFreeString(parcel);
 *     show->lpVtbl->Release(show);
 *
 * Ownership, everywhere in this header: apart from Release, SysFreeString and
 * the ITypeInfo Release* methods, a function neither frees nor keeps what it
 * is given (strings, GUIDs, interface pointers); what it hands out through an
 * out pointer belongs to the caller, who releases an interface pointer with
 * Release, a BSTR with SysFreeString and a TYPEATTR with ReleaseTypeAttr. On
 * failure an interface out pointer is set to null (unless it is null itself).
 *
 * Threads: the component's class is apartment-threaded: create its objects
 * and call them on the thread that runs the host's user interface. The
 * functions of libzarnhost may be called from any thread.
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

/* ---- version ---------------------------------------------------------- */

/* The version of the component this header describes. ZARN_VERSION is the
 * text "MAJOR.MINOR.PATCH"; compare the numbers, not the text. A host learns
 * which component it actually loaded from the module's ZarnVersion export
 * (below), which answers the same text as the header the module was built
 * with. Within one MAJOR, the interfaces and exports only grow. */
#define ZARN_VERSION_MAJOR 1
#define ZARN_VERSION_MINOR 0
#define ZARN_VERSION_PATCH 0
#define ZARN_VERSION "1.0.0"

/* ---- basic types ---------------------------------------------------- */

/* The result of most calls: S_OK (0) or another value >= 0 for success,
 * a negative value (one of the codes below) for failure. */
typedef int32_t HRESULT;

/* A 128-bit identifier of an interface (IID), a class (CLSID) or a type
 * library; compare with memcmp or, in C++, ==. */
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
 * A null BSTR is the empty text. Make one with SysAllocString,
 * SysAllocStringLen or ZarnAllocStringUtf8 and free it with SysFreeString. */
typedef OLECHAR *BSTR;
/* An X11 window id; 0 means no owner window. */
typedef uint32_t OLE_HANDLE;

/* Used only by the type information (ITypeInfo, TYPEATTR). */
typedef int32_t MEMBERID;
typedef uint32_t LCID;
typedef uint16_t VARTYPE;
typedef uint32_t HREFTYPE;

/* The codes this component and libzarnhost return; each function below
 * names those it can return. */
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

/* Success or failure of an HRESULT, whatever its code. */
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* "No member": the type itself, in ITypeInfo::GetDocumentation. */
#define MEMBERID_NIL ((MEMBERID)-1)

/* ---- identifiers ----------------------------------------------------- */

/* The interfaces an object of the component answers QueryInterface for
 * (IUnknown, IZarndjdcbshow, ISupportErrorInfo, IProvideClassInfo), those of
 * its class object (IUnknown, IClassFactory) and of its type information
 * (IUnknown, ITypeInfo); the component's class and its type library. Being
 * static, each C file that includes this header has its own copy. */

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

/* The class's programmatic identifier, as registered: what a host hands to
 * ZarnCreateInstanceFromProgID. Matched without regard to case. */
#define ZARN_PROGID "Zarndcbdll.Zarndjdcbshow"

/* ---- type information ------------------------------------------------ */

/* What ITypeInfo::GetTypeAttr describes. The component's class answers with
 * typekind TKIND_COCLASS, guid CLSID_Zarndjdcbshow, lcid 0x0409, version 1.0,
 * cImplTypes 1, wTypeFlags TYPEFLAG_FCANCREATE, memidConstructor and
 * memidDestructor MEMBERID_NIL, cbAlignment the size of a pointer; every
 * other field is 0 or null. */

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

/*
 * IUnknown, the base of every interface here.
 *   QueryInterface(iid, out): another interface of the same object into *out,
 *     with a reference the caller releases. S_OK; E_NOINTERFACE (*out null)
 *     for an interface the object lacks; E_POINTER when iid or out is null.
 *     Asked for IUnknown, an object always gives the same pointer.
 *   AddRef(): one reference more; Release(): one fewer, and the object is
 *     freed at the last. Both return the count left (for diagnostics only).
 *   The class object is static: its AddRef and Release count nothing.
 *
 * IClassFactory, the class object that DllGetClassObject and
 * ZarnCoGetClassObject hand out.
 *   CreateInstance(outer, iid, out): a new object of the class, every call,
 *     queried for iid. outer must be null (CLASS_E_NOAGGREGATION otherwise);
 *     E_NOINTERFACE, E_OUTOFMEMORY, E_POINTER as their names say.
 *   LockServer(lock): nonzero keeps the library loaded without an object
 *     (ZarnCoFreeUnusedLibraries leaves it), zero takes one such lock back.
 *     Always S_OK.
 *
 * IZarndjdcbshow, the component's own interface.
 *   showdcbfrm(getdwdm, getzdh, lx, winhandle): one survey session. It reads
 *   the enciphered connection string from config.ini in the folder of
 *   Zarndcbdll.so (the package links it to /etc/zarn/config), connects, shows
 *   the survey form of kind lx modally and returns when the user closes it.
 *     getdwdm    the unit code of the parcels to show (12 characters); the
 *                form lists the survey tables whose unit code begins with it.
 *                A shorter code (a street, a district) lists every sub-unit's
 *                rows: the form shows once it has their count and first page,
 *                and reads the rest while the surveyor works.
 *     getzdh     the parcel number the form shows first.
 *                Both are read up to their first NUL, during the call only: a
 *                BSTR from SysAllocString is the usual, any NUL-terminated
 *                UTF-16 text serves, a null pointer is the empty text. The
 *                caller keeps ownership and frees them after the call.
 *     lx         0: the land use-right survey table (使用权地籍调查表);
 *                1: the land ownership survey table (所有权地籍调查表).
 *                Any other value shows no form: the call still connects (and
 *                still shows the connection message when that fails), then
 *                returns S_OK without a word.
 *     winhandle  the X11 id of the host's top-level window, which then owns
 *                every window of the session (they stay above it); 0: no
 *                owner. A Qt host on another platform may give the winId() of
 *                one of its own windows.
 *   Result: S_OK on every path. The host learns nothing of the outcome:
 *     what the surveyor must know (the connection cannot be made, no unit
 *     code came) is shown on screen; what an administrator must know (no
 *     config.ini, a key that does not decipher it, no display) is one line on
 *     standard error beginning "Zarndcbdll:", with no form shown.
 *   Blocking: the call returns only when the form is closed; meanwhile it
 *     runs the Qt event loop of the calling thread, and the form is
 *     application-modal, so the windows of a Qt host take no input. Connecting
 *     happens inside the call and waits as long as the database does.
 *   Threads: call it on the thread that runs the host's user interface. A Qt
 *     host calling from another thread, or a host whose Qt application has
 *     no widgets (QCoreApplication), gets S_OK at once and a warning line.
 *     A host without Qt: the component makes a Qt application for the length
 *     of the call on the calling thread, which needs a display (DISPLAY, or
 *     QT_QPA_PLATFORM=offscreen); without one the call returns S_OK at once
 *     with a warning line.
 *   One at a time: a call made while a session runs (from a timer or an
 *     event of the host during the modal run) returns S_OK at once without a
 *     word, and the running session goes on. Calls from two threads at once
 *     are not supported.
 *
 * ISupportErrorInfo
 *   InterfaceSupportsErrorInfo(iid): S_OK for IID_IZarndjdcbshow, S_FALSE
 *     for any other. No call of the component sets error information.
 *
 * IProvideClassInfo
 *   GetClassInfo(info): the type information of the class into *info (an
 *     ITypeInfo the caller releases). S_OK; E_POINTER, E_OUTOFMEMORY.
 *
 * ITypeInfo, of the component's class: it describes the class, not its
 * interface's functions.
 *   GetTypeAttr(attr): a TYPEATTR into *attr, freed with ReleaseTypeAttr.
 *   GetDocumentation(MEMBERID_NIL, name, doc, helpContext, helpFile): the
 *     class name "Zarndjdcbshow" into *name and the same as its help string
 *     into *doc (BSTRs the caller frees), 0 and null for the others; every
 *     out pointer may be null. TYPE_E_ELEMENTNOTFOUND for any other id.
 *   GetImplTypeFlags(0, flags): IMPLTYPEFLAG_FDEFAULT (the one interface is
 *     the default); TYPE_E_ELEMENTNOTFOUND for any other index.
 *   CreateInstance(outer, iid, out): as IClassFactory::CreateInstance.
 *   ReleaseTypeAttr frees what GetTypeAttr gave; ReleaseFuncDesc and
 *     ReleaseVarDesc do nothing.
 *   Every other method returns E_NOTIMPL.
 */

#ifdef __cplusplus

/* The destructors are protected and not virtual: an object is freed by its
 * last Release, never with delete through an interface pointer, and a
 * virtual destructor would add a slot to every table of functions. */

struct IUnknown {
    virtual HRESULT QueryInterface(const IID *iid, void **out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown *outer, const IID *iid, void **out) = 0;
    virtual HRESULT LockServer(int32_t lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct IZarndjdcbshow : IUnknown {
    virtual HRESULT showdcbfrm(BSTR getdwdm, BSTR getzdh, int8_t lx, OLE_HANDLE winhandle) = 0;

protected:
    ~IZarndjdcbshow() = default;
};

struct ISupportErrorInfo : IUnknown {
    virtual HRESULT InterfaceSupportsErrorInfo(const IID *iid) = 0;

protected:
    ~ISupportErrorInfo() = default;
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

protected:
    ~ITypeInfo() = default;
};

struct IProvideClassInfo : IUnknown {
    virtual HRESULT GetClassInfo(ITypeInfo **info) = 0;

protected:
    ~IProvideClassInfo() = default;
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

/* A host that loads the module itself (dlopen) rather than through
 * libzarnhost finds these by name. The module needs libZarnDecryptString.so
 * beside it, where the package puts it.
 *   DllGetClassObject(clsid, iid, out): the class object for
 *     CLSID_Zarndjdcbshow, queried for iid (IID_IClassFactory or
 *     IID_IUnknown). CLASS_E_CLASSNOTAVAILABLE for any other class;
 *     E_NOINTERFACE, E_POINTER.
 *   DllCanUnloadNow(): S_OK when no object of the module (objects, type
 *     information) is alive and no LockServer lock is held, else S_FALSE.
 *     The module is linked to stay mapped once loaded, even after dlclose.
 *   DllRegisterServer(): registers the class, its ProgID, its interface and
 *     type library, with the module's own path, in the user's registration
 *     file ($ZARN_REGISTRY when set). S_OK; REGDB_E_WRITEREGDB when the file
 *     cannot be written; E_FAIL when the module cannot tell its own path.
 *     Entries of other components in the file are kept as they are.
 *   DllUnregisterServer(): removes exactly what DllRegisterServer wrote;
 *     S_OK also when nothing was registered; REGDB_E_WRITEREGDB, E_FAIL.
 *   zarn-regsvr does both from the command line, also for the machine.
 *   ZarnVersion(): the module's version, "MAJOR.MINOR.PATCH" as in
 *     ZARN_VERSION, a constant text that stays valid while the module is
 *     loaded (that is, for the rest of the process). A module without this
 *     export (dlsym gives null) is older than any version this header
 *     names. A host that created the object through libzarnhost finds the
 *     module by the object's table of functions, which lies in it (in C++,
 *     *(const void *const *)show):
 *
 *         Dl_info where;   (with _GNU_SOURCE defined, <dlfcn.h>)
 *         if (dladdr(show->lpVtbl, &where)) {
 *             void *module = dlopen(where.dli_fname, RTLD_NOW | RTLD_NOLOAD);
 *             ZarnVersionFn version = NULL;
 *             if (module) *(void **)&version = dlsym(module, "ZarnVersion");
 *             if (version) printf("component %s\n", version());
 *             if (module) dlclose(module);
 *         }
 */

typedef HRESULT (*ZarnDllGetClassObjectFn)(const CLSID *clsid, const IID *iid, void **out);
typedef HRESULT (*ZarnDllCanUnloadNowFn)(void);
typedef HRESULT (*ZarnDllRegisterServerFn)(void);
typedef HRESULT (*ZarnDllUnregisterServerFn)(void);
typedef const char *(*ZarnVersionFn)(void);

/* ---- libzarnhost: strings ---------------------------------------------- */

/* Every function of libzarnhost below sets ZarnLastError when it fails and
 * clears it when it succeeds. The BSTR functions return null on failure (no
 * memory, or a length past what a BSTR holds). */

/* A new BSTR holding a copy of text up to its NUL; null text gives null (not
 * a failure). Free it with SysFreeString. */
BSTR SysAllocString(const OLECHAR *text);
/* A new BSTR of len UTF-16 units copied from text (which may hold NULs), or
 * len units of zero when text is null. Free it with SysFreeString. */
BSTR SysAllocStringLen(const OLECHAR *text, uint32_t len);
/* A new BSTR from NUL-terminated UTF-8 text (invalid sequences become
 * U+FFFD); null text gives null (not a failure). Free it with SysFreeString. */
BSTR ZarnAllocStringUtf8(const char *text);
/* Frees a BSTR made by the functions above or handed out by the component
 * (ITypeInfo::GetDocumentation); null does nothing. */
void SysFreeString(BSTR text);
/* Length in UTF-16 units, from the length prefix; 0 for null. */
uint32_t SysStringLen(BSTR text);
/* Length in bytes (twice SysStringLen); 0 for null. */
uint32_t SysStringByteLen(BSTR text);

/* ---- libzarnhost: creating objects ------------------------------------- */

/* Every pointer argument below must be non-null unless it says otherwise; a
 * null one is refused with E_POINTER (for a function without a result: the
 * call does nothing) and ZarnLastError names the function and the argument.
 * A registration file that cannot be read, or that is damaged where the
 * class should be, fails the lookup with the file's path (and the line of
 * the damage) in ZarnLastError. */

/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case) into
 * *out. S_OK; CO_E_CLASSSTRING when text is not of that form; E_POINTER. */
HRESULT ZarnGUIDFromString(const char *text, GUID *out);
/* Writes the braced upper-case form of *guid, 39 bytes with the NUL, into
 * buf, which must hold 39 bytes. A null guid writes the empty text. */
void ZarnStringFromGUID(const GUID *guid, char buf[39]);
/* The class identifier registered for the ProgID (matched without regard to
 * case) into *out. S_OK; CO_E_CLASSSTRING when the ProgID is not registered
 * or its class identifier is malformed; REGDB_E_CLASSNOTREG when a
 * registration file cannot be read; E_POINTER; E_OUTOFMEMORY. */
HRESULT ZarnCLSIDFromProgID(const char *progid, CLSID *out);
/* Loads the in-process server registered for the class (once per process,
 * kept until ZarnCoFreeUnusedLibraries) and asks it for its class object,
 * queried for iid, into *out (release it). S_OK; REGDB_E_CLASSNOTREG when the
 * class is not registered or a registration file cannot be read;
 * CO_E_DLLNOTFOUND when the registered file does not load (ZarnLastError
 * has the loader's reason); CO_E_ERRORINDLL when it is no in-process server;
 * the server's own failure (CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE);
 * E_POINTER; E_OUTOFMEMORY. */
HRESULT ZarnCoGetClassObject(const CLSID *clsid, const IID *iid, void **out);
/* A new object of the class, queried for iid, into *out (release it):
 * ZarnCoGetClassObject, then IClassFactory::CreateInstance. outer must be
 * null for this component. The codes of both. */
HRESULT ZarnCoCreateInstance(const CLSID *clsid, IUnknown *outer, const IID *iid, void **out);
/* ZarnCLSIDFromProgID, then ZarnCoCreateInstance: what a host usually calls,
 * with ZARN_PROGID and IID_IZarndjdcbshow. The codes of both. */
HRESULT ZarnCreateInstanceFromProgID(const char *progid, const IID *iid, void **out);
/* Unloads every server loaded here whose DllCanUnloadNow answers S_OK; call
 * it after releasing the objects, if at all. */
void ZarnCoFreeUnusedLibraries(void);
/* What went wrong in this thread's last call of the functions above, in
 * English for the host's log, or the empty text when that call succeeded.
 * Never null. The text belongs to the library and stays valid until this
 * thread's next call of libzarnhost: copy it to keep it. Calls of the
 * component's objects (showdcbfrm, QueryInterface, ...) neither set nor clear
 * it. */
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
