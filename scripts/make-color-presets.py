#!/usr/bin/env python3
"""Writes the colour presets shipped in share/zarn80/colors as .qcl colour files.

Each preset is a ground colour followed by up to five more; the shares come from the table
below, which gives every colour room along the palette's bands (the same shares as
roomShares() in render/ColorPresets.cpp). Run it after changing the table; the files are kept
in the repository and checked by the render tests with the program's own colour-file reader.

The record layout is the 512-byte colour file of render/ColorSetRecord.h, little-endian.
"""
import pathlib
import struct
import sys

IDLE = 0.0001
SHARES = {
    2: [0.5, 0.5],
    4: [0.10, 0.15, 0.15, 0.60],
    6: [0.06, 0.09, 0.09, 0.09, 0.09, 0.58],
}

PRESETS = {
    # dark grounds
    "ember": [(12, 6, 10), (70, 10, 30), (150, 30, 30), (220, 90, 30), (250, 180, 60),
              (255, 245, 200)],
    "glacier": [(5, 10, 25), (20, 40, 90), (30, 90, 150), (60, 160, 200), (150, 220, 235),
                (245, 250, 255)],
    "neon": [(0, 0, 0), (110, 0, 190), (255, 0, 150), (255, 120, 0), (255, 240, 0),
             (0, 255, 200)],
    "night-gold": [(15, 20, 40), (240, 200, 120)],
    # light grounds
    "paper-ink": [(250, 248, 240), (180, 178, 170), (90, 88, 85), (20, 20, 22)],
    "citrus": [(255, 252, 235), (255, 220, 60), (250, 150, 20), (200, 60, 40), (90, 150, 40),
               (20, 80, 40)],
    "candy": [(250, 245, 250), (250, 195, 220), (200, 185, 250), (150, 215, 240),
              (175, 240, 195), (250, 225, 150)],
    # monochrome ramps
    "graphite": [(10, 10, 12), (70, 72, 78), (150, 152, 160), (240, 240, 245)],
    "sepia": [(40, 25, 15), (110, 75, 45), (190, 150, 105), (245, 230, 200)],
    # calm
    "moss": [(20, 30, 20), (45, 70, 40), (85, 110, 60), (140, 150, 90), (200, 200, 150),
             (240, 240, 215)],
    "dusk": [(25, 20, 50), (70, 40, 100), (140, 60, 130), (210, 100, 120), (245, 160, 120),
             (255, 225, 170)],
    "ocean": [(2, 20, 35), (10, 60, 90), (20, 110, 130), (60, 170, 160), (170, 220, 200),
              (250, 250, 240)],
    # complementary pairs
    "teal-coral": [(10, 40, 45), (20, 110, 110), (120, 200, 190), (250, 240, 225),
                   (245, 150, 120), (200, 60, 50)],
    "violet-lime": [(30, 10, 45), (100, 40, 150), (190, 140, 230), (240, 240, 230),
                    (190, 230, 90), (90, 150, 20)],
    "blue-orange": [(10, 30, 80), (70, 140, 220), (255, 190, 110), (200, 80, 10)],
}


def record(name, colours):
    count = len(colours)
    shares = SHARES[count] + [IDLE] * (6 - count)
    colours = colours + [(0, 0, 0)] * (6 - count)
    red = [c[0] for c in colours]
    green = [c[1] for c in colours]
    blue = [c[2] for c in colours]
    total = sum(SHARES[count])
    out = struct.pack("<6i", *blue) + struct.pack("<6i", *green)
    out += struct.pack("<ii", 1 if count >= 4 else 0, 1 if count >= 6 else 0)
    out += struct.pack("<6i", *red)
    out += struct.pack("<6d", *[s * 100.0 for s in shares])
    out += struct.pack("<6i", *[0] * 6)
    out += struct.pack("<d", 0.01)
    out += struct.pack("<6d", *shares)
    out += struct.pack("<6i", *range(6))
    out += struct.pack("<d", total)
    out += struct.pack("<i", 0)
    out += name.encode("ascii").ljust(256, b"\0")
    out += struct.pack("<ii", 0, -1) + b"\0" * 4
    assert len(out) == 512
    return out


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                          pathlib.Path(__file__).resolve().parent.parent / "share/zarn80/colors")
    folder.mkdir(parents=True, exist_ok=True)
    for name, colours in PRESETS.items():
        (folder / (name + ".qcl")).write_bytes(record(name, colours))
    print(f"{len(PRESETS)} presets in {folder}")


if __name__ == "__main__":
    main()
