#pragma once

#include <zarn/Zarndcbdll.h>

namespace zarn::com {

// Lifetime of the in-process server this code is linked into: every object it
// hands out and every LockServer(TRUE) keeps it loaded.
void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
long liveObjects();
long serverLocks();
// S_OK when nothing is alive and nothing is locked, else S_FALSE.
HRESULT canUnloadNow();

// Creates a new object of one class and queries it for iid.
using CreateFunction = HRESULT (*)(const IID *iid, void **out);

// The class object of one class. It lives as long as the module (a static
// object), so its own references do not count; LockServer does.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create)
        : m_create(create)
    {
    }
    HRESULT QueryInterface(const IID *iid, void **out) override;
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    HRESULT CreateInstance(IUnknown *outer, const IID *iid, void **out) override;
    HRESULT LockServer(int32_t lock) override;

private:
    CreateFunction m_create;
};

} // namespace zarn::com
