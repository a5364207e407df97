/* A host in C that knows only the installed header.
 *
 *   c_host MODULE    loads the component with dlopen, gets its class object,
 *                    creates the object, queries its interfaces and calls
 *                    showdcbfrm. The module lies in a folder without
 *                    config.ini, so the call ends at once without a window.
 *   c_host --registered [DWDM ZDH]
 *                    creates the object by ProgID through the registration
 *                    files, as an application does, with the same checks;
 *                    with DWDM and ZDH it opens that use-right form and
 *                    returns when it is closed.
 *
 * Exit status 0 when all holds. */
/* dladdr, to find the module an object came from. */
#define _GNU_SOURCE
#include <zarn/Zarndcbdll.h>

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond);                     \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

/* The module the object came from, found as the header shows a host that
 * made it through libzarnhost, is of the header's version. */
static void check_version_of_module(IZarndjdcbshow *show)
{
    Dl_info where;
    CHECK(dladdr(show->lpVtbl, &where) != 0);
    void *module = dlopen(where.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    CHECK(module != NULL);
    if (!module) return;
    ZarnVersionFn version = NULL;
    *(void **)&version = dlsym(module, "ZarnVersion");
    CHECK(version != NULL);
    if (version) {
        char expected[32];
        snprintf(expected, sizeof expected, "%d.%d.%d", ZARN_VERSION_MAJOR, ZARN_VERSION_MINOR,
                 ZARN_VERSION_PATCH);
        CHECK(strcmp(version(), ZARN_VERSION) == 0);
        CHECK(strcmp(version(), expected) == 0);
    }
    dlclose(module);
}

/* What any host may rely on of the object, however it was made. */
static void check_object(IZarndjdcbshow *show)
{
    check_version_of_module(show);

    void *none = NULL;
    IUnknown *unknown = NULL;
    ISupportErrorInfo *errorInfo = NULL;
    IProvideClassInfo *classInfo = NULL;
    IZarndjdcbshow *again = NULL;
    CHECK(show->lpVtbl->QueryInterface(show, &IID_IUnknown, (void **)&unknown) == S_OK);
    CHECK(show->lpVtbl->QueryInterface(show, &IID_ISupportErrorInfo, (void **)&errorInfo) == S_OK);
    CHECK(show->lpVtbl->QueryInterface(show, &IID_IProvideClassInfo, (void **)&classInfo) == S_OK);
    CHECK(show->lpVtbl->QueryInterface(show, &IID_IZarndjdcbshow, (void **)&again) == S_OK);
    CHECK(again == show);
    CHECK(show->lpVtbl->QueryInterface(show, &IID_IDispatch, &none) == E_NOINTERFACE);
    CHECK(none == NULL);
    if (errorInfo)
        CHECK(errorInfo->lpVtbl->InterfaceSupportsErrorInfo(errorInfo, &IID_IZarndjdcbshow) ==
              S_OK);
    if (classInfo) {
        ITypeInfo *info = NULL;
        CHECK(classInfo->lpVtbl->GetClassInfo(classInfo, &info) == S_OK);
        if (info) {
            TYPEATTR *attr = NULL;
            CHECK(info->lpVtbl->GetTypeAttr(info, &attr) == S_OK);
            if (attr) {
                CHECK(memcmp(&attr->guid, &CLSID_Zarndjdcbshow, sizeof(GUID)) == 0);
                info->lpVtbl->ReleaseTypeAttr(info, attr);
            }
            BSTR name = NULL;
            CHECK(info->lpVtbl->GetDocumentation(info, MEMBERID_NIL, &name, NULL, NULL, NULL) ==
                  S_OK);
            BSTR expected = ZarnAllocStringUtf8("Zarndjdcbshow");
            CHECK(name && SysStringLen(name) == SysStringLen(expected) &&
                  memcmp(name, expected, SysStringByteLen(name)) == 0);
            SysFreeString(expected);
            SysFreeString(name);
            info->lpVtbl->Release(info);
        }
    }
    if (unknown) unknown->lpVtbl->Release(unknown);
    if (errorInfo) errorInfo->lpVtbl->Release(errorInfo);
    if (classInfo) classInfo->lpVtbl->Release(classInfo);
    if (again) again->lpVtbl->Release(again);
}

/* Two calls that end at once when no config.ini lies beside the module. The
 * texts are Chinese on purpose. */
static void call_without_config(IZarndjdcbshow *show)
{
    BSTR dwdm = ZarnAllocStringUtf8("360102001001");
    BSTR zdh = ZarnAllocStringUtf8("\xE5\xAE\x97\xE5\x9C\xB0 00001");
    CHECK(show->lpVtbl->showdcbfrm(show, dwdm, zdh, 0, 0) == S_OK);
    CHECK(show->lpVtbl->showdcbfrm(show, NULL, NULL, -1, 0) == S_OK);
    SysFreeString(dwdm);
    SysFreeString(zdh);
}

static int report(void)
{
    if (failures)
        fprintf(stderr, "%d check(s) failed\n", failures);
    else
        printf("all checks passed\n");
    return failures ? 1 : 0;
}

static int registered(int argc, char **argv)
{
    IZarndjdcbshow *show = NULL;
    const HRESULT hr =
        ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, (void **)&show);
    if (hr != S_OK || !show) {
        fprintf(stderr, "ZarnCreateInstanceFromProgID: 0x%08X %s\n", (unsigned)hr, ZarnLastError());
        return 1;
    }
    check_object(show);
    if (argc == 4) {
        BSTR dwdm = ZarnAllocStringUtf8(argv[2]);
        BSTR zdh = ZarnAllocStringUtf8(argv[3]);
        CHECK(show->lpVtbl->showdcbfrm(show, dwdm, zdh, 0, 0) == S_OK);
        SysFreeString(dwdm);
        SysFreeString(zdh);
    } else {
        call_without_config(show);
    }
    show->lpVtbl->Release(show);
    ZarnCoFreeUnusedLibraries();
    return report();
}

int main(int argc, char **argv)
{
    if (argc >= 2 && strcmp(argv[1], "--registered") == 0 && (argc == 2 || argc == 4))
        return registered(argc, argv);
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: %s Zarndcbdll.so | --registered [DWDM ZDH]\n", argv[0]);
        return 2;
    }
    void *module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    ZarnDllGetClassObjectFn getClassObject;
    ZarnDllCanUnloadNowFn canUnloadNow;
    *(void **)&getClassObject = dlsym(module, "DllGetClassObject");
    *(void **)&canUnloadNow = dlsym(module, "DllCanUnloadNow");
    CHECK(getClassObject && canUnloadNow);
    CHECK(dlsym(module, "DllRegisterServer") && dlsym(module, "DllUnregisterServer"));
    if (!getClassObject || !canUnloadNow) return 1;

    IClassFactory *factory = NULL;
    CHECK(getClassObject(&CLSID_Zarndjdcbshow, &IID_IClassFactory, (void **)&factory) == S_OK);
    if (!factory) return 1;
    void *none = NULL;
    CHECK(getClassObject(&IID_IZarndjdcbshow, &IID_IClassFactory, &none) ==
          CLASS_E_CLASSNOTAVAILABLE);

    IZarndjdcbshow *show = NULL;
    CHECK(factory->lpVtbl->CreateInstance(factory, (IUnknown *)factory, &IID_IZarndjdcbshow,
                                          (void **)&show) == CLASS_E_NOAGGREGATION);
    CHECK(factory->lpVtbl->CreateInstance(factory, NULL, &IID_IZarndjdcbshow, (void **)&show) ==
          S_OK);
    factory->lpVtbl->Release(factory);
    if (!show) return 1;

    check_object(show);
    call_without_config(show);

    CHECK(canUnloadNow() == S_FALSE);
    show->lpVtbl->Release(show);
    CHECK(canUnloadNow() == S_OK);
    CHECK(dlclose(module) == 0);
    return report();
}
