#include "text.h"

namespace pyrelto {

bool isSpace(char16_t c) {
    return (c >= u'\t' && c <= u'\r') || c == u' ' || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::u16string trimmed(std::u16string_view text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && isSpace(text[first]))
        ++first;
    while (end > first && isSpace(text[end - 1]))
        --end;
    return std::u16string(text.substr(first, end - first));
}

} // namespace pyrelto
