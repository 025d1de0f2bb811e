#include "xml_writer.h"

#include <cstdint>
#include <stdexcept>

namespace pyrelto {

namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

bool allowedInXml(char32_t c) {
    if (c == 0x9 || c == 0xA || c == 0xD) {
        return true;
    }
    if (c < 0x20) {
        return false;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
        return false;
    }
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// Length of the well-formed UTF-8 sequence at `text[i]` and its code point; 0 when malformed.
std::size_t decode(std::string_view text, std::size_t i, char32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    std::size_t length = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms and code points beyond U+10FFFF.
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF))) {
        return 0;
    }
    return length;
}

} // namespace

std::string xmlSafeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t length = decode(text, i, c);
        if (length == 0) {
            out += replacement;
            ++i;
        } else {
            if (allowedInXml(c)) {
                out.append(text.substr(i, length));
            } else {
                out += replacement;
            }
            i += length;
        }
    }
    return out;
}

std::string xmlEscaped(std::string_view text) {
    const std::string safe = xmlSafeText(text);
    std::string out;
    out.reserve(safe.size());
    for (const char c : safe) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            // Attribute value normalisation would turn a raw tab into a space.
            out += "&#9;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Attribute value normalisation turns a raw line feed into a space; a reference survives it.
static std::string attributeEscaped(std::string_view text) {
    std::string out;
    for (const char c : xmlEscaped(text)) {
        if (c == '\n') {
            out += "&#10;";
        } else {
            out += c;
        }
    }
    return out;
}

XmlWriter::XmlWriter() {
    out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
}

void XmlWriter::indent() {
    out_.append(open_.size() * 2, ' ');
}

void XmlWriter::open(std::string_view name,
                     const std::vector<std::pair<std::string_view, std::string>>& attributes) {
    indent();
    out_ += '<';
    out_ += name;
    for (const auto& [key, value] : attributes) {
        out_ += ' ';
        out_ += key;
        out_ += "=\"";
        out_ += attributeEscaped(value);
        out_ += '"';
    }
    out_ += ">\n";
    open_.emplace_back(name);
}

void XmlWriter::close() {
    if (open_.empty()) {
        throw std::logic_error("XmlWriter::close without an open element");
    }
    const std::string name = std::move(open_.back());
    open_.pop_back();
    indent();
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

void XmlWriter::element(std::string_view name, std::string_view text,
                        const std::vector<std::pair<std::string_view, std::string>>& attributes) {
    indent();
    out_ += '<';
    out_ += name;
    for (const auto& [key, value] : attributes) {
        out_ += ' ';
        out_ += key;
        out_ += "=\"";
        out_ += attributeEscaped(value);
        out_ += '"';
    }
    out_ += '>';
    out_ += xmlEscaped(text);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

const std::string& XmlWriter::finish() {
    if (!open_.empty()) {
        throw std::logic_error("XmlWriter::finish with open elements");
    }
    return out_;
}

} // namespace pyrelto
