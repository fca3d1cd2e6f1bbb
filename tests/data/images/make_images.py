#!/usr/bin/env python3
"""Writes the small test images of this folder (see README.md).

PNG and TGA files are written here byte by byte (zlib and struct only). The JPEG is
encoded by libjpeg through a short C program that is compiled into a temporary folder
and run once (needs cc and the libjpeg development files, which the build needs anyway).
Every file comes out the same on every run.

    python3 tests/data/images/make_images.py [output folder]
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def png(path, width, height, pixels):
    """8-bit RGBA PNG, filter 0 on every row; pixels is a list of (r, g, b, a) rows."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def tga_rle(path, width, height, pixels):
    """32-bit run-length TGA (type 10), rows stored bottom-up, packets within a row."""
    out = bytearray(struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0,
                                width, height, 32, 8))
    for row in reversed(pixels):
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 128 and row[x + run] == row[x]:
                run += 1
            if run > 1:
                r, g, b, a = row[x]
                out += bytes([0x80 | (run - 1), b, g, r, a])
                x += run
                continue
            # Raw packet: up to the next pair of equal pixels.
            start = x
            while x < width and x - start < 128 and not (
                    x + 1 < width and row[x + 1] == row[x]):
                x += 1
            out.append(x - start - 1)
            for r, g, b, a in row[start:x]:
                out += bytes([b, g, r, a])
    with open(path, "wb") as f:
        f.write(out)


JPEG_ENCODER = r"""
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
/* in.rgb (width x height x 3 bytes) -> out.jpg: quality 90, baseline, no subsampling. */
int main(int argc, char **argv) {
  int w = atoi(argv[3]), h = atoi(argv[4]);
  unsigned char *rgb = malloc((size_t)w * h * 3);
  FILE *in = fopen(argv[1], "rb"), *out = fopen(argv[2], "wb");
  if (!rgb || !in || !out || fread(rgb, 3, (size_t)w * h, in) != (size_t)w * h) return 1;
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, out);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  for (int i = 0; i < c.num_components; i++)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < h; y++) {
    JSAMPROW row = rgb + (size_t)y * w * 3;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return fclose(out) != 0;
}
"""


def jpeg(path, width, height, pixels):
    with tempfile.TemporaryDirectory() as tmp:
        src, exe, raw = (os.path.join(tmp, n) for n in ("enc.c", "enc", "in.rgb"))
        with open(src, "w") as f:
            f.write(JPEG_ENCODER)
        subprocess.run(["cc", "-O1", "-o", exe, src, "-ljpeg"], check=True)
        with open(raw, "wb") as f:
            f.write(bytes(c for row in pixels for px in row for c in px[:3]))
        subprocess.run([exe, raw, path, str(width), str(height)], check=True)


def clamp(v):
    return max(0, min(255, int(round(v))))


def sprite():
    """16x16 round badge: red, green, blue and yellow quarters (top-left, top-right,
    bottom-left, bottom-right) inside a white rim, a half-transparent outer ring, and
    fully transparent corners whose colour is magenta (it must never show)."""
    quarter = {(0, 0): (230, 40, 40), (1, 0): (40, 200, 60),
               (0, 1): (50, 80, 230), (1, 1): (240, 220, 40)}
    rows = []
    for y in range(16):
        row = []
        for x in range(16):
            d = math.hypot(x + 0.5 - 8, y + 0.5 - 8)
            if d <= 6.2:
                row.append(quarter[(x // 8, y // 8)] + (255,))
            elif d <= 7.3:
                row.append((255, 255, 255, 255))
            elif d <= 8.2:
                row.append((255, 255, 255, 112))
            else:
                row.append((255, 0, 255, 0))
        rows.append(row)
    return rows


def photo():
    """16x16 smooth picture: a blue sky darkening upwards over an orange horizon, with a
    pale sun at the upper right."""
    rows = []
    for y in range(16):
        row = []
        for x in range(16):
            t = y / 15.0
            r, g, b = 40 + 200 * t * t, 70 + 90 * t, 190 - 130 * t
            sun = max(0.0, 1.0 - math.hypot(x - 11.5, y - 4.5) / 4.0)
            r, g, b = r + (255 - r) * sun, g + (245 - g) * sun, b + (200 - b) * sun
            row.append((clamp(r), clamp(g), clamp(b), 255))
        rows.append(row)
    return rows


def tile():
    """15x9 (both odd) banner: a red top edge, dark blue left, right and bottom edges,
    cyan left half, magenta right half and a white middle column (x 7) marking the centre."""
    rows = []
    for y in range(9):
        row = []
        for x in range(15):
            if y == 0:
                px = (220, 30, 30, 255)
            elif y == 8 or x == 0 or x == 14:
                px = (20, 30, 110, 255)
            elif x == 7:
                px = (255, 255, 255, 255)
            elif x < 7:
                px = (40, 210, 220, 255)
            else:
                px = (210, 50, 200, 255)
            row.append(px)
        rows.append(row)
    return rows


def beam():
    """8x8 white beam for bitmap lines: alpha 0, 64, 192, 255, 255, 192, 64, 0 across,
    with a grey first row so the start of the line is visible."""
    profile = (0, 64, 192, 255, 255, 192, 64, 0)
    return [[((150, 150, 150) if y == 0 else (255, 255, 255)) + (profile[x],)
             for x in range(8)] for y in range(8)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(out, "sprite.png"), 16, 16, sprite())
    png(os.path.join(out, "beam.png"), 8, 8, beam())
    jpeg(os.path.join(out, "photo.jpg"), 16, 16, photo())
    tga_rle(os.path.join(out, "tile.tga"), 15, 9, tile())


if __name__ == "__main__":
    main()
