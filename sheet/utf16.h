#pragma once
// UTF-8 <-> UTF-16 for the edges of the core (command line, file names on POSIX). Malformed input
// becomes U+FFFD rather than an error: these texts are shown or used as names, never computed on.

#include <string>
#include <string_view>
#include <vector>

namespace pyrelto {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

// The arguments after the program's name, in UTF-8. Windows hands the command line over in UTF-16
// (wmain, where wchar_t is a UTF-16 code unit); the narrow main() would get it squeezed through
// the ANSI code page, which turns "Müller" into "M?ller". Other systems pass the bytes as they are.
#ifdef _WIN32
std::vector<std::string> utf8Arguments(int argc, wchar_t** argv);
#endif
std::vector<std::string> utf8Arguments(int argc, char** argv);

} // namespace pyrelto
