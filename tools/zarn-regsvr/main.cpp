// zarn-regsvr: registers an in-process server in the registration file, or
// removes its registration (-u), by calling its DllRegisterServer or
// DllUnregisterServer, as the classic registration tool does.
#include "com/registry.h"
#include "tool_cli.h"

#include <zarn/Zarndcbdll.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

// The system file's path is the build's, unless $ZARN_SYSTEM_REGISTRY says otherwise.
std::string usageText()
{
    return "用法: zarn-regsvr [-u] [-s] [--system] 组件库\n"
           "  -u        注销（调用 DllUnregisterServer），否则注册（DllRegisterServer）\n"
           "  -s        成功时不输出\n"
           "  --system  写入全机的注册文件 " +
           zarn::com::RegistryFile::systemPath() +
           "（所有用户共用，通常需要 root；\n"
           "            可用 $ZARN_SYSTEM_REGISTRY 另指）\n"
           "  --help    显示本说明\n"
           "  --version 显示版本\n"
           "注册文件: $ZARN_REGISTRY，否则 $XDG_CONFIG_HOME/zarn/registry，\n"
           "          否则 ~/.config/zarn/registry\n"
           "宿主先查用户的注册文件，找不到再查全机的注册文件。\n";
}

} // namespace

int main(int argc, char **argv)
{
    const std::string usage = usageText();
    const zarn::cli::Tool tool{"zarn-regsvr", usage.c_str()};
    if (const auto answered = zarn::cli::answerHelpOrVersion(tool, argc, argv)) return *answered;
    bool unregister = false;
    bool silent = false;
    bool system = false;
    const char *module = nullptr;
    zarn::cli::GivenOptions given;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        // /u and /s, as the classic tool spells them, are -u and -s.
        const std::string option = a.size() == 2 && a[0] == '/' ? "-" + a.substr(1) : a;
        if ((option == "-u" || option == "-s" || option == "--system") && !given.first(option))
            return zarn::cli::refuse(tool, zarn::cli::givenTwice(option));
        if (a == "-u" || a == "/u")
            unregister = true;
        else if (a == "-s" || a == "/s")
            silent = true;
        else if (a == "--system")
            system = true;
        else if (!a.empty() && a[0] != '-' && !module)
            module = argv[i];
        else if (module && !a.empty() && a[0] != '-')
            return zarn::cli::refuse(tool, "只能给一个组件库, 多余的参数: " + a);
        else
            return zarn::cli::refuse(tool, "无法识别的参数: " + a);
    }
    if (!module) return zarn::cli::refuse(tool, "缺少组件库的路径");
    // The server writes to the store that $ZARN_REGISTRY names.
    if (system && setenv("ZARN_REGISTRY", zarn::com::RegistryFile::systemPath().c_str(), 1) != 0) {
        std::fprintf(stderr, "zarn-regsvr: %s\n", std::strerror(errno));
        return 1;
    }
    // The server records the path it was loaded from: give it the absolute one.
    char resolved[PATH_MAX];
    if (!realpath(module, resolved)) {
        std::fprintf(stderr, "zarn-regsvr: 找不到组件库 %s: %s\n", module, std::strerror(errno));
        return 3;
    }
    void *handle = dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        std::fprintf(stderr, "zarn-regsvr: 无法加载 %s: %s\n", resolved, why ? why : "?");
        return 3;
    }
    const char *entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<ZarnDllRegisterServerFn>(dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "zarn-regsvr: %s 没有导出 %s\n", resolved, entry);
        dlclose(handle);
        return 4;
    }
    const HRESULT hr = fn();
    const std::string registry = zarn::com::RegistryFile::defaultPath();
    dlclose(handle);
    if (FAILED(hr)) {
        std::fprintf(stderr, "zarn-regsvr: %s 失败 (0x%08X)%s%s\n", entry, unsigned(hr),
                     hr == REGDB_E_WRITEREGDB ? "：无法写入注册文件 " : "",
                     hr == REGDB_E_WRITEREGDB ? registry.c_str() : "");
        return 1;
    }
    if (!silent) std::printf("%s 成功: %s\n注册文件: %s\n", entry, resolved, registry.c_str());
    return 0;
}
