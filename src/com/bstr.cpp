#include "com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace zarn::com {

BSTR allocString(const char16_t *text, size_t units)
{
    // The byte length must fit its uint32_t prefix.
    if (units > (std::numeric_limits<uint32_t>::max() - 8) / sizeof(char16_t)) return nullptr;
    const size_t bytes = units * sizeof(char16_t);
    auto *block = static_cast<unsigned char *>(std::malloc(sizeof(uint32_t) + bytes + 2));
    if (!block) return nullptr;
    const uint32_t prefix = uint32_t(bytes);
    std::memcpy(block, &prefix, sizeof prefix);
    auto *chars = reinterpret_cast<char16_t *>(block + sizeof(uint32_t));
    if (text)
        std::memcpy(chars, text, bytes);
    else
        std::memset(chars, 0, bytes);
    chars[units] = u'\0';
    return chars;
}

BSTR allocString(std::u16string_view text)
{
    return allocString(text.data(), text.size());
}

void freeString(BSTR text)
{
    if (text) std::free(reinterpret_cast<unsigned char *>(text) - sizeof(uint32_t));
}

uint32_t stringLength(BSTR text)
{
    if (!text) return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char *>(text) - sizeof(uint32_t),
                sizeof bytes);
    return bytes / uint32_t(sizeof(char16_t));
}

std::u16string_view stringView(BSTR text)
{
    if (!text) return {};
    return std::u16string_view(text);
}

} // namespace zarn::com
