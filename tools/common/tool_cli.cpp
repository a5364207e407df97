#include "tool_cli.h"

#include <cstdio>
#include <cstring>

namespace zarn::cli {

const char *version()
{
    return ZARN_VERSION;
}

std::optional<int> answerHelpOrVersion(const Tool &tool, int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--") == 0) break;
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(tool.usage, stdout);
            std::fflush(stdout);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("%s %s\n", tool.name, version());
            std::fflush(stdout);
            return 0;
        }
    }
    return std::nullopt;
}

int refuse(const Tool &tool, const std::string &what)
{
    std::fprintf(stderr, "%s: %s (用法见 %s --help)\n", tool.name, what.c_str(), tool.name);
    std::fflush(stderr);
    return ExitUsage;
}

} // namespace zarn::cli
