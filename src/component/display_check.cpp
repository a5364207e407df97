#include "component/display_check.h"

#include <dlfcn.h>

namespace zarn {

namespace {

// Qt reaches X through libxcb; the same library, asked the same way, says
// whether Qt would get through. Loaded at run time: nothing of ours links X.
struct Xcb {
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);

    void *library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    Connect connect = library ? reinterpret_cast<Connect>(dlsym(library, "xcb_connect")) : nullptr;
    HasError hasError =
        library ? reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error")) : nullptr;
    Disconnect disconnect =
        library ? reinterpret_cast<Disconnect>(dlsym(library, "xcb_disconnect")) : nullptr;

    ~Xcb()
    {
        if (library) dlclose(library);
    }
};

} // namespace

QString unreachableDisplay()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb"))) return {};
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty()) return {}; // said elsewhere: there is no display at all
        return QStringLiteral("QT_QPA_PLATFORM asks for X, but DISPLAY is not set");
    }
    Xcb xcb;
    if (!xcb.connect || !xcb.hasError || !xcb.disconnect)
        return QStringLiteral("libxcb.so.1 cannot be loaded, so the X display %1 cannot be used")
            .arg(display);
    void *connection = xcb.connect(nullptr, nullptr);
    const int error = connection ? xcb.hasError(connection) : 1;
    if (connection) xcb.disconnect(connection);
    if (error == 0) return {};
    return QStringLiteral("the X display %1 cannot be reached (no X server there, or access "
                          "refused)")
        .arg(display);
}

} // namespace zarn
