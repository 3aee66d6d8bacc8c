#!/usr/bin/env python3
"""Sets (or with --check, checks) the checksum of every sentence in NMEA logs.

    python3 tools/nmea/checksums.py [--check] FILE...

A sentence is a line starting with '$' that ends in '*' and two characters; the logs are
written by hand with any two characters there, then this fills in the right ones. A
sentence right after a comment line ending in "bad checksum" is left as it is.
"""
import argparse
import sys


def checksum(body):
    value = 0
    for ch in body.encode("latin-1"):
        value ^= ch
    return "%02X" % value


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="only report wrong checksums")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    wrong = 0
    for name in args.files:
        with open(name, encoding="latin-1", newline="") as f:
            lines = f.read().split("\n")
        keep = False
        for i, line in enumerate(lines):
            text = line.rstrip("\r")
            if text.startswith("#"):
                keep = text.rstrip().endswith("bad checksum")
                continue
            if text.startswith("$") and len(text) >= 4 and text[-3] == "*" and not keep:
                good = checksum(text[1:-3])
                if text[-2:] != good:
                    wrong += 1
                    if args.check:
                        print("%s:%d: checksum %s, should be %s" % (name, i + 1, text[-2:], good))
                    lines[i] = text[:-2] + good + line[len(text):]
            keep = False
        if not args.check:
            with open(name, "w", encoding="latin-1", newline="") as f:
                f.write("\n".join(lines))
    return 1 if args.check and wrong else 0


if __name__ == "__main__":
    sys.exit(main())
