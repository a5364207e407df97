#pragma once

// The conventions every command-line tool of the package follows:
//   --help, -h    the usage on standard output, exit 0
//   --version     "name version" on standard output, exit 0
//   a wrong command line: one line on standard error naming what is wrong
//   and pointing at --help, exit 2; an option given twice is wrong (the
//   second would silently win), and so is --help or --version beside
//   anything else (what was meant is unclear)

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::cli {

constexpr int ExitUsage = 2;

struct Tool {
    const char *name;  // as typed: "zarn-db"
    const char *usage; // the whole --help text, ending in a newline
};

// When --help, -h or --version stands among the arguments (before a "--"
// that ends the options): 0 after printing what it asks for if it stands
// alone, else ExitUsage after refusing the command line. Nothing otherwise.
std::optional<int> answerHelpOrVersion(const Tool &tool, int argc, char **argv);

// The options a command line has given so far, by the name that stands for
// them (an option with two spellings is noted under one).
class GivenOptions {
public:
    // True the first time an option is noted, false when it was given before.
    bool first(std::string_view option);

private:
    std::vector<std::string> m_given;
};

// The refusal's text for an option given twice.
std::string givenTwice(std::string_view option);

// Prints "name: what (用法见 name --help)" to standard error; gives ExitUsage.
int refuse(const Tool &tool, const std::string &what);

// The project version the tool was built as.
const char *version();

} // namespace zarn::cli
