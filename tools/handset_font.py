#!/usr/bin/env python3
"""Makes the Wine prefix's handset font from a Japanese UI gothic.

    handset_font.py SOURCE.ttf OUT.ttf FAMILY SCALE

A handset draws its dialogs in a narrow gothic: the main window's template puts its "編集"
buttons at 164 dialog units, which fit the 234-pixel client area of a 240x320 screen only with
a horizontal base unit of 5 pixels at 8 points. The Debian gothics closest to the handset's
(Ume UI Gothic, made to MS UI Gothic's metrics) measure 5.8 there, so the font is drawn a
little smaller than its nominal size: the em grows by 1/SCALE while outlines, advances and
vertical metrics stay in their font units. Hinting still works (it runs in pixels); tables of
per-size device metrics (hdmx, VDMX, LTSH) and embedded bitmaps would no longer match and are
left out. The font is renamed to FAMILY so that it never stands in for its source.
Standard library only: the harness runs it once per prefix.
"""

import struct
import sys

DROPPED = {b"hdmx", b"VDMX", b"LTSH", b"EBDT", b"EBLC", b"EBSC", b"DSIG"}


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(f">{len(data) // 4}I", data)) & 0xFFFFFFFF


def name_table(family):
    """Windows-platform English names only: family, style, full name, PostScript name."""
    postscript = family.replace(" ", "-")
    records = [(1, family), (2, "Regular"), (3, family), (4, family), (6, postscript)]
    strings = b""
    entries = b""
    for name_id, text in records:
        encoded = text.encode("utf-16-be")
        entries += struct.pack(">6H", 3, 1, 0x409, name_id, len(encoded), len(strings))
        strings += encoded
    header = struct.pack(">3H", 0, len(records), 6 + 12 * len(records))
    return header + entries + strings


def convert(source, family, scale):
    if source[:4] not in (b"\0\1\0\0", b"true"):
        raise ValueError("not a single TrueType font")
    count = struct.unpack(">H", source[4:6])[0]
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", source[12 + 16 * i : 28 + 16 * i])
        tables[tag] = bytearray(source[offset : offset + length])
    for tag in DROPPED:
        tables.pop(tag, None)
    head = tables[b"head"]
    upem = struct.unpack(">H", head[18:20])[0]
    struct.pack_into(">H", head, 18, min(16384, round(upem / scale)))
    struct.pack_into(">I", head, 8, 0)  # checkSumAdjustment, set below
    tables[b"name"] = bytearray(name_table(family))

    tags = sorted(tables)
    power = 1
    while power * 2 <= len(tags):
        power *= 2
    directory = struct.pack(">IHHHH", 0x00010000, len(tags), power * 16, power.bit_length() - 1,
                            len(tags) * 16 - power * 16)
    offset = 12 + 16 * len(tags)
    body = b""
    for tag in tags:
        data = bytes(tables[tag])
        directory += struct.pack(">4sIII", tag, checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    font = bytearray(directory + body)
    head_at = offset + sum(len(tables[t]) + (-len(tables[t]) % 4) for t in tags[: tags.index(b"head")])
    struct.pack_into(">I", font, head_at + 8, (0xB1B0AFBA - checksum(bytes(font))) & 0xFFFFFFFF)
    return bytes(font)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    source, out, family, scale = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
    if not 0.5 <= scale <= 1:
        sys.exit("SCALE must lie between 0.5 and 1")
    with open(source, "rb") as f:
        data = convert(f.read(), family, scale)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
