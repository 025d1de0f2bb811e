// Any bytes as user text in the e-invoice: the escaped text must hold no markup, unescape to
// exactly the safe text, and the safe text must be well-formed UTF-8 of characters XML 1.0 allows
// (and stay as it is when made safe again).

#include "xml_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace pyrelto;

namespace {

bool onlyXmlCharacters(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const std::size_t length = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
        if (i + length > text.size()) {
            return false;
        }
        char32_t c = length == 1 ? b0 : b0 & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (b & 0x3F);
        }
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!allowed) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string unescaped(std::string_view text, bool& ok) {
    static constexpr std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'},   {"&lt;", '<'},   {"&gt;", '>'}, {"&quot;", '"'},
        {"&apos;", '\''}, {"&#13;", '\r'}, {"&#9;", '\t'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '<' || text[i] == '>' || text[i] == '"' || text[i] == '\'' ||
            text[i] == '\r') {
            ok = false;
        }
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        bool known = false;
        for (const auto& [entity, c] : entities) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size();
                known = true;
                break;
            }
        }
        if (!known) {
            ok = false;
            ++i;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string safe = xmlSafeText(input);
    if (!onlyXmlCharacters(safe) || xmlSafeText(safe) != safe) {
        __builtin_trap();
    }
    bool ok = true;
    if (unescaped(xmlEscaped(input), ok) != safe || !ok) {
        __builtin_trap();
    }
    return 0;
}
