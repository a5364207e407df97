#include "com/guid.h"

#include <cstdio>

namespace zarn::com {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at pos; false on anything else.
bool readHex(std::string_view text, size_t pos, int digits, uint64_t &out)
{
    out = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = hexValue(text[pos + size_t(i)]);
        if (v < 0) return false;
        out = (out << 4) | uint64_t(v);
    }
    return true;
}

} // namespace

std::optional<GUID> guidFromString(std::string_view text)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-')
        return std::nullopt;
    GUID g{};
    uint64_t v = 0;
    if (!readHex(text, 1, 8, v)) return std::nullopt;
    g.Data1 = uint32_t(v);
    if (!readHex(text, 10, 4, v)) return std::nullopt;
    g.Data2 = uint16_t(v);
    if (!readHex(text, 15, 4, v)) return std::nullopt;
    g.Data3 = uint16_t(v);
    static const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePos[i], 2, v)) return std::nullopt;
        g.Data4[i] = uint8_t(v);
    }
    return g;
}

std::string guidToString(const GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

} // namespace zarn::com
