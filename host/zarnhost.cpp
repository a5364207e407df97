// libzarnhost: what the host platform would provide around the component:
// BSTRs, and creating an object through the registration file.
#include "com/bstr.h"
#include "com/guid.h"
#include "com/registry.h"

#include <zarn/Zarndcbdll.h>

#include <cstring>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <exception>
#include <new>
#include <string>
#include <vector>

#define ZARN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Every call of the library but ZarnLastError itself sets it or clears it,
// so what it says always belongs to the call just made.
thread_local std::string t_lastError;

HRESULT fail(HRESULT hr, std::string text)
{
    t_lastError = std::move(text);
    return hr;
}

HRESULT succeed(HRESULT hr = S_OK)
{
    t_lastError.clear();
    return hr;
}

HRESULT nullArgument(const char *function, const char *argument)
{
    return fail(E_POINTER, std::string(function) + ": " + argument + " is a null pointer");
}

// Why a value is not in the stores: never registered, or perhaps lost in a
// damaged store.
std::string notFound(const std::string &what, const zarn::com::LookupResult &found,
                     const std::string &stores)
{
    std::string text = what + " is not registered in " + stores;
    if (!found.damage.empty())
        text += "; " + found.damage +
                ", which may hide its registration: repair the file or "
                "register the component again (zarn-regsvr)";
    return text;
}

// A server loaded by this library, by file name; each is loaded once per
// process and unloaded when it says it can be.
struct LoadedServer {
    void *handle = nullptr;
    ZarnDllGetClassObjectFn getClassObject = nullptr;
    ZarnDllCanUnloadNowFn canUnloadNow = nullptr;
};

std::mutex s_mutex;
std::map<std::string, LoadedServer> s_servers;

HRESULT loadServer(const std::string &path, LoadedServer &out)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (auto it = s_servers.find(path); it != s_servers.end()) {
        out = it->second;
        return S_OK;
    }
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        return fail(CO_E_DLLNOTFOUND, "cannot load " + path + ": " + (why ? why : "?"));
    }
    LoadedServer s;
    s.handle = handle;
    s.getClassObject =
        reinterpret_cast<ZarnDllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    s.canUnloadNow = reinterpret_cast<ZarnDllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
    if (!s.getClassObject) {
        dlclose(handle);
        return fail(CO_E_ERRORINDLL, path + " exports no DllGetClassObject");
    }
    s_servers.emplace(path, s);
    out = s;
    return S_OK;
}

std::string storeNames(const std::vector<std::string> &paths)
{
    std::string out;
    for (const std::string &p : paths)
        out += (out.empty() ? "" : " or ") + p;
    return out;
}

} // namespace

namespace {

BSTR allocated(BSTR text)
{
    if (text)
        succeed();
    else
        fail(E_OUTOFMEMORY, "out of memory, or a text longer than a BSTR holds");
    return text;
}

} // namespace

ZARN_EXPORT BSTR SysAllocString(const OLECHAR *text)
{
    if (!text) {
        succeed();
        return nullptr;
    }
    return allocated(zarn::com::allocString(std::u16string_view(text)));
}

ZARN_EXPORT BSTR SysAllocStringLen(const OLECHAR *text, uint32_t len)
{
    return allocated(zarn::com::allocString(text, len));
}

ZARN_EXPORT BSTR ZarnAllocStringUtf8(const char *text)
{
    if (!text) {
        succeed();
        return nullptr;
    }
    // UTF-8 to UTF-16 by hand: the library needs nothing beyond the C++ runtime.
    std::u16string out;
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    while (*p) {
        uint32_t cp = 0xFFFD;
        int extra = 0;
        const unsigned char c = *p;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            extra = 3;
        } else {
            extra = -1;
        }
        ++p;
        bool ok = extra >= 0;
        for (int i = 0; ok && i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (*p & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        static const uint32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
        if (!ok || (extra > 0 && cp < minimum[extra]) || (cp >= 0xD800 && cp <= 0xDFFF) ||
            cp > 0x10FFFF)
            cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return allocated(zarn::com::allocString(out));
}

ZARN_EXPORT void SysFreeString(BSTR text)
{
    zarn::com::freeString(text);
    succeed();
}

ZARN_EXPORT uint32_t SysStringLen(BSTR text)
{
    succeed();
    return zarn::com::stringLength(text);
}

ZARN_EXPORT uint32_t SysStringByteLen(BSTR text)
{
    succeed();
    return zarn::com::stringLength(text) * uint32_t(sizeof(OLECHAR));
}

ZARN_EXPORT HRESULT ZarnGUIDFromString(const char *text, GUID *out)
{
    if (!text) return nullArgument("ZarnGUIDFromString", "text");
    if (!out) return nullArgument("ZarnGUIDFromString", "out");
    const auto g = zarn::com::guidFromString(text);
    if (!g) return fail(CO_E_CLASSSTRING, std::string("not a class identifier: ") + text);
    *out = *g;
    return succeed();
}

ZARN_EXPORT void ZarnStringFromGUID(const GUID *guid, char buf[39])
{
    if (!buf) {
        nullArgument("ZarnStringFromGUID", "buf");
        return;
    }
    if (!guid) {
        buf[0] = '\0';
        nullArgument("ZarnStringFromGUID", "guid");
        return;
    }
    const std::string s = zarn::com::guidToString(*guid);
    std::memcpy(buf, s.c_str(), 39);
    succeed();
}

ZARN_EXPORT HRESULT ZarnCLSIDFromProgID(const char *progid, CLSID *out)
{
    if (!progid) return nullArgument("ZarnCLSIDFromProgID", "progid");
    if (!out) return nullArgument("ZarnCLSIDFromProgID", "out");
    try {
        const auto paths = zarn::com::RegistryFile::lookupPaths();
        const auto found = zarn::com::lookupValue(
            paths, std::string("HKEY_CLASSES_ROOT\\") + progid + "\\CLSID", "");
        if (!found.error.empty()) return fail(REGDB_E_CLASSNOTREG, found.error);
        if (!found.value) return fail(CO_E_CLASSSTRING, notFound(progid, found, storeNames(paths)));
        const auto g = zarn::com::guidFromString(*found.value);
        if (!g)
            return fail(CO_E_CLASSSTRING, "the class identifier of " + std::string(progid) +
                                              " in " + found.path + " is malformed");
        *out = *g;
        return succeed();
    } catch (const std::bad_alloc &) {
        return fail(E_OUTOFMEMORY, "out of memory");
    } catch (const std::exception &e) {
        // Only the standard library throws in here, and only its own kinds.
        return fail(E_FAIL, e.what());
    }
}

ZARN_EXPORT HRESULT ZarnCoGetClassObject(const CLSID *clsid, const IID *iid, void **out)
{
    if (!out) return nullArgument("ZarnCoGetClassObject", "out");
    *out = nullptr;
    if (!clsid) return nullArgument("ZarnCoGetClassObject", "clsid");
    if (!iid) return nullArgument("ZarnCoGetClassObject", "iid");
    try {
        const auto paths = zarn::com::RegistryFile::lookupPaths();
        const std::string id = zarn::com::guidToString(*clsid);
        const auto found = zarn::com::lookupValue(
            paths, "HKEY_CLASSES_ROOT\\CLSID\\" + id + "\\InprocServer32", "");
        if (!found.error.empty()) return fail(REGDB_E_CLASSNOTREG, found.error);
        const auto &path = found.value;
        if (!path || path->empty())
            return fail(REGDB_E_CLASSNOTREG, notFound("class " + id, found, storeNames(paths)));
        LoadedServer server;
        if (const HRESULT hr = loadServer(*path, server); FAILED(hr)) return hr;
        const HRESULT hr = server.getClassObject(clsid, iid, out);
        if (FAILED(hr)) return fail(hr, *path + " hands out no class object for " + id);
        return succeed(hr);
    } catch (const std::bad_alloc &) {
        return fail(E_OUTOFMEMORY, "out of memory");
    } catch (const std::exception &e) {
        // Only the standard library throws in here, and only its own kinds.
        return fail(E_FAIL, e.what());
    }
}

ZARN_EXPORT HRESULT ZarnCoCreateInstance(const CLSID *clsid, IUnknown *outer, const IID *iid,
                                         void **out)
{
    if (!out) return nullArgument("ZarnCoCreateInstance", "out");
    *out = nullptr;
    if (!clsid) return nullArgument("ZarnCoCreateInstance", "clsid");
    if (!iid) return nullArgument("ZarnCoCreateInstance", "iid");
    void *factoryPtr = nullptr;
    if (const HRESULT hr = ZarnCoGetClassObject(clsid, &IID_IClassFactory, &factoryPtr); FAILED(hr))
        return hr;
    auto *factory = static_cast<IClassFactory *>(factoryPtr);
    const HRESULT hr = factory->CreateInstance(outer, iid, out);
    factory->Release();
    if (FAILED(hr)) return fail(hr, "the class object refused to create the object");
    return succeed(hr);
}

ZARN_EXPORT HRESULT ZarnCreateInstanceFromProgID(const char *progid, const IID *iid, void **out)
{
    if (!out) return nullArgument("ZarnCreateInstanceFromProgID", "out");
    *out = nullptr;
    if (!progid) return nullArgument("ZarnCreateInstanceFromProgID", "progid");
    if (!iid) return nullArgument("ZarnCreateInstanceFromProgID", "iid");
    CLSID clsid;
    if (const HRESULT hr = ZarnCLSIDFromProgID(progid, &clsid); FAILED(hr)) return hr;
    return ZarnCoCreateInstance(&clsid, nullptr, iid, out);
}

ZARN_EXPORT void ZarnCoFreeUnusedLibraries(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    for (auto it = s_servers.begin(); it != s_servers.end();) {
        const LoadedServer &s = it->second;
        if (s.canUnloadNow && s.canUnloadNow() == S_OK) {
            dlclose(s.handle);
            it = s_servers.erase(it);
        } else {
            ++it;
        }
    }
    succeed();
}

ZARN_EXPORT const char *ZarnLastError(void)
{
    return t_lastError.c_str();
}
