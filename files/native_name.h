#pragma once
// File names as the operating system takes them. Internal to the files library.

#include <optional>
#include <string>
#include <string_view>

namespace pyrelto::detail {

// The UTF-8 form of a name; none for a name with a zero unit, which the system would cut short
// and so quietly open a different file.
std::optional<std::string> nativeName(std::u16string_view name);

} // namespace pyrelto::detail
