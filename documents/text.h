#pragma once
// Small text helpers the document models share.

#include <string>
#include <string_view>

namespace pyrelto {

// True for the characters Qt's and Unicode's white space: the ASCII controls \t to \r, space,
// U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
bool isSpace(char16_t c);

// `text` without white space at either end.
std::u16string trimmed(std::u16string_view text);

} // namespace pyrelto
