#pragma once
// The headless driver: runs steps on one sheet that starts as the program starts and prints the
// sheet as JSON. Kept apart from main() so tests drive it in-process.

#include <iosfwd>
#include <span>
#include <string>

namespace pyrelto {

// Exit codes: 0 all steps ran, 1 a step failed (its message on `err`, the rest still ran and the
// JSON was printed), 2 the command line was malformed (nothing printed on `out`).
int runCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The decimal separator of the user's locale: on Windows from the regional settings; elsewhere as
// the environment names it (LC_ALL, LC_NUMERIC, LANG), decided without the C library's locale
// tables, which may not be installed. A point where the setting cannot be used in a field.
char16_t separatorFromEnvironment();

} // namespace pyrelto
