#include "com/server.h"

#include <atomic>

namespace zarn::com {

namespace {
std::atomic<long> s_objects{0};
std::atomic<long> s_locks{0};
} // namespace

void objectCreated()
{
    ++s_objects;
}
void objectDestroyed()
{
    --s_objects;
}

void lockServer(bool lock)
{
    if (lock) {
        ++s_locks;
        return;
    }
    // An unbalanced unlock must not make a later lock count for nothing.
    long n = s_locks.load();
    while (n > 0 && !s_locks.compare_exchange_weak(n, n - 1)) {
    }
}

long liveObjects()
{
    return s_objects.load();
}
long serverLocks()
{
    return s_locks.load();
}

HRESULT canUnloadNow()
{
    return (s_objects.load() == 0 && s_locks.load() == 0) ? S_OK : S_FALSE;
}

HRESULT ClassFactory::QueryInterface(const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    if (*iid == IID_IUnknown || *iid == IID_IClassFactory) {
        *out = static_cast<IClassFactory *>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown *outer, const IID *iid, void **out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!iid) return E_POINTER;
    if (outer) return CLASS_E_NOAGGREGATION;
    return m_create(iid, out);
}

HRESULT ClassFactory::LockServer(int32_t lock)
{
    lockServer(lock != 0);
    return S_OK;
}

} // namespace zarn::com
