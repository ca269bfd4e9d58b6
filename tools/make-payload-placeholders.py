#!/usr/bin/env python3
"""Makes the setup program's own payload files in setup/payload/.

The build embeds real payloads when it is given them (PAYLEVIX_WORKBOOK_FILE,
PAYLEVIX_HELP_FILE, PAYLEVIX_LICENCE_FILE); otherwise it embeds what this script made and
what is committed beside it:

  Paylevix.ico               the program icon: 32x32, 16 colours
  workbook-placeholder.xla   a small valid compound document in place of the add-in workbook
  help-placeholder.chm       a small stand-in for the help file
  licence-ru.rtf             the licence agreement, RTF in code page 1251, from licence-ru.txt

Run it again after editing licence-ru.txt:  python3 tools/make-payload-placeholders.py
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PAYLOAD = os.path.join(HERE, "..", "setup", "payload")


# --- icon -----------------------------------------------------------------------------------

# The standard 16-colour palette (as RGB).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, GREY, SILVER, GREEN, WHITE = 0, 2, 8, 7, 10, 15

# A "P" in a 7x9 cell grid, drawn on the green badge.
LETTER_P = [
    "######.",
    "##...##",
    "##...##",
    "##...##",
    "######.",
    "##.....",
    "##.....",
    "##.....",
    "##.....",
]


def icon_pixels():
    """Rows top-down of colour indexes, plus a transparency mask (True = transparent)."""
    size = 32
    pixels = [[WHITE] * size for _ in range(size)]
    transparent = [[True] * size for _ in range(size)]
    # A sheet with a folded look: border, grid lines every 5 pixels.
    for y in range(2, 30):
        for x in range(3, 29):
            transparent[y][x] = False
            edge = x in (3, 28) or y in (2, 29)
            grid = (x - 3) % 5 == 0 or (y - 2) % 5 == 0
            pixels[y][x] = GREY if edge else (SILVER if grid else WHITE)
    # The green badge with the letter, in the lower right part of the sheet.
    for y in range(12, 29):
        for x in range(12, 28):
            pixels[y][x] = DARK_GREEN if x in (12, 27) or y in (12, 28) else GREEN
    for row, line in enumerate(LETTER_P):
        for col, ch in enumerate(line):
            if ch == "#":
                pixels[15 + row][16 + col] = WHITE
    # A shadow on the right and at the bottom.
    for y in range(4, 31):
        transparent[y][29] = False
        pixels[y][29] = GREY
    for x in range(5, 30):
        transparent[30][x] = False
        pixels[30][x] = GREY
    return pixels, transparent


def make_icon():
    pixels, transparent = icon_pixels()
    size = 32
    xor = bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = pixels[y]
        for x in range(0, size, 2):
            xor.append((row[x] << 4) | row[x + 1])
    mask = bytearray()
    for y in reversed(range(size)):
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if transparent[y][x] else 0)
        mask += struct.pack(">I", bits)  # 32 bits: already a multiple of 4 bytes
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


# --- compound document -------------------------------------------------------------------------

FREESECT, ENDOFCHAIN, FATSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


def directory_entry(name, kind, colour, left, right, child, start, size):
    encoded = (name + "\0").encode("utf-16-le") if name else b""
    return (encoded.ljust(64, b"\0") + struct.pack("<HBB", len(encoded), kind, colour)
            + struct.pack("<III", left, right, child) + b"\0" * 16 + struct.pack("<I", 0)
            + b"\0" * 16 + struct.pack("<IIi", start, size, 0))


def make_compound_document():
    """Version 3, 512-byte sectors: FAT in sector 0, directory in sector 1, then one stream
    large enough (4,096 bytes) to live in ordinary sectors rather than the mini stream."""
    text = ("Paylevix add-in workbook placeholder. The build embeds this compound document "
            "when it is given no real add-in workbook (PAYLEVIX_WORKBOOK_FILE).\r\n")
    data = (text.encode("ascii") * 40)[:4096]
    data_sectors = len(data) // 512
    fat = [FATSECT, ENDOFCHAIN] + [2 + i + 1 for i in range(data_sectors - 1)] + [ENDOFCHAIN]
    fat += [FREESECT] * (128 - len(fat))
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
              + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
              + struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, ENDOFCHAIN, 0, ENDOFCHAIN, 0)
              + struct.pack("<I", 0) + struct.pack("<I", FREESECT) * 108)
    assert len(header) == 512
    directory = (directory_entry("Root Entry", 5, 1, NOSTREAM, NOSTREAM, 1, ENDOFCHAIN, 0)
                 + directory_entry("Paylevix", 2, 1, NOSTREAM, NOSTREAM, NOSTREAM, 2, len(data))
                 + directory_entry("", 0, 0, NOSTREAM, NOSTREAM, NOSTREAM, 0, 0) * 2)
    assert len(directory) == 512
    return header + struct.pack("<128I", *fat) + directory + data


# --- help file -----------------------------------------------------------------------------------

def make_help():
    text = ("Paylevix help file placeholder.\r\n"
            "The build embeds this file when it is given no real help file "
            "(PAYLEVIX_HELP_FILE).\r\n")
    # Every byte value once as well, so that a copy that alters any byte is caught.
    return text.encode("ascii") + bytes(range(256))


# --- licence -------------------------------------------------------------------------------------

def rtf_text(text):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            out.append("".join("\\'%02x" % b for b in ch.encode("cp1251")))
    return "".join(out)


def wrap(line, width=96):
    """Breaks an RTF line after spaces: line ends are no text in RTF."""
    lines, current = [], ""
    for word in line.split(" "):
        if current and len(current) + len(word) + 1 > width:
            lines.append(current + " ")
            current = word
        else:
            current = current + " " + word if current else word
    lines.append(current)
    return lines


def make_licence():
    with open(os.path.join(PAYLOAD, "licence-ru.txt"), encoding="utf-8") as f:
        source = f.read()
    body = []
    for paragraph in source.split("\n\n"):
        lines = paragraph.strip("\n").split("\n")
        if lines[0].startswith("# "):
            body.append(r"\pard\qc\sb120\sa240\b\fs28 " + rtf_text(lines[0][2:]) + r"\b0\fs20\par")
        elif lines[0].startswith("## "):
            body.append(r"\pard\qc\sb240\sa120\b\fs22 " + rtf_text(lines[0][3:]) + r"\b0\fs20\par")
        else:
            body.append(r"\pard\qj\sa120 " + r"\line ".join(rtf_text(l) for l in lines) + r"\par")
    head = (r"{\rtf1\ansi\ansicpg1251\deff0\deflang1049"
            r"{\fonttbl{\f0\fswiss\fcharset204 Arial;}{\f1\froman\fcharset204 Times New Roman;}}"
            "\r\n" r"\viewkind4\uc1\f0\fs20")
    lines = [head]
    for item in body:
        lines += wrap(item)
    lines.append("}")
    rtf = "\r\n".join(lines) + "\r\n"
    rtf.encode("ascii")  # every non-ASCII character is escaped
    if len(rtf) > 65535:
        sys.exit("licence-ru.rtf: %d characters, more than a string resource holds" % len(rtf))
    return rtf.encode("ascii")


def main():
    outputs = {
        "Paylevix.ico": make_icon(),
        "workbook-placeholder.xla": make_compound_document(),
        "help-placeholder.chm": make_help(),
        "licence-ru.rtf": make_licence(),
    }
    for name, data in outputs.items():
        with open(os.path.join(PAYLOAD, name), "wb") as f:
            f.write(data)
        print("%-26s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
