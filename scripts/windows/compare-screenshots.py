#!/usr/bin/python3
"""Compares the desktop tool's screenshot walk under Wine with the Linux one.

Both runs draw the same windows from the same layouts with the same font files, so every
picture must exist on both sides with the same size, and differ in only a small share of its
pixels. Glyphs may sit a pixel apart (hinting and line metrics differ), so a pixel counts as
different only when nothing within one pixel of it on the other side looks like it. A missing
text, a box drawn for a glyph the font lacks, or a control out of place still shows.
The virtual key panel beside the window is plain Qt in the system's own style and font, so in
its picture only the tool's window is compared.
usage: compare-screenshots.py LINUX_DIR WINDOWS_DIR [MAX_DIFFERENT_SHARE]
"""
import pathlib
import sys

from PIL import Image, ImageChops, ImageFilter

# Grey levels by which a pixel may lie outside its neighbourhood on the other side.
TOLERANCE = 48
# Tiles in which no more than this share of the pixels may differ.
TILE, TILE_LIMIT = 12, 0.3
# Pictures of the tool's window beside something drawn in the system's own style.
BESIDE_PANEL = {"virtual_key_panel.png": "main_with_key.png"}


def unmatched(a, b):
    """The pixels of a that no pixel within one pixel of the same place in b resembles."""
    low, high = b.filter(ImageFilter.MinFilter(3)), b.filter(ImageFilter.MaxFilter(3))
    below = ImageChops.subtract(low, a).point(lambda v: 255 if v > TOLERANCE else 0)
    above = ImageChops.subtract(a, high).point(lambda v: 255 if v > TOLERANCE else 0)
    return ImageChops.lighter(below, above)


def differences(a, b):
    """The share of different pixels, and the share in the 12x12 tile that has most of them:
    hinting scatters single pixels, a missing word or glyph makes a dense patch."""
    a, b = a.convert("L"), b.convert("L")
    mask = ImageChops.lighter(unmatched(a, b), unmatched(b, a))
    densest = max(mask.reduce(TILE).getdata()) / 255
    return mask.histogram()[255] / (a.width * a.height), densest


def main():
    linux, windows = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    limit = float(sys.argv[3]) if len(sys.argv) > 3 else 0.02
    names = sorted(p.name for p in linux.glob("*.png"))
    if not names:
        print("compare-screenshots: the Linux walk wrote no picture")
        return 1
    failures = 0
    for name in names:
        other = windows / name
        if not other.exists():
            print(f"compare-screenshots: {name}: missing under Wine")
            failures += 1
            continue
        a, b = Image.open(linux / name), Image.open(other)
        if name in BESIDE_PANEL and (linux / BESIDE_PANEL[name]).exists():
            window = (0, 0) + Image.open(linux / BESIDE_PANEL[name]).size
            a, b = a.crop(window), b.crop(window)
        if a.size != b.size:
            print(f"compare-screenshots: {name}: {b.size} under Wine, {a.size} on Linux")
            failures += 1
            continue
        share, densest = differences(a, b)
        bad = share > limit or densest > TILE_LIMIT
        print(f"compare-screenshots: {name}: {a.size[0]}x{a.size[1]}, {share:.2%} of the "
              f"pixels differ, at most {densest:.0%} of a tile: {'DIFFERENT' if bad else 'ok'}")
        failures += bad
    extra = sorted({p.name for p in windows.glob("*.png")} - set(names))
    for name in extra:
        print(f"compare-screenshots: {name}: only under Wine")
        failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
