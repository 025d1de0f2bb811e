#include "text_encoding.h"

#include <array>

namespace pyrelto {

namespace {

// Code points of the bytes 0x80..0xFF. The five bytes Windows-1252 leaves undefined map to the C1
// code points of the same value, as web browsers read them.
constexpr std::array<char16_t, 128> kWindows1252{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};
constexpr std::array<char16_t, 128> kCp850{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

constexpr unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};

bool startsWithBom(std::span<const std::byte> bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == kBom[0] &&
           static_cast<unsigned char>(bytes[1]) == kBom[1] &&
           static_cast<unsigned char>(bytes[2]) == kBom[2];
}

// Length of the valid UTF-8 sequence at bytes[at], or 0.
std::size_t utf8SequenceLength(std::span<const std::byte> bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() - at < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

TextEncoding detectEncoding(std::span<const std::byte> bytes) {
    if (startsWithBom(bytes)) {
        return TextEncoding::Utf8;
    }
    bool high = false;
    bool validUtf8 = true;
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        high = true;
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) {
            validUtf8 = false;
            break;
        }
        i += length;
    }
    if (!high) {
        return TextEncoding::Ascii;
    }
    if (validUtf8) {
        return TextEncoding::Utf8;
    }
    std::size_t windowsVotes = 0;
    std::size_t dosVotes = 0;
    for (const std::byte b : bytes) {
        switch (static_cast<unsigned char>(b)) {
        // ä ö ü Ä Ö Ü ß ² in Windows-1252
        case 0xE4:
        case 0xF6:
        case 0xFC:
        case 0xC4:
        case 0xD6:
        case 0xDC:
        case 0xDF:
        case 0xB2:
            ++windowsVotes;
            break;
        // ä ö ü Ä Ö Ü ß ² in CP850
        case 0x84:
        case 0x94:
        case 0x81:
        case 0x8E:
        case 0x99:
        case 0x9A:
        case 0xE1:
        case 0xFD:
            ++dosVotes;
            break;
        default:
            break;
        }
    }
    return dosVotes > windowsVotes ? TextEncoding::Cp850 : TextEncoding::Windows1252;
}

std::string decodeToUtf8(std::span<const std::byte> bytes, TextEncoding encoding) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    std::size_t i = 0;
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Ascii) {
        if (startsWithBom(bytes)) {
            i = 3;
        }
        while (i < bytes.size()) {
            const std::size_t length = utf8SequenceLength(bytes, i);
            if (length == 0) {
                appendUtf8(out, 0xFFFD);
                ++i;
            } else {
                out.append(reinterpret_cast<const char*>(bytes.data() + i), length);
                i += length;
            }
        }
        return out;
    }
    const auto& table = encoding == TextEncoding::Cp850 ? kCp850 : kWindows1252;
    for (; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            appendUtf8(out, table[b - 0x80]);
        }
    }
    return out;
}

} // namespace pyrelto
