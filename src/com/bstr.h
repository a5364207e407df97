#pragma once

#include <zarn/Zarndcbdll.h>

#include <string>
#include <string_view>

namespace zarn::com {

// The BSTR layout shared by the component and its hosts: a uint32_t byte
// length, the UTF-16 units, then a NUL unit. Allocated with malloc so that
// whichever side frees it, the same heap takes it back.
BSTR allocString(const char16_t *text, size_t units);
BSTR allocString(std::u16string_view text);
void freeString(BSTR text);
uint32_t stringLength(BSTR text);

// The text up to the first NUL (the component reads no further, whatever the
// stored length says); null gives the empty text.
std::u16string_view stringView(BSTR text);

} // namespace zarn::com
