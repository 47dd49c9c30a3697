#!/usr/bin/env python3
"""Packs PNG pictures into one Windows icon file (.ico), each picture kept as
PNG, which Windows has read in icons since Vista.

Usage: make_ico.py OUTPUT.ico PICTURE.png...
"""
import struct
import sys


def png_size(data, name):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"make_ico.py: {name} is not a PNG picture")
    width, height = struct.unpack(">II", data[16:24])
    if not (1 <= width <= 256 and 1 <= height <= 256):
        sys.exit(f"make_ico.py: {name} is {width}x{height}; an icon holds at most 256x256")
    return width, height


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__.strip())
    pictures = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        pictures.append((png_size(data, name), data))
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    entries, bodies = b"", b""
    for (width, height), data in pictures:
        # 256 is written as 0; 32 bits per pixel, one plane.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        bodies += data
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + bodies)


if __name__ == "__main__":
    main(sys.argv)
