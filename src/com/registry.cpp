#include "com/registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ZARN_SYSTEM_REGISTRY_PATH
#define ZARN_SYSTEM_REGISTRY_PATH "/etc/zarn/registry"
#endif

namespace zarn::com {

namespace {

std::string_view trimmed(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string quoted(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Reads a quoted text at s[pos] (which is '"'); pos ends after the closing quote.
std::optional<std::string> unquote(std::string_view s, size_t &pos)
{
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < s.size()) c = s[++pos];
        out += c;
    }
    return std::nullopt;
}

std::optional<std::string_view> headerKey(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
    return trimmed(t.substr(1, t.size() - 2));
}

bool isBlank(std::string_view line)
{
    return trimmed(line).empty() || line == "\r";
}

// What is wrong with a line that no registration file holds, or null. Other
// lines (comments, the banner of an exported file, blank lines) are fine.
const char *damageIn(std::string_view line, bool parsesAsValue)
{
    if (line.find('\0') != std::string_view::npos) return "NUL bytes (the file is damaged)";
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() == ';' || t.front() == '#') return nullptr;
    if (t.front() == '[') return headerKey(t) ? nullptr : "a key without its closing ]";
    if (t.front() == '@' || t.front() == '"')
        return parsesAsValue ? nullptr : "a value cut off or not written name=\"value\"";
    if (t.starts_with("Windows Registry Editor") || t.starts_with("REGEDIT")) return nullptr;
    return "a line that is neither [key], value, nor comment";
}

size_t depth(std::string_view key)
{
    return size_t(std::count(key.begin(), key.end(), '\\'));
}

} // namespace

std::string RegistryFile::defaultPath()
{
    if (const char *p = std::getenv("ZARN_REGISTRY"); p && *p) return p;
    if (const char *x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/')
        return std::string(x) + "/zarn/registry";
    std::string home;
    if (const char *h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.config/zarn/registry";
}

std::string RegistryFile::systemPath()
{
    if (const char *p = std::getenv("ZARN_SYSTEM_REGISTRY"); p && *p) return p;
    return ZARN_SYSTEM_REGISTRY_PATH;
}

std::vector<std::string> RegistryFile::lookupPaths()
{
    // An explicit store is the whole world: a test or a private installation
    // that names one never picks up what the machine has registered.
    if (const char *p = std::getenv("ZARN_REGISTRY"); p && *p) return {p};
    std::vector<std::string> paths{defaultPath()};
    if (std::string system = systemPath(); system != paths.front())
        paths.push_back(std::move(system));
    return paths;
}

RegistryFile::RegistryFile(std::string path)
    : m_path(std::move(path))
{
}

bool RegistryFile::sameKey(std::string_view a, std::string_view b)
{
    while (!a.empty() && a.back() == '\\')
        a.remove_suffix(1);
    while (!b.empty() && b.back() == '\\')
        b.remove_suffix(1);
    return equalNoCase(a, b);
}

std::optional<RegistryFile::ParsedValue> RegistryFile::parseValueLine(std::string_view line)
{
    std::string_view t = trimmed(line);
    if (!t.empty() && t.back() == '\r') t = trimmed(t.substr(0, t.size() - 1));
    ParsedValue v;
    size_t pos = 0;
    if (t.empty()) return std::nullopt;
    if (t[0] == '@') {
        pos = 1;
    } else if (t[0] == '"') {
        auto name = unquote(t, pos);
        if (!name) return std::nullopt;
        v.name = *name;
    } else {
        return std::nullopt;
    }
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t'))
        ++pos;
    if (pos >= t.size() || t[pos] != '=') return std::nullopt;
    ++pos;
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t'))
        ++pos;
    if (pos < t.size() && t[pos] == '"') {
        auto value = unquote(t, pos);
        if (!value) return std::nullopt;
        v.value = *value;
    } else {
        // Other kinds (dword:..., hex:...) are kept as written.
        v.value = std::string(t.substr(pos));
    }
    return v;
}

bool RegistryFile::load()
{
    m_blocks.clear();
    m_insertAt = 0;
    m_error.clear();
    m_damage.clear();
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec)) return true;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        m_error = "cannot read " + m_path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) {
        m_error = "cannot read " + m_path;
        return false;
    }
    const std::string all = buf.str();
    m_blocks.push_back(Block{});
    size_t start = 0;
    size_t number = 0;
    bool continued = false; // the line before ended in a backslash: a hex value goes on
    while (start < all.size()) {
        // Each line is made in one piece from views: assigning the line end
        // to a string already made draws a false -Wrestrict from GCC 12.
        size_t nl = all.find('\n', start);
        std::string_view text(all), eol;
        if (nl == std::string::npos) {
            text = text.substr(start);
            nl = all.size();
        } else {
            text = text.substr(start, nl - start);
            eol = "\n";
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                eol = "\r\n";
            }
        }
        start = nl + 1;
        ++number;
        if (m_damage.empty() && !continued) {
            if (const char *what = damageIn(text, parseValueLine(text).has_value()))
                m_damage =
                    m_path + " is damaged at line " + std::to_string(number) + " (" + what + ")";
        }
        continued = !text.empty() && text.back() == '\\';
        if (auto key = headerKey(text)) m_blocks.push_back(Block{std::string(*key), {}});
        m_blocks.back().lines.push_back(Line{std::string(text), std::string(eol)});
    }
    return true;
}

std::string RegistryFile::newLineEnd() const
{
    for (const Block &b : m_blocks)
        for (const Line &l : b.lines)
            if (!l.eol.empty()) return l.eol;
    return "\n";
}

std::string RegistryFile::text() const
{
    std::string out;
    const std::string nl = newLineEnd();
    // The last line of all may lack its newline; any other line gets one.
    const Line *last = nullptr;
    for (const Block &b : m_blocks)
        if (!b.lines.empty()) last = &b.lines.back();
    for (const Block &b : m_blocks)
        for (const Line &l : b.lines) {
            out += l.text;
            out += (l.eol.empty() && &l != last) ? nl : l.eol;
        }
    return out;
}

bool RegistryFile::save()
{
    namespace fs = std::filesystem;
    m_error.clear();
    const fs::path target(m_path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    std::string tmpl = m_path + ".XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        m_error = "cannot write " + m_path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    const mode_t mode = (stat(m_path.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
    const std::string data = text();
    size_t done = 0;
    bool ok = true;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    const int savedErrno = errno;
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(tmpl.c_str(), m_path.c_str()) == 0) return true;
    m_error = "cannot write " + m_path + ": " + std::strerror(ok ? errno : savedErrno);
    ::unlink(tmpl.c_str());
    return false;
}

std::optional<std::string> RegistryFile::value(std::string_view key, std::string_view name) const
{
    std::optional<std::string> found;
    // A later assignment wins, as when such a file is imported line by line.
    for (const Block &b : m_blocks) {
        if (b.key.empty() || !sameKey(b.key, key)) continue;
        for (const Line &l : b.lines)
            if (auto v = parseValueLine(l.text); v && equalNoCase(v->name, name)) found = v->value;
    }
    return found;
}

bool RegistryFile::keyExists(std::string_view key) const
{
    return std::any_of(m_blocks.begin(), m_blocks.end(),
                       [&](const Block &b) { return !b.key.empty() && sameKey(b.key, key); });
}

bool RegistryFile::setValue(std::string_view key, std::string_view name, std::string_view value)
{
    const auto hasBreak = [](std::string_view s) {
        return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
    };
    if (key.empty() || hasBreak(key) || hasBreak(name) || hasBreak(value) ||
        key.find(']') != std::string_view::npos)
        return false;
    const std::string text = (name.empty() ? std::string("@") : quoted(name)) + "=" + quoted(value);
    Block *lastOfKey = nullptr;
    bool replaced = false;
    for (Block &b : m_blocks) {
        if (b.key.empty() || !sameKey(b.key, key)) continue;
        lastOfKey = &b;
        for (Line &l : b.lines)
            if (auto v = parseValueLine(l.text); v && equalNoCase(v->name, name)) {
                l.text = text;
                replaced = true;
            }
    }
    if (replaced) return true;
    const std::string nl = newLineEnd();
    if (lastOfKey) {
        // After the key's last value (or its [key] line), before any trailing
        // blank lines or comments.
        size_t at = 1;
        for (size_t i = 1; i < lastOfKey->lines.size(); ++i)
            if (parseValueLine(lastOfKey->lines[i].text)) at = i + 1;
        lastOfKey->lines.insert(lastOfKey->lines.begin() + long(at), Line{text, nl});
        return true;
    }
    // A new key: its own [key] line, the value, and a blank line after it
    // that belongs to the key and goes with it.
    Block b;
    b.key = std::string(key);
    b.lines.push_back(Line{"[" + std::string(key) + "]", nl});
    b.lines.push_back(Line{text, nl});
    b.lines.push_back(Line{"", nl});
    // New keys go at the end, unless the file ends without a newline: adding
    // one there could not be taken back, so they go before the first key.
    const Line *last = nullptr;
    for (const Block &blk : m_blocks)
        if (!blk.lines.empty()) last = &blk.lines.back();
    if (m_insertAt == 0 && last && last->eol.empty()) {
        for (size_t i = 0; i < m_blocks.size(); ++i)
            if (!m_blocks[i].key.empty()) {
                m_insertAt = i;
                break;
            }
    }
    if (m_insertAt != 0) {
        m_blocks.insert(m_blocks.begin() + long(m_insertAt), std::move(b));
        ++m_insertAt;
    } else {
        m_blocks.push_back(std::move(b));
    }
    return true;
}

bool RegistryFile::removeValue(std::string_view key, std::string_view name)
{
    bool removed = false;
    for (Block &b : m_blocks) {
        if (b.key.empty() || !sameKey(b.key, key)) continue;
        const auto it = std::remove_if(b.lines.begin() + 1, b.lines.end(), [&](const Line &l) {
            auto v = parseValueLine(l.text);
            return v && equalNoCase(v->name, name);
        });
        removed = removed || it != b.lines.end();
        b.lines.erase(it, b.lines.end());
    }
    return removed;
}

bool RegistryFile::removeKeyIfEmpty(std::string_view key)
{
    std::string prefix(key);
    while (!prefix.empty() && prefix.back() == '\\')
        prefix.pop_back();
    prefix += '\\';
    for (const Block &b : m_blocks) {
        if (b.key.empty()) continue;
        if (b.key.size() > prefix.size() && equalNoCase(b.key.substr(0, prefix.size()), prefix))
            return false; // has a subkey
        if (sameKey(b.key, key))
            for (size_t i = 1; i < b.lines.size(); ++i)
                if (!isBlank(b.lines[i].text)) return false; // a value or someone's comment
    }
    const auto before = m_blocks.size();
    m_blocks.erase(
        std::remove_if(m_blocks.begin(), m_blocks.end(),
                       [&](const Block &b) { return !b.key.empty() && sameKey(b.key, key); }),
        m_blocks.end());
    return m_blocks.size() != before;
}

LookupResult lookupValue(const std::vector<std::string> &paths, std::string_view key,
                         std::string_view name)
{
    LookupResult result;
    for (const std::string &path : paths) {
        RegistryFile file(path);
        if (!file.load()) {
            result.error = file.error();
            return result;
        }
        if (auto v = file.value(key, name)) {
            result.value = std::move(v);
            result.path = path;
            result.damage.clear();
            return result;
        }
        if (result.damage.empty()) result.damage = file.damage();
    }
    return result;
}

bool registerEntries(const std::string &path, const std::vector<RegistryEntry> &entries,
                     std::string *error)
{
    RegistryFile file(path);
    bool ok = file.load();
    for (const RegistryEntry &e : entries) {
        if (!ok) break;
        ok = file.setValue(e.key, e.name, e.value);
        if (!ok && error) *error = "cannot store the value of " + e.key;
    }
    ok = ok && file.save();
    if (!ok && error && !file.error().empty()) *error = file.error();
    return ok;
}

bool unregisterEntries(const std::string &path, const std::vector<RegistryEntry> &entries,
                       std::string *error)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    RegistryFile file(path);
    if (!file.load()) {
        if (error) *error = file.error();
        return false;
    }
    bool changed = false;
    for (const RegistryEntry &e : entries)
        changed = file.removeValue(e.key, e.name) || changed;
    std::vector<std::string> keys;
    for (const RegistryEntry &e : entries)
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const std::string &k) { return equalNoCase(k, e.key); }))
            keys.push_back(e.key);
    std::stable_sort(keys.begin(), keys.end(), [](const std::string &a, const std::string &b) {
        return depth(a) > depth(b);
    });
    for (const std::string &k : keys)
        changed = file.removeKeyIfEmpty(k) || changed;
    if (!changed) return true;
    if (!file.save()) {
        if (error) *error = file.error();
        return false;
    }
    return true;
}

} // namespace zarn::com
