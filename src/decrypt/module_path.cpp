#include "decrypt/module_path.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>

namespace zarn {

namespace {

// Our own code, never interposed: when a program that also links this code
// loads the component module, each copy still finds its own image.
void anchorInThisImage() {}

// /proc/self/maps names every mapping by its absolute, resolved file name,
// which also covers images whose loader name is relative (a program started as
// "./x", a library opened as "./lib.so" before the current folder changed).
std::string fromProcessMaps(std::uintptr_t address)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        char *end = nullptr;
        const unsigned long long lo = std::strtoull(line.c_str(), &end, 16);
        if (!end || *end != '-') continue;
        const unsigned long long hi = std::strtoull(end + 1, &end, 16);
        if (address < lo || address >= hi) continue;
        // address perms offset dev inode pathname: the name starts after the
        // fifth field and may itself contain blanks.
        std::size_t pos = 0;
        for (int field = 0; field < 5 && pos != std::string::npos; ++field) {
            pos = line.find_first_not_of(' ', pos);
            pos = pos == std::string::npos ? pos : line.find(' ', pos);
        }
        if (pos == std::string::npos) return {};
        pos = line.find_first_not_of(' ', pos);
        if (pos == std::string::npos || line[pos] != '/') return {};
        std::string name = line.substr(pos);
        static const std::string deleted = " (deleted)";
        if (name.size() > deleted.size() &&
            name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
            name.resize(name.size() - deleted.size());
        return name;
    }
    return {};
}

} // namespace

std::string imagePathContaining(const void *address)
{
    Dl_info info{};
    if (dladdr(address, &info) != 0 && info.dli_fname && info.dli_fname[0] == '/')
        return info.dli_fname;
    return fromProcessMaps(reinterpret_cast<std::uintptr_t>(address));
}

std::string folderOf(const std::string &fileName)
{
    const std::size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string moduleFolder()
{
    return folderOf(imagePathContaining(reinterpret_cast<const void *>(&anchorInThisImage)));
}

} // namespace zarn
