#pragma once

// The conventions every command-line tool of the package follows:
//   --help, -h    the usage on standard output, exit 0
//   --version     "name version" on standard output, exit 0
//   a wrong command line: one line on standard error naming what is wrong
//   and pointing at --help, exit 2
// The manual pages are made from the --help text at build time.

#include <optional>
#include <string>

namespace zarn::cli {

constexpr int ExitUsage = 2;

struct Tool {
    const char *name;  // as typed: "zarn-db"
    const char *usage; // the whole --help text, ending in a newline
};

// 0 when --help, -h or --version stands among the arguments (before a "--"
// that ends the options), after printing what it asks for; nothing otherwise.
// Either answers even beside a wrong argument: help is what that user needs.
std::optional<int> answerHelpOrVersion(const Tool &tool, int argc, char **argv);

// Prints "name: what (用法见 name --help)" to standard error; gives ExitUsage.
int refuse(const Tool &tool, const std::string &what);

// The project version the tool was built as.
const char *version();

} // namespace zarn::cli
