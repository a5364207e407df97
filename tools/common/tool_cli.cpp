#include "tool_cli.h"

#include <cstdio>
#include <cstring>

namespace zarn::cli {

const char *version()
{
    return ZARN_TOOL_VERSION;
}

std::optional<int> answerHelpOrVersion(const Tool &tool, int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--") == 0) break;
        const bool help = std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0;
        if (!help && std::strcmp(a, "--version") != 0) continue;
        if (argc > 2) {
            const char *other = argv[i == 1 ? 2 : 1];
            return refuse(tool, std::string(a) + " 只能单独使用, 不能再带其他参数: " + other);
        }
        if (help)
            std::fputs(tool.usage, stdout);
        else
            std::printf("%s %s\n", tool.name, version());
        std::fflush(stdout);
        return 0;
    }
    return std::nullopt;
}

bool GivenOptions::first(std::string_view option)
{
    for (const std::string &given : m_given)
        if (given == option) return false;
    m_given.emplace_back(option);
    return true;
}

std::string givenTwice(std::string_view option)
{
    return "选项 " + std::string(option) + " 给了两次, 每个选项只能给一次";
}

int refuse(const Tool &tool, const std::string &what)
{
    std::fprintf(stderr, "%s: %s (用法见 %s --help)\n", tool.name, what.c_str(), tool.name);
    std::fflush(stderr);
    return ExitUsage;
}

} // namespace zarn::cli
