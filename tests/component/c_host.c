/* A host in C that knows only the installed header: loads the component with
 * dlopen, gets its class object, creates the object, queries its interfaces
 * and calls showdcbfrm. The module lies in a folder without config.ini, so
 * the call ends at once without a window. Exit status 0 when all holds. */
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

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s Zarndcbdll.so\n", argv[0]);
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

    /* No config.ini beside the module: the session ends silently. The texts
     * are Chinese on purpose. */
    BSTR dwdm = ZarnAllocStringUtf8("360102001001");
    BSTR zdh = ZarnAllocStringUtf8("\xE5\xAE\x97\xE5\x9C\xB0 00001");
    CHECK(show->lpVtbl->showdcbfrm(show, dwdm, zdh, 0, 0) == S_OK);
    CHECK(show->lpVtbl->showdcbfrm(show, NULL, NULL, -1, 0) == S_OK);
    SysFreeString(dwdm);
    SysFreeString(zdh);

    CHECK(canUnloadNow() == S_FALSE);
    show->lpVtbl->Release(show);
    CHECK(canUnloadNow() == S_OK);
    CHECK(dlclose(module) == 0);

    if (failures)
        fprintf(stderr, "%d check(s) failed\n", failures);
    else
        printf("all checks passed\n");
    return failures ? 1 : 0;
}
