#!/usr/bin/env python3
"""Converts the screen file that Xvfb keeps with -fbdir (X window dump format, 24-bit TrueColor,
32 bits per pixel) into a PNG, with the standard library only.
    xwd_to_png.py XWD PNG"""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    (header_size, version, _fmt, depth, width, height, _xoff, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _vclass, red_mask, green_mask, blue_mask, _bits_rgb,
     _cmap_entries, ncolors) = fields[:20]
    if version != 7 or bits_per_pixel != 32 or depth not in (24, 32):
        raise SystemExit(f"{path}: only 24-bit TrueColor dumps are read (version {version}, "
                         f"{bits_per_pixel} bits per pixel, depth {depth})")
    offset = header_size + 12 * ncolors
    endian = "<" if byte_order == 0 else ">"
    shifts = [(mask, (mask & -mask).bit_length() - 1) for mask in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + 4 * width]
        pixels = struct.unpack(f"{endian}{width}I", line)
        row = bytearray(b"\0")  # PNG filter type 0 for the row
        for p in pixels:
            row += bytes((p & mask) >> shift for mask, shift in shifts)
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    write_png(sys.argv[2], *read_xwd(sys.argv[1]))
