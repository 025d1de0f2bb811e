// Price list files assembled by hand from the format descriptions (docs/catalogue.md), byte for
// byte: DATANORM in CP850 with CR LF and the closing 0x1A, CSV in the three encodings.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace pyrelto::test {

inline std::span<const std::byte> bytesOf(std::string_view text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

// Header: "V", a free byte, date 01.03.26, info text 1 (the supplier, 40 characters), info texts 2
// (40) and 3 (35), version "04", currency "EUR" — 128 characters.
inline std::string datanormHeader(std::string_view version = "04",
                                  std::string_view currency = "EUR",
                                  std::string_view date = "010326") {
    std::string v = "V ";
    v += date;
    v += "Dachbaustoffe Nord GmbH                 "; // 40
    v += "Preisliste Bitumenbahnen 2026           "; // 40
    v += "                                   ";      // 35
    v += version;
    v += currency;
    return v + "\r\n";
}

// Four articles with price units 0-3, both price flags, CP850 umlauts (0x81 ü, 0x84 ä, 0x94 ö,
// 0x8E Ä, 0xE1 ß, 0xFD ²), a B record with an EAN, a long text record the catalogue skips, and a
// P record carrying two prices.
inline std::string datanormFixture() {
    return datanormHeader() +
           // price unit 0 (per 1), list price 74,93 per roll
           "A;N;BB-OL-5;00;Oberlagsbahn PYE PV200 S5;Schiefer gr\x81n 7,5 "
           "m\xFD;1;0;Rolle;7493;OB1;DAB;\r\n"
           // B: 0 B, 1 flag, 2 number, 3 match code, 4 alternative number, 5 catalogue page,
           // 6-9 copper surcharge, 10 EAN
           "B;N;BB-OL-5;OBERLAGE;;;;;;;4012345678901;;;;\r\n"
           "T;N;BB-OL-5;1;Langtext der Oberlage;\r\n"
           // price unit 3 (per 1000), net price 18,50
           "A;N;DN-NAGEL;00;Dachpappn\x84gel verzinkt;2,8 x 20 mm;2;3;Stk;1850;NA;BEF;\r\n"
           // price unit 1 (per 10)
           "A;N;VA-GL-10;00;Voranstrich Gl\x81"
           "ck;l\x94semittelfrei;1;1;Eimer;24990;VA;ANS;\r\n"
           // price unit 2 (per 100), long text key in field 12
           "A;N;KS-\x8E"
           "BS;00;Kaltselbstklebebahn \x8Eu\xE1"
           "ere;;1;2;m\xFD;123456;KS;DAB;LT1\r\n"
           // P: two price blocks of nine fields: number, flag, cents, discount flag, discount ...
           "P;A;KS-\x8E"
           "BS;2;120000;1;0;;;;;VA-GL-10;1;25990;;;;;;;\r\n"
           "\x1A";
}

} // namespace pyrelto::test
