#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Corvane's two pictures with ImageMagick and writes them as baseline JFIF JPEGs.

    python3 assets/make_pictures.py [output-dir]

splash.jpg  401 x 264, shown stretched to 321 x 225 in the splash window
page.jpg    200 x 60, shown at 92 x 27 beside the cache and clock panels

Both are 8-bit, three-component, baseline sequential JPEGs, as the design asks. They show
the version from project() in the top CMakeLists.txt: run this again when it changes.
"""

import os
import re
import subprocess
import sys


def project_version():
    """The version written in project() of the top CMakeLists.txt."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "CMakeLists.txt")
    with open(top, encoding="utf-8") as f:
        found = re.search(r"project\(\s*Corvane\b[^)]*?\bVERSION\s+([0-9.]+)", f.read())
    if not found:
        sys.exit(f"no project(Corvane VERSION ...) in {top}")
    return found.group(1)


VERSION = f"v. {project_version()}"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_BOOK = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_MONO = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"


def chip(x, y, size, pins, pin_len, body="#2b2f3a", pin="#c8a951"):
    """A square processor package with pins on all four sides, as MVG commands."""
    out = [f"fill {pin}", "stroke none"]
    step = size / (pins + 1)
    for i in range(1, pins + 1):
        p = step * i
        w = max(1.0, step * 0.45)
        out.append(f"rectangle {x + p - w/2:.1f},{y - pin_len:.1f} {x + p + w/2:.1f},{y:.1f}")
        out.append(f"rectangle {x + p - w/2:.1f},{y + size:.1f} {x + p + w/2:.1f},{y + size + pin_len:.1f}")
        out.append(f"rectangle {x - pin_len:.1f},{y + p - w/2:.1f} {x:.1f},{y + p + w/2:.1f}")
        out.append(f"rectangle {x + size:.1f},{y + p - w/2:.1f} {x + size + pin_len:.1f},{y + p + w/2:.1f}")
    out += [f"fill {body}", "stroke #0c0e14", "stroke-width 1",
            f"roundrectangle {x},{y} {x + size},{y + size} 3,3",
            "fill #8d97a8", "stroke none",
            f"roundrectangle {x + size*0.22:.1f},{y + size*0.22:.1f} "
            f"{x + size*0.78:.1f},{y + size*0.78:.1f} 2,2",
            "fill #b7c0cf",
            f"rectangle {x + size*0.30:.1f},{y + size*0.30:.1f} "
            f"{x + size*0.70:.1f},{y + size*0.70:.1f}"]
    return out


def memory_module(x, y, w, h, chips):
    """A memory module: green board, gold contacts along the lower edge, black chips."""
    out = ["fill #1f6b3a", "stroke #0d3a1e", "stroke-width 1",
           f"rectangle {x},{y} {x + w},{y + h}",
           "fill #d4b25a", "stroke none"]
    contacts = int(w // 4)
    for i in range(contacts):
        cx = x + 2 + i * 4
        out.append(f"rectangle {cx},{y + h - 6} {cx + 2},{y + h - 1}")
    gap = w / chips
    for i in range(chips):
        cx = x + i * gap + gap * 0.15
        out += ["fill #15171c", f"rectangle {cx:.1f},{y + 5} {cx + gap*0.7:.1f},{y + h - 11}"]
    return out


def traces(x0, y0, x1, y1, count, colour):
    """Circuit-board traces: right-angled runs ending in round pads."""
    out = [f"stroke {colour}", "stroke-width 1.5", "fill none"]
    for i in range(count):
        ya = y0 + (y1 - y0) * i / max(1, count - 1)
        xm = x0 + (x1 - x0) * (0.35 + 0.3 * ((i * 7) % 5) / 4)
        yb = ya + (12 if i % 2 else -12)
        out.append(f"polyline {x0},{ya:.1f} {xm:.1f},{ya:.1f} {xm + 12:.1f},{yb:.1f} {x1},{yb:.1f}")
    out += [f"fill {colour}", "stroke none"]
    for i in range(count):
        ya = y0 + (y1 - y0) * i / max(1, count - 1)
        yb = ya + (12 if i % 2 else -12)
        out.append(f"circle {x1},{yb:.1f} {x1 + 2.5},{yb:.1f}")
    return out


def text(x, y, size, colour, font, s):
    s = s.replace("'", "\\'")
    return [f"font '{font}'", f"font-size {size}", f"fill {colour}", "stroke none",
            f"text {x},{y} '{s}'"]


def splash_mvg():
    w, h = 401, 264
    out = [f"viewbox 0 0 {w} {h}"]
    # Faint grid over the gradient, like a board's silk screen.
    out += ["stroke #26406a", "stroke-width 1", "fill none"]
    for gx in range(0, w, 20):
        out.append(f"line {gx},0 {gx},{h}")
    for gy in range(0, h, 20):
        out.append(f"line 0,{gy} {w},{gy}")
    out += traces(150, 40, 330, 150, 6, "#4f86c6")
    out += chip(40, 40, 104, 11, 9)
    out += text(62, 98, 13, "#1d2330", FONT_BOLD, "CRV-64")
    out += text(66, 112, 8, "#1d2330", FONT_MONO, "x86 · SSE3")
    out += memory_module(190, 118, 180, 46, 8)
    # Title band.
    out += ["fill #0b1426c0", "stroke none", f"rectangle 0,176 {w},{h}",
            "fill #f0a830", f"rectangle 0,176 {w},179"]
    out += text(24, 226, 44, "#ffffff", FONT_BOLD, "Corvane")
    out += text(236, 224, 18, "#f0a830", FONT_BOLD, VERSION)
    out += text(26, 250, 12, "#b9c7dc", FONT_BOOK, "Processor and memory information · benchmark")
    out += text(250, 30, 11, "#9fb6d8", FONT_BOOK, "identifying processor...")
    return w, h, out


def page_mvg():
    w, h = 200, 60
    out = [f"viewbox 0 0 {w} {h}"]
    out += chip(10, 10, 40, 7, 5)
    out += text(60, 34, 24, "#ffffff", FONT_BOLD, "Corvane")
    out += ["fill #f0a830", "stroke none", "rectangle 60,40 190,42"]
    out += text(62, 54, 10, "#b9c7dc", FONT_BOOK, f"CPU · RAM   {VERSION}")
    return w, h, out


def render(w, h, mvg, gradient, path, quality):
    # The drawing goes on the command line: the usual ImageMagick policy refuses "@file".
    subprocess.run(
        ["convert", "-size", f"{w}x{h}", f"gradient:{gradient}",
        "-draw", "\n".join(mvg),
        # Baseline, 8-bit, YCbCr from three components, JFIF header, no metadata.
        "-strip", "-colorspace", "sRGB", "-type", "TrueColor", "-depth", "8",
        "-interlace", "none", "-sampling-factor", "2x2,1x1,1x1",
        "-quality", str(quality), f"jpeg:{path}"],
        check=True)


def check_baseline(path, width, height):
    """Fails unless the file is JFIF with one baseline frame of the given size and 3 x 8 bits."""
    data = open(path, "rb").read()
    assert data[:2] == b"\xff\xd8", "no SOI"
    assert data[6:11] == b"JFIF\0", "no JFIF APP0 first"
    i = 2
    while i < len(data):
        marker = data[i + 1]
        length = int.from_bytes(data[i + 2:i + 4], "big")
        if marker == 0xC0:
            precision = data[i + 4]
            h = int.from_bytes(data[i + 5:i + 7], "big")
            w = int.from_bytes(data[i + 7:i + 9], "big")
            comps = data[i + 9]
            assert (precision, w, h, comps) == (8, width, height, 3), (precision, w, h, comps)
            return
        assert marker not in (0xC1, 0xC2, 0xC3, 0xC9, 0xCA), f"not baseline: {marker:#x}"
        i += 2 + length
    raise AssertionError("no baseline frame")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    w, h, mvg = splash_mvg()
    splash = os.path.join(out_dir, "splash.jpg")
    render(w, h, mvg, "#1a3a6b-#07101f", splash, 88)
    check_baseline(splash, w, h)
    w, h, mvg = page_mvg()
    page = os.path.join(out_dir, "page.jpg")
    render(w, h, mvg, "#1a3a6b-#07101f", page, 90)
    check_baseline(page, w, h)
    for path in (splash, page):
        print(f"{path}: {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
