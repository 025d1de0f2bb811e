#include "field_text_isolation.h"

namespace pyrelto {

namespace {

constexpr char16_t kFirstStrongIsolate = u'\u2068';
constexpr char16_t kPopDirectionalIsolate = u'\u2069';

bool isLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == u'\u0085' ||
           c == u'\u2028' || c == u'\u2029';
}

bool isExplicitDirectional(char16_t c) {
    return (c >= u'\u202A' && c <= u'\u202E') || (c >= u'\u2066' && c <= u'\u2069');
}

// Units that start or are a right-to-left character or mark: Hebrew, Arabic, Syriac, Thaana, NKo,
// Samaritan, Mandaic and their presentation forms, the RIGHT-TO-LEFT and ARABIC LETTER marks,
// and the high surrogates of the right-to-left blocks above U+FFFF (U+10800..U+10FFF,
// U+1E800..U+1EFFF). A few neutral characters inside these blocks only cost an isolate.
bool mayBeRightToLeft(char16_t c) {
    return (c >= u'\u0590' && c <= u'\u08FF') || (c >= u'\uFB1D' && c <= u'\uFDFF') ||
           (c >= u'\uFE70' && c <= u'\uFEFF') || c == u'\u200F' || c == u'\u061C' ||
           (c >= 0xD802 && c <= 0xD803) || (c >= 0xD83A && c <= 0xD83B);
}

} // namespace

std::u16string isolatedFieldText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 2);
    bool rightToLeft = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isExplicitDirectional(c))
            continue;
        if (isLineBreak(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u' ';
            continue;
        }
        rightToLeft = rightToLeft || mayBeRightToLeft(c);
        out += c;
    }
    if (rightToLeft) {
        out.insert(out.begin(), kFirstStrongIsolate);
        out += kPopDirectionalIsolate;
    }
    return out;
}

} // namespace pyrelto
