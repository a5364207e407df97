#pragma once

#include <zarn/Zarndcbdll.h>

#include <optional>
#include <string>
#include <string_view>

namespace zarn::com {

// "{D2C432D4-1697-4A84-86D5-0D3E761F8405}": braces required, hex digits of
// either case, nothing around it.
std::optional<GUID> guidFromString(std::string_view text);
// Braced, upper case, as the registration file writes it.
std::string guidToString(const GUID &guid);

} // namespace zarn::com
