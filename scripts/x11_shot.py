#!/usr/bin/env python3
"""Screenshots for the real-display smoke test, with nothing but the standard library.

  x11_shot.py grab XWD X Y W H OUT.png     crop an `xwd` dump to a rectangle
  x11_shot.py same A.png B.png             exit 0 when the pictures match (a few pixels may differ)
"""
import struct
import sys
import zlib

# Pixels that may differ between two pictures of the same state: anti-aliasing of a caret
# or a hover edge, never a changed text or picture.
ALLOWED_DIFFERENT_FRACTION = 0.002
CHANNEL_TOLERANCE = 24


def read_xwd(path, x, y, w, h):
    """The rectangle of an xwd dump as rows of RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    byte_order = header[7]
    # A depth-24 screen keeps each pixel in 32 bits, whatever the header says per pixel.
    if bits_per_pixel not in (24, 32) or bytes_per_line < width * 4:
        sys.exit("x11_shot: only 32-bit pixels are read (run Xvfb with depth 24)")
    if x < 0 or y < 0 or x + w > width or y + h > height:
        sys.exit(f"x11_shot: {w}x{h}+{x}+{y} is not inside the {width}x{height} dump")
    pixels = data[header_size + ncolors * 12:]
    # Pixel value 0x00RRGGBB in the dump's byte order: B G R X or X R G B.
    order = (2, 1, 0) if byte_order == 0 else (1, 2, 3)
    rows = []
    for row in range(y, y + h):
        line = pixels[row * bytes_per_line + 4 * x:row * bytes_per_line + 4 * (x + w)]
        rgb = bytearray(3 * w)
        for c, offset in enumerate(order):
            rgb[c::3] = line[offset::4]
        rows.append(bytes(rgb))
    return rows


def write_png(path, width, height, rows):
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def read_png(path):
    """Reads the 8-bit RGB pictures write_png makes."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    return width, height, [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]


def grab(dump, x, y, w, h, out):
    write_png(out, w, h, read_xwd(dump, x, y, w, h))


def same(a, b):
    wa, ha, ra = read_png(a)
    wb, hb, rb = read_png(b)
    if (wa, ha) != (wb, hb):
        print(f"x11_shot: {a} is {wa}x{ha}, {b} is {wb}x{hb}")
        return False
    different = 0
    for row_a, row_b in zip(ra, rb):
        for x in range(wa):
            if any(abs(row_a[3 * x + c] - row_b[3 * x + c]) > CHANNEL_TOLERANCE for c in range(3)):
                different += 1
    if different > ALLOWED_DIFFERENT_FRACTION * wa * ha:
        print(f"x11_shot: {a} and {b} differ in {different} of {wa * ha} pixels")
        return False
    return True


def main(argv):
    if len(argv) == 8 and argv[1] == "grab":
        grab(argv[2], *map(int, argv[3:7]), argv[7])
        return 0
    if len(argv) == 4 and argv[1] == "same":
        return 0 if same(argv[2], argv[3]) else 1
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
