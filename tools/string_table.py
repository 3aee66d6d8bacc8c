#!/usr/bin/env python3
"""The string table of a compiled resource file (.res, as windres writes it).

    string_table.py RES OUT.inc    writes the entries as C++ initialisers {id, L"..."}, sorted by id
    string_table.py RES            prints them, one "id<TAB>text" line each (newlines as \\n)

The native build's texts come from here, so native code reads the very entries the program has.
"""
import struct
import sys

RT_STRING = 6


def _name(data, at):
    """A resource type or name field: (value, offset after it)."""
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_strings(data):
    """Every string table entry of the .res bytes, as {id: text}."""
    strings = {}
    at = 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        if header < 8:
            raise ValueError("damaged resource header at %d" % at)
        kind, after = _name(data, at + 8)
        block, _ = _name(data, after)
        body = data[at + header : at + header + size]
        if kind == RT_STRING and isinstance(block, int) and block > 0:
            pos = 0
            for index in range(16):
                (length,) = struct.unpack_from("<H", body, pos)
                pos += 2
                if length:
                    strings[(block - 1) * 16 + index] = body[pos : pos + 2 * length].decode("utf-16-le")
                pos += 2 * length
        at += header + size
        at = (at + 3) & ~3
    return strings


def cpp_literal(text):
    out = []
    for ch in text:
        code = ord(ch)
        if ch in '"\\':
            out.append("\\" + ch)
        elif ch in "\n\r\t":
            out.append({"\n": "\\n", "\r": "\\r", "\t": "\\t"}[ch])
        elif code < 0x20 or code == 0x7F:
            out.append("\\%03o" % code)
        elif 0x20 <= code < 0x7F:
            out.append(ch)
        else:
            # A \U escape ends at its eighth digit, so a hex digit after it stays a character.
            out.append("\\U%08X" % code)
    return 'L"' + "".join(out) + '"'


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        strings = read_strings(f.read())
    if len(argv) == 3:
        lines = ["{%d, %s}," % (i, cpp_literal(strings[i])) for i in sorted(strings)]
        with open(argv[2], "w", encoding="ascii") as f:
            f.write("// Made by tools/string_table.py from the compiled resources; do not edit.\n")
            f.write("\n".join(lines) + "\n")
    else:
        for i in sorted(strings):
            print("%d\t%s" % (i, strings[i].replace("\n", "\\n")))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
