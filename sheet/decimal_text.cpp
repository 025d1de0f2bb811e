#include "decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace pyrelto {

namespace {

__extension__ typedef unsigned __int128 u128;

// The raw parts of an x87 80-bit extended value: 64-bit significand with its explicit integer
// bit, and the biased 15-bit exponent.
struct Extended {
    std::uint64_t mantissa;
    int exponent; // unbiased, for the significand read as an integer
};

Extended split(long double v) {
    static_assert(std::numeric_limits<long double>::digits == 64,
                  "x87 extended precision expected");
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &v, sizeof v);
    std::uint64_t m;
    std::uint16_t se;
    std::memcpy(&m, bytes, 8);
    std::memcpy(&se, bytes + 8, 2);
    int biased = se & 0x7FFF;
    if (biased == 0) {
        biased = 1; // denormal
    }
    return {m, biased - 16383 - 63};
}

constexpr std::uint64_t kPow10[20] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL,
                                      10000000000000000000ULL};

// Decimal digits held without allocating: the formatting runs on every keystroke.
struct Digits {
    char d[48];
    int n = 0;        // digits in d, most significant first, no trailing zeros after rounding
    int exponent = 0; // value = 0.d × 10^exponent
};

// Decimal digits of an unsigned 128-bit integer, most significant first.
int u128Digits(u128 value, char* out) {
    char tmp[40];
    int n = 0;
    if (value <= ~std::uint64_t{0}) {
        auto v = static_cast<std::uint64_t>(value); // 64-bit division is far cheaper
        do {
            tmp[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
            v /= 10;
        } while (v != 0);
    } else {
        do {
            tmp[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
            value /= 10;
        } while (value != 0);
    }
    for (int i = 0; i < n; ++i) {
        out[i] = tmp[n - 1 - i];
    }
    return n;
}

void dropTrailingZeros(Digits& x) {
    while (x.n > 0 && x.d[x.n - 1] == '0') {
        --x.n;
    }
}

// Keeps the first `keep` digits and adds one unit in the last kept place when `up`; a carry out
// of the first digit leaves "1" and raises the exponent.
void roundAt(Digits& x, int keep, bool up) {
    x.n = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && x.d[i] == '9') {
            x.d[i] = '0';
            --i;
        }
        if (i < 0) {
            x.d[0] = '1';
            x.n = 1;
            ++x.exponent;
        } else {
            ++x.d[i];
        }
    }
    dropTrailingZeros(x);
}

// Rounds to 18 significant digits, half to even on the exact value (`sticky`: non-zero digits
// follow the ones held).
void roundTo18(Digits& x, bool sticky) {
    constexpr int kKeep = 18;
    if (x.n <= kKeep) {
        dropTrailingZeros(x);
        return;
    }
    const char first = x.d[kKeep];
    bool rest = sticky;
    for (int i = kKeep + 1; i < x.n && !rest; ++i) {
        rest = x.d[i] != '0';
    }
    const bool lastOdd = ((x.d[kKeep - 1] - '0') & 1) != 0;
    roundAt(x, kKeep, first > '5' || (first == '5' && (rest || lastOdd)));
}

// Exact digits of a value whose binary exponent keeps all work inside 128 bits; that covers every
// magnitude between about 4e-19 and 3e38, which is all a sheet normally holds.
bool fastExpansion(long double a, Digits& x) {
    const Extended e = split(a);
    constexpr int kWant = 20; // 18 digits, the rounding digit and one more
    bool sticky = false;
    if (e.exponent >= 0) {
        if (e.exponent > 64) {
            return false;
        }
        x.n = u128Digits(static_cast<u128>(e.mantissa) << e.exponent, x.d);
        x.exponent = x.n;
    } else {
        const int shift = -e.exponent;
        if (shift > 124) {
            return false;
        }
        const u128 mask = (u128{1} << shift) - 1;
        const u128 whole = shift >= 64 ? 0 : (static_cast<u128>(e.mantissa) >> shift);
        u128 frac = static_cast<u128>(e.mantissa) & mask;
        x.n = 0;
        x.exponent = 0;
        if (whole != 0) {
            x.n = u128Digits(whole, x.d);
            x.exponent = x.n;
        }
        // Several digits per step: as many as 10^k times the remainder leaves room for in
        // 128 bits (k <= (128 - shift) * log10(2), at most 19 so a chunk fits 64 bits).
        while (frac != 0 && x.n < kWant) {
            const int k = std::clamp((128 - shift) * 30102 / 100000, 1, 19);
            const u128 product = frac * kPow10[k];
            auto chunk = static_cast<std::uint64_t>(product >> shift);
            frac = product & mask;
            char buf[19];
            for (int i = k - 1; i >= 0; --i) {
                buf[i] = static_cast<char>('0' + static_cast<int>(chunk % 10));
                chunk /= 10;
            }
            for (int i = 0; i < k; ++i) {
                if (x.n == 0 && buf[i] == '0') {
                    --x.exponent; // a leading zero after the point
                    continue;
                }
                x.d[x.n++] = buf[i];
            }
        }
        sticky = frac != 0;
    }
    roundTo18(x, sticky);
    return true;
}

// Any other magnitude: the standard library's scientific conversion, which is exact and
// locale-independent, only slower.
void slowExpansion(long double a, Digits& x) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 17);
    const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
    const auto e = text.find('e');
    x.n = 0;
    for (char c : text.substr(0, e)) {
        if (c != '.') {
            x.d[x.n++] = c;
        }
    }
    int exp10 = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exp10);
    x.exponent = exp10 + 1;
    dropTrailingZeros(x);
}

// |v| as exact-to-18-digits decimal digits; n == 0 for zero.
Digits expand(long double v) {
    Digits x;
    const long double a = std::fabs(v);
    if (a != 0.0L && !fastExpansion(a, x)) {
        slowExpansion(a, x);
    }
    return x;
}

void appendAscii(std::u16string& out, std::string_view s) {
    for (char c : s) {
        out.push_back(static_cast<char16_t>(c));
    }
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Both readers start alike: leading spaces, then an optional sign. Returns the position after them.
std::size_t skipSpacesAndSign(std::u16string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    return i;
}

// 10^n for n in 0..27 is exact in the 64-bit significand, so a short decimal divided or
// multiplied by it is correctly rounded.
long double pow10(int n) {
    long double p = 1.0L;
    long double base = 10.0L;
    while (n > 0) {
        if (n & 1) {
            p *= base;
        }
        base *= base;
        n >>= 1;
    }
    return p;
}

} // namespace

DecimalDigits decimalExpansion18(long double v) {
    const Digits x = expand(v);
    DecimalDigits d;
    d.negative = std::signbit(v);
    d.digits.assign(x.d, static_cast<std::size_t>(x.n));
    d.exponent = x.n == 0 ? 0 : x.exponent;
    return d;
}

std::u16string formatFixed(long double v, int decimals, char16_t separator) {
    if (std::isnan(v)) {
        return u"NAN";
    }
    if (std::isinf(v)) {
        return v < 0 ? u"-INF" : u"INF";
    }
    Digits x = expand(v);
    const auto zero = [&] {
        std::u16string z = u"0";
        if (decimals > 0) {
            z.push_back(separator);
            z.append(static_cast<std::size_t>(decimals), u'0');
        }
        return z;
    };
    if (x.n == 0) {
        return zero();
    }
    // At most 15 significant digits are shown, and none beyond the field's decimals.
    const int k = std::min(x.exponent + decimals, 15);
    if (k < 0) {
        return zero();
    }
    if (k == 0) {
        if (x.d[0] < '5') {
            return zero();
        }
        x.d[0] = '1';
        x.n = 1;
        ++x.exponent;
    } else if (x.n > k) {
        roundAt(x, k, x.d[k] >= '5');
        if (x.n == 0) {
            return zero();
        }
    }

    std::u16string out;
    out.reserve(static_cast<std::size_t>(std::max(x.exponent, 1)) +
                static_cast<std::size_t>(decimals) + 8);
    if (std::signbit(v)) {
        out.push_back(u'-');
    }
    if (x.exponent > 15) {
        out.push_back(static_cast<char16_t>(x.d[0]));
        if (x.n > 1) {
            out.push_back(separator);
            appendAscii(out, std::string_view(x.d + 1, static_cast<std::size_t>(x.n - 1)));
        }
        out.push_back(u'E');
        char buf[16];
        const auto r = std::to_chars(buf, buf + sizeof buf, x.exponent - 1);
        const std::string_view exp(buf, static_cast<std::size_t>(r.ptr - buf));
        for (int pad = static_cast<int>(exp.size()); pad < decimals; ++pad) {
            out.push_back(u'0');
        }
        appendAscii(out, exp);
        return out;
    }
    const auto digitAt = [&](int i) -> char16_t {
        return i >= 0 && i < x.n ? static_cast<char16_t>(x.d[i]) : u'0';
    };
    if (x.exponent <= 0) {
        out.push_back(u'0');
    } else {
        for (int i = 0; i < x.exponent; ++i) {
            out.push_back(digitAt(i));
        }
    }
    if (decimals > 0) {
        out.push_back(separator);
        for (int i = 0; i < decimals; ++i) {
            out.push_back(digitAt(x.exponent + i));
        }
    }
    return out;
}

std::u16string formatInteger(long double v) {
    if (std::isnan(v)) {
        return u"0";
    }
    const long double r = std::nearbyint(v); // the default rounding mode: ties to even
    std::int64_t i;
    if (r >= 9223372036854775807.0L) {
        i = std::numeric_limits<std::int64_t>::max();
    } else if (r <= -9223372036854775808.0L) {
        i = std::numeric_limits<std::int64_t>::min();
    } else {
        i = static_cast<std::int64_t>(r);
    }
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, i);
    std::u16string out;
    appendAscii(out, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
    return out;
}

std::optional<long double> parseFloat(std::u16string_view text, char16_t separator) {
    const std::size_t n = text.size();
    bool negative = false;
    std::size_t i = skipSpacesAndSign(text, negative);
    std::uint64_t mantissa = 0;
    int mantissaDigits = 0; // significant digits held in `mantissa`
    long double big = 0.0L; // used once the digits no longer fit 19 places
    bool useBig = false;
    int scale = 0; // power of ten to apply to the digits
    bool anyDigit = false;
    bool seenSeparator = false;
    for (; i < n; ++i) {
        const char16_t c = text[i];
        if (isDigit(c)) {
            anyDigit = true;
            const int digit = c - u'0';
            if (!useBig && mantissaDigits < 19) {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(digit);
                if (mantissa != 0) {
                    ++mantissaDigits;
                }
            } else {
                if (!useBig) {
                    big = static_cast<long double>(mantissa);
                    useBig = true;
                }
                big = big * 10.0L + digit;
            }
            if (seenSeparator) {
                --scale;
            }
        } else if (c == separator && !seenSeparator) {
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (!anyDigit && !seenSeparator) {
        return std::nullopt;
    }
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            expNegative = text[i] == u'-';
            ++i;
        }
        int exp = 0;
        while (i < n && isDigit(text[i])) {
            if (exp < 100000) {
                exp = exp * 10 + (text[i] - u'0');
            }
            ++i;
        }
        scale += expNegative ? -exp : exp;
    }
    while (i < n && text[i] == u' ') {
        ++i;
    }
    if (i != n) {
        return std::nullopt;
    }
    long double value = useBig ? big : static_cast<long double>(mantissa);
    if (value != 0.0L && scale != 0) {
        // Scale in steps that stay exact as long as possible and cannot overflow an int.
        while (scale > 0) {
            const int s = std::min(scale, 27);
            value *= pow10(s);
            scale -= s;
            if (std::isinf(value)) {
                break;
            }
        }
        while (scale < 0) {
            const int s = std::min(-scale, 27);
            value /= pow10(s);
            scale += s;
            if (value == 0.0L) {
                break;
            }
        }
    }
    if (std::isinf(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::int32_t> parseInteger(std::u16string_view text) {
    const std::size_t n = text.size();
    bool negative = false;
    std::size_t i = skipSpacesAndSign(text, negative);
    int base = 10;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i];
        int digit;
        if (isDigit(c)) {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 2147483648LL) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace pyrelto
