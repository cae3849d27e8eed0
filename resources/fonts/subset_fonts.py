"""Turns the Inter 4.0 web fonts into the three small TrueType faces the
setup embeds: Medium, Bold and ExtraBold, each cut down to the characters
that the string tables, digits and the percent sign need, and the Greek
and Cyrillic letters of error texts and paths. Writes the
TrueType file and, next to it with the extension .xz, the same bytes as one
xz stream, which the program embeds and unpacks at start."""
import lzma
import sys
from fontTools import subset
from fontTools.ttLib import TTFont

# Latin-1, Latin Extended-A (minus the few never used), modern Greek, the
# Cyrillic of today's languages, dashes, quotes, bullet, ellipsis, the euro
# and the numero sign. Greek and Cyrillic are not in any string table: they
# come in the system's error texts and in paths with user names.
RANGES = [
    (0x0020, 0x007E), (0x00A0, 0x00AC), (0x00AE, 0x0148), (0x014A, 0x0151),
    (0x0154, 0x017F), (0x0384, 0x038A), (0x038C, 0x038C), (0x038E, 0x03A1),
    (0x03A3, 0x03CE), (0x0400, 0x045F), (0x0490, 0x0491), (0x2013, 0x2014),
    (0x2018, 0x201A), (0x201C, 0x201E), (0x2022, 0x2022), (0x2026, 0x2026),
    (0x20AC, 0x20AC), (0x2116, 0x2116),
]


def main(source, target):
    unicodes = [c for lo, hi in RANGES for c in range(lo, hi + 1)]
    options = subset.Options()
    options.layout_features = []     # no shaping: text is drawn glyph by glyph
    options.hinting = False          # outlines are rendered unhinted
    options.notdef_outline = True    # the missing-glyph shape stays drawable
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]  # keep the licence records
    options.drop_tables += ["GSUB", "GPOS", "GDEF", "STAT", "DSIG", "kern"]
    # The head table keeps the source's time stamp instead of the time of the
    # build, so every build embeds the same bytes.
    font = TTFont(source, recalcTimestamp=False)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=unicodes)
    subsetter.subset(font)
    font.flavor = None               # the source is woff2; write plain TrueType
    font.save(target)
    with open(target, "rb") as plain, open(target + ".xz", "wb") as packed:
        packed.write(lzma.compress(plain.read(), format=lzma.FORMAT_XZ, check=lzma.CHECK_CRC32,
                                   preset=9 | lzma.PRESET_EXTREME))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
