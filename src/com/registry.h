#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarn::com {

// The registration store: a UTF-8 text file in registry-path layout,
//
//   [HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32]
//   @="/opt/zarn/lib/zarn/Zarndcbdll.so"
//   "ThreadingModel"="Apartment"
//
// Key and value names match without regard to case. Everything the file holds
// that this class does not change (other keys, comments, blank lines, line
// ends, a missing final newline) is written back exactly as it was read, so
// registering and unregistering a server leaves other entries untouched.
class RegistryFile {
public:
    // The store this user registers servers in: $ZARN_REGISTRY, else
    // $XDG_CONFIG_HOME/zarn/registry, else $HOME/.config/zarn/registry.
    static std::string defaultPath();
    // The store an installed package registers its servers in, for every user:
    // $ZARN_SYSTEM_REGISTRY, else the path the build was configured with
    // (/etc/zarn/registry).
    static std::string systemPath();
    // Where a host looks a class up, first match winning: $ZARN_REGISTRY alone
    // when it is set; else the user's store, then the system-wide one, so that
    // a user's own registration stands before the package's.
    static std::vector<std::string> lookupPaths();

    explicit RegistryFile(std::string path);

    // A missing file is an empty store. False (with error()) when the file
    // exists but cannot be read. A file that reads but holds lines no
    // registration file holds (cut off, overwritten) still loads, every line
    // kept as it was; damage() then says where the first such line is.
    bool load();
    // Replaces the file atomically (a temporary file in the same folder, then
    // rename), making its folder when missing. False with error() on failure.
    bool save();

    const std::string &path() const { return m_path; }
    const std::string &error() const { return m_error; }
    // "PATH is damaged at line N (what is wrong there)", or empty.
    const std::string &damage() const { return m_damage; }

    // The value's text ("" is the key's default value, written @=).
    std::optional<std::string> value(std::string_view key, std::string_view name) const;
    bool keyExists(std::string_view key) const;
    // Replaces the value where it stands, else adds it to the key, else adds
    // the key at the end. Texts with line breaks are refused (false).
    bool setValue(std::string_view key, std::string_view name, std::string_view value);
    // True when a value was removed.
    bool removeValue(std::string_view key, std::string_view name);
    // Removes the key when it has no values, no subkeys and nothing else
    // written under it. True when removed.
    bool removeKeyIfEmpty(std::string_view key);

    // The whole text as it would be saved.
    std::string text() const;

private:
    struct Line {
        std::string text; // without its line end
        std::string eol;  // "\n", "\r\n" or "" (last line without newline)
    };
    struct Block {
        std::string key;         // empty for the lines before the first key
        std::vector<Line> lines; // the [key] line first, when there is a key
    };
    struct ParsedValue {
        std::string name;
        std::string value;
    };
    static std::optional<ParsedValue> parseValueLine(std::string_view line);
    static bool sameKey(std::string_view a, std::string_view b);
    std::string newLineEnd() const;

    std::string m_path;
    std::string m_error;
    std::string m_damage;
    std::vector<Block> m_blocks;
    size_t m_insertAt = 0; // where new keys go when not at the end (0: at the end)
};

// One value a server writes at registration.
struct RegistryEntry {
    std::string key;
    std::string name; // "" for the default value
    std::string value;
};

// A value as a host sees it: taken from the first store that holds it.
// error is set (and the search stops) when a store exists but cannot be read.
// When no store holds the value, damage names the first damaged store looked
// at and its line: the value may be lost in it rather than never registered.
struct LookupResult {
    std::optional<std::string> value;
    std::string path; // the store it came from
    std::string error;
    std::string damage;
};
LookupResult lookupValue(const std::vector<std::string> &paths, std::string_view key,
                         std::string_view name);

// Writes the entries into the store at path; false with a message on failure.
bool registerEntries(const std::string &path, const std::vector<RegistryEntry> &entries,
                     std::string *error = nullptr);
// Removes exactly those values (whatever they hold now), then each of their
// keys that is left empty, deepest first. A missing file is left missing.
bool unregisterEntries(const std::string &path, const std::vector<RegistryEntry> &entries,
                       std::string *error = nullptr);

} // namespace zarn::com
