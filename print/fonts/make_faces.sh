#!/usr/bin/env bash
# Derives the documents' faces from Debian's DejaVu Sans (fonts-dejavu-core): the same outlines,
# metrics and kerning, without the TrueType hinting programs, under a family name of their own.
# Qt's PDF writer reloads each embedded glyph at a fresh size, and with the programs FreeType ran
# the font's set-up program again for every glyph: nine tenths of the cost of an offer's fonts,
# for pixels that paper never has. The name of their own keeps the installed DejaVu Sans, which
# the window may use, untouched. Needs python3-fonttools.
# Usage: print/fonts/make_faces.sh   (writes print/fonts/DejaVuSansUnhinted*.ttf)
set -euo pipefail
cd "$(dirname "$0")"
/usr/bin/python3 - <<'PY'
from fontTools.ttLib import TTFont

FAMILY = "DejaVu Sans Unhinted"
for source, style, target in (("DejaVuSans.ttf", "Book", "DejaVuSansUnhinted.ttf"),
                              ("DejaVuSans-Bold.ttf", "Bold", "DejaVuSansUnhinted-Bold.ttf")):
    font = TTFont("/usr/share/fonts/truetype/dejavu/" + source)
    for tag in ("fpgm", "prep", "cvt ", "hdmx", "LTSH", "VDMX"):
        if tag in font:
            del font[tag]
    glyf = font["glyf"]
    for name in font.getGlyphOrder():
        glyph = glyf[name]
        if hasattr(glyph, "program"):
            glyph.program.fromBytecode(b"")
    maxp = font["maxp"]
    for field in ("maxSizeOfInstructions", "maxFunctionDefs", "maxInstructionDefs",
                  "maxStackElements", "maxStorage", "maxTwilightPoints"):
        setattr(maxp, field, 0)
    maxp.maxZones = 1
    postscript = "DejaVuSansUnhinted" + ("" if style == "Book" else "-" + style)
    version = font["head"].fontRevision
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (16, 17, 18):
            names.removeNames(nameID=record.nameID)
    for platform, encoding, language in ((3, 1, 0x409), (1, 0, 0)):
        names.setName(FAMILY, 1, platform, encoding, language)
        names.setName(style, 2, platform, encoding, language)
        names.setName("%s %s %.2f" % (FAMILY, style, version), 3, platform, encoding, language)
        names.setName(FAMILY if style == "Book" else FAMILY + " " + style, 4, platform, encoding,
                      language)
        names.setName(postscript, 6, platform, encoding, language)
    font.save(target)
    print(target)
PY
