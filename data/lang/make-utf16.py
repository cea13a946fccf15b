#!/usr/bin/env python3
"""Writes a UTF-8 dictionary source (one key=value a line) as the UTF-16LE file with a byte-order mark
that the program reads. Refuses a source that is not UTF-8 or whose lines have no key.

usage: make-utf16.py SOURCE OUTPUT
"""
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1:]
    try:
        with open(source, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError) as e:
        sys.exit(f"make-utf16.py: {source}: {e}")
    for number, line in enumerate(lines, 1):
        if line.strip() and (line[0] in " \t=" or "=" not in line):
            sys.exit(f"make-utf16.py: {source}:{number}: not a key=value line")
    text = "".join(line + "\r\n" for line in lines)
    with open(output, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
