#!/usr/bin/env python3
"""Writes a DATANORM 4 price list of N articles for the scale benchmarks and the re-pricing runs.

Usage: make_datanorm.py N OUT [--seed S] [--change PERCENT] [--date DDMMYY]

The articles are numbered BN000001 ... and laid out as docs/catalogue.md describes the format:
CP850, CR LF, a 128-character header record, an A record per article (price units 0-3 and both
price flags in turn), a B record with an EAN for every third, a P record for every tenth, and the
closing 0x1A byte. With --change, that percentage of the articles (chosen by the seed) get a
price 7 % higher, so two files with the same seed differ exactly there.
"""
import argparse
import random

WORDS = ["Oberlagsbahn", "Unterlagsbahn", "Dampfsperre", "Schweißbahn", "Kaltselbstklebebahn",
         "Voranstrich", "Dachpappnägel", "Attikaabdeckung", "Dachrinne", "Gefälledämmung",
         "Bitumenkleber", "Traufblech", "Lichtkuppel", "Notüberlauf", "Flüssigabdichtung"]
EXTRAS = ["Schiefer grün", "Schiefer rot", "talkumiert", "glatt", "PYE PV 200 S5",
          "G 200 S4", "lösemittelfrei", "verzinkt", "Kupfer", "Aluminium", "Ø 100 mm", "EPS 035"]
UNITS = ["Rolle", "m²", "Stk", "kg", "l", "lfm", "Eimer"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("count", type=int)
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--change", type=float, default=0.0)
    parser.add_argument("--date", default="010326")
    args = parser.parse_args()

    names = random.Random(args.seed)
    changes = random.Random(args.seed + 1)
    lines = []
    header = "V " + args.date + "Dachbaustoffe Nord GmbH".ljust(40) + \
        "Generierte Preisliste".ljust(40) + "".ljust(35) + "04EUR"
    assert len(header) == 128
    lines.append(header)
    for i in range(1, args.count + 1):
        number = "BN%06d" % i
        text1 = names.choice(WORDS) + " " + str(names.randint(1, 999))
        text2 = names.choice(EXTRAS)
        unit = UNITS[i % len(UNITS)]
        cents = names.randint(50, 250000)
        if changes.random() * 100 < args.change:
            cents = cents * 107 // 100
        flag = 1 + i % 2
        unit_code = i % 4
        lines.append("A;N;%s;00;%s;%s;%d;%d;%s;%d;G%02d;HWG%d;" %
                     (number, text1, text2, flag, unit_code, unit, cents, i % 40, i % 7))
        if i % 3 == 0:
            lines.append("B;N;%s;%s;;;;;;;40%011d;;;;" % (number, text1.split()[0].upper()[:15], i))
        if i % 10 == 0:
            lines.append("P;A;%s;%d;%d;1;0;;;;" % (number, flag, cents))
    data = ("\r\n".join(lines) + "\r\n").encode("cp850") + b"\x1a"
    with open(args.out, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
