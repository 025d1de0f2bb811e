#pragma once
// UTF-8 <-> UTF-16 for the edges of the core (command line, file names on POSIX). Malformed input
// becomes U+FFFD rather than an error: these texts are shown or used as names, never computed on.

#include <string>
#include <string_view>

namespace pyrelto {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

} // namespace pyrelto
