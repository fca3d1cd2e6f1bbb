#!/usr/bin/env python3
"""Writes the sample game's images into data/: star.png, a 32x32 gold five-pointed star,
orb.png, a 16x16 glowing blue orb, and flame_0000.png to flame_0007.png, eight 16x16
frames of a flickering flame (frames 5 to 7 repeat 3 to 1). Both are 8-bit RGBA PNGs with straight alpha,
made with zlib and struct only; edges are smoothed by sampling each pixel 4x4 times.
And its sounds: bounce.wav, a 60 ms falling blip (16-bit mono WAV), and music.ogg, a
four-second arpeggio loop, encoded by sox when it is installed.

    python3 examples/hello/make_data.py
"""
import math
import os
import shutil
import struct
import subprocess
import tempfile
import wave
import zlib


def write_png(path, size, pixel):
    """pixel(x, y) -> (r, g, b, a) for a size x size image."""
    raw = b"".join(b"\x00" + bytes(c for x in range(size) for c in pixel(x, y))
                   for y in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def in_star(x, y, outer, inner):
    """Whether (x, y), relative to the centre, lies in a five-pointed star (point
    upwards) whose points reach `outer` and whose inner corners lie at `inner`."""
    corners = []
    for i in range(10):
        radius = outer if i % 2 == 0 else inner
        a = i * math.pi / 5
        corners.append((radius * math.sin(a), -radius * math.cos(a)))
    inside = False
    for i in range(10):
        (x0, y0), (x1, y1) = corners[i], corners[i - 1]
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def star(x, y):
    hits = body = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4 - 16, y + (sy + 0.5) / 4 - 16
            if in_star(px, py, 15, 6.5):
                hits += 1
                if in_star(px, py, 12, 5):
                    body += 1
    if hits == 0:
        return (0, 0, 0, 0)
    # Gold inside, darker orange rim.
    k = body / hits
    return (255, int(140 + 80 * k), int(20 + 40 * k), int(255 * hits / 16))


def orb(x, y):
    d = math.hypot(x + 0.5 - 8, y + 0.5 - 8) / 8
    if d >= 1:
        return (0, 0, 0, 0)
    core = max(0.0, 1 - d * 2.5)
    r, g, b = 90 + 165 * core, 160 + 95 * core, 255
    return (int(r), int(g), int(b), int(255 * (1 - d) ** 1.5))


def write_wav(path, rate, samples):
    """16-bit mono WAV of samples in -1..1."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(32767 * max(-1, min(1, s))))
                               for s in samples))


def write_sounds(out):
    rate = 22050
    # The blip falls from 1200 Hz to 500 Hz and decays.
    blip, phase = [], 0.0
    for i in range(int(rate * 0.06)):
        t = i / rate
        phase += 2 * math.pi * (1200 - 700 * t / 0.06) / rate
        blip.append(0.5 * math.sin(phase) * (1 - t / 0.06) ** 2)
    write_wav(os.path.join(out, "bounce.wav"), rate, blip)
    # Music: a soft A minor arpeggio, eight notes per second, each with its own decay, so
    # the loop joins without a click.
    notes = [220.0, 261.63, 329.63, 440.0, 329.63, 261.63, 196.0, 246.94]
    step = rate // 8
    music = []
    for n in range(32):
        hz = notes[n % 8] * (1.0 if n < 16 else 0.75)
        for i in range(step):
            env = math.exp(-6 * i / step)
            music.append(0.25 * env * (math.sin(2 * math.pi * hz * i / rate) +
                                       0.3 * math.sin(4 * math.pi * hz * i / rate)))
    if not shutil.which("sox"):
        print("sox is not installed: music.ogg is left as it is")
        return
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "music.wav")
        write_wav(wav, rate, music)
        subprocess.run(["sox", wav, "-C", "-1", os.path.join(out, "music.ogg")], check=True)
def flame(frame):
    """The flame of one frame: taller and leaning further as the frame number grows."""
    height, lean = 9 + frame, (frame - 2) * 0.4

    def pixel(x, y):
        dy = 15.5 - (y + 0.5)            # height above the bottom row
        if dy < 0 or dy > height:
            return (0, 0, 0, 0)
        half = 5.5 * max(0.0, math.sin(math.pi * dy / height)) ** 0.7
        d = abs(x + 0.5 - 8 - lean * dy / height) / max(half, 0.01)
        if d >= 1:
            return (0, 0, 0, 0)
        heat = 1 - max(d, dy / height)
        return (255, int(80 + 175 * heat), int(40 * heat), int(255 * min(1, 3 * (1 - d))))
    return pixel


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
    os.makedirs(out, exist_ok=True)
    write_png(os.path.join(out, "star.png"), 32, star)
    write_png(os.path.join(out, "orb.png"), 16, orb)
    write_sounds(out)
    for n in range(8):
        write_png(os.path.join(out, "flame_%04d.png" % n), 16, flame(n if n < 5 else 8 - n))


if __name__ == "__main__":
    main()
