#!/usr/bin/env python3
"""Makes the Windows icon from the program's own 32-by-32 artwork.

Usage: make-icon.py ARTWORK.xpm OUTPUT.ico

The .ico holds the picture at 16, 24, 32, 48 and 256 pixels, so that Explorer, the title bar
and the taskbar each find a size they need at any display scale. Each size is an area-weighted
resampling of the artwork (the 256-pixel one replicates its pixels); the small sizes are 32-bit
bitmaps with alpha, the 256-pixel one a PNG, as Windows expects.
"""

import re
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)


def read_xpm(path):
    with open(path, encoding="ascii") as xpm:
        strings = re.findall(r'"((?:[^"\\]|\\.)*)"', xpm.read())
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    palette = {}
    for line in strings[1 : 1 + colours]:
        key, colour = line[:per_pixel], line[per_pixel:].split()
        value = colour[colour.index("c") + 1]
        if value.lower() == "none":
            palette[key] = (0, 0, 0, 0)
        else:
            rgb = int(value.lstrip("#"), 16)
            palette[key] = (rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF, 255)
    rows = strings[1 + colours : 1 + colours + height]
    return width, height, [
        [palette[row[x * per_pixel : (x + 1) * per_pixel]] for x in range(width)] for row in rows
    ]


def resample(width, height, pixels, size):
    """Area-weighted average with premultiplied alpha; returns rows of RGBA."""
    out = []
    for ty in range(size):
        y0, y1 = ty * height / size, (ty + 1) * height / size
        row = []
        for tx in range(size):
            x0, x1 = tx * width / size, (tx + 1) * width / size
            sums = [0.0, 0.0, 0.0, 0.0]
            for sy in range(int(y0), min(height, int(y1) + 1)):
                wy = min(y1, sy + 1) - max(y0, sy)
                if wy <= 0:
                    continue
                for sx in range(int(x0), min(width, int(x1) + 1)):
                    wx = min(x1, sx + 1) - max(x0, sx)
                    if wx <= 0:
                        continue
                    r, g, b, a = pixels[sy][sx]
                    w = wx * wy * a / 255
                    sums[0] += r * w
                    sums[1] += g * w
                    sums[2] += b * w
                    sums[3] += wx * wy * a
            area = (x1 - x0) * (y1 - y0)
            alpha = sums[3] / area
            cover = alpha / 255 * area
            if cover > 0:
                rgb = [round(c / cover) for c in sums[:3]]
            else:
                rgb = [0, 0, 0]
            row.append((*rgb, round(alpha)))
        out.append(row)
    return out


def bitmap_entry(rows, size):
    """A BITMAPINFOHEADER, bottom-up BGRA pixels and the 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(
        bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row
    )
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_entry(rows, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main():
    artwork, output = sys.argv[1:3]
    width, height, pixels = read_xpm(artwork)
    images = []
    for size in SIZES:
        rows = resample(width, height, pixels, size)
        images.append((size, png_entry(rows, size) if size >= 256 else bitmap_entry(rows, size)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        directory += struct.pack(
            "<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset
        )
        offset += len(data)
    with open(output, "wb") as ico:
        ico.write(directory + b"".join(data for _, data in images))


if __name__ == "__main__":
    main()
