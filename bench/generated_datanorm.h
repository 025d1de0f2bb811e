#pragma once
// A DATANORM 4 price list of 200,000 articles generated in memory, with the shape
// tests/tools/make_datanorm.py writes to disk: A records, a B record for every third article, a
// P record for every tenth, CP850 umlauts, CR LF, 0x1A.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

namespace pyrelto::bench {

inline constexpr std::size_t kArticles = 200'000;

// With `changePercent`, that share of the articles (always the same ones) list a price 7 %
// higher, as the next list of the same supplier would.
inline std::string makeDatanorm(unsigned changePercent = 0) {
    constexpr std::array<const char*, 8> words{"Oberlagsbahn",
                                               "Unterlagsbahn",
                                               "Dampfsperre",
                                               "Schwei\xE1"
                                               "bahn",
                                               "Voranstrich",
                                               "Dachpappn\x84gel",
                                               "Gef\x84lled\x84mmung",
                                               "Not\x81"
                                               "berlauf"};
    constexpr std::array<const char*, 6> extras{"Schiefer gr\x81n",  "talkumiert", "glatt",
                                                "l\x94semittelfrei", "verzinkt",   "EPS 035"};
    std::mt19937 random(1);
    std::mt19937 changes(2);
    std::string out = "V 010326Dachbaustoffe Nord GmbH";
    out.append(17 + 75, ' ');
    out += "04EUR\r\n";
    const auto add = [&out](std::initializer_list<std::string_view> parts) {
        for (const std::string_view part : parts) {
            out += part;
        }
    };
    for (std::size_t i = 1; i <= kArticles; ++i) {
        const std::string digits = std::to_string(i);
        std::string number = "BN";
        number.append(6 - digits.size(), '0');
        number += digits;
        auto price = 50 + random() % 250000;
        if (changes() % 100 < changePercent) {
            price = price * 107 / 100;
        }
        const std::string cents = std::to_string(price);
        add({"A;N;", number, ";00;", words[random() % words.size()], " ",
             std::to_string(random() % 999), ";", extras[random() % extras.size()], ";",
             std::to_string(1 + i % 2), ";", std::to_string(i % 4), ";Rolle;", cents, ";G",
             std::to_string(i % 40), ";HWG;\r\n"});
        if (i % 3 == 0) {
            add({"B;N;", number, ";MATCH;;;;;;;4000", std::to_string(1000000000 + i), ";;;;\r\n"});
        }
        if (i % 10 == 0) {
            add({"P;A;", number, ";1;", cents, ";1;0;;;;\r\n"});
        }
    }
    out += '\x1A';
    return out;
}

} // namespace pyrelto::bench
