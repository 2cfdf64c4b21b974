#!/usr/bin/env python3
"""Draws the 11 button glyphs and writes them as Text Picture strings into src/shell/button_glyphs.cpp.

Run from the repository root: python3 tools/glyphs/make_glyphs.py
With --check it writes nothing and fails when the committed file differs from what the drawings give (a test).
The bottom-left pixel of every glyph is the face colour; the button bar makes it transparent.
"""
import math
import pathlib
import sys

SIZE = 16
ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz()"

FACE = (192, 192, 192)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
DARK = (64, 64, 64)
YELLOW = (255, 224, 64)
OCHRE = (192, 128, 0)
NAVY = (0, 0, 128)
BLUE = (0, 64, 224)
RED = (208, 0, 0)
GREEN = (0, 144, 0)


class Canvas:
    def __init__(self):
        self.px = [[FACE] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = c

    def box(self, x0, y0, x1, y1, fill, edge=BLACK):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                border = x in (x0, x1) or y in (y0, y1)
                self.dot(x, y, edge if border and edge else fill)

    def hline(self, x0, x1, y, c):
        for x in range(x0, x1 + 1):
            self.dot(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(y0, y1 + 1):
            self.dot(x, y, c)

    def arc(self, cx, cy, r0, r1, a0, a1, c):
        """Pixels whose centre lies between radii r0 and r1 and angles a0..a1 (degrees, 0 = right, 90 = down)."""
        for y in range(SIZE):
            for x in range(SIZE):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                r = math.hypot(dx, dy)
                a = math.degrees(math.atan2(dy, dx))
                if r0 <= r <= r1 and a0 <= a <= a1:
                    self.dot(x, y, c)

    def text(self, x0, y0, rows, c):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != ".":
                    self.dot(x0 + dx, y0 + dy, c)


def printer(cv, dx=0, dy=0, small=False):
    w = 11 if small else 14
    cv.box(3 + dx, 0 + dy, w - 3 + dx, 4 + dy, WHITE)
    cv.hline(5 + dx, w - 5 + dx, 2 + dy, DARK)
    cv.box(0 + dx, 4 + dy, w + dx, 9 + dy, GREY)
    cv.hline(1 + dx, w - 1 + dx, 5 + dy, WHITE)
    cv.dot(w - 2 + dx, 6 + dy, GREEN)
    cv.hline(2 + dx, w - 2 + dx, 8 + dy, BLACK)
    cv.box(2 + dx, 8 + dy, w - 2 + dx, 12 + dy, WHITE)
    cv.hline(4 + dx, w - 4 + dx, 10 + dy, DARK)


def glyph_print(cv):
    printer(cv, 1, 1)


def glyph_printer_setup(cv):
    printer(cv, 0, 0, small=True)
    cv.hline(1, 14, 14, NAVY)
    cv.box(9, 12, 11, 15, BLUE, NAVY)


def glyph_open(cv):
    cv.box(1, 2, 6, 4, YELLOW)
    cv.box(1, 4, 12, 13, YELLOW)
    for y in range(7, 14):
        shift = (y - 7) // 2
        start, end = 4 - shift, 15 - shift
        cv.hline(start, end, y, OCHRE)
        cv.dot(start, y, BLACK)
        cv.dot(end, y, BLACK)
    cv.hline(4, 15, 7, BLACK)
    cv.hline(1, 12, 13, BLACK)


def page(cv, x0, y0, x1, y1, lines=DARK):
    cv.box(x0, y0, x1, y1, WHITE)
    for y in range(y0 + 2, y1 - 1, 2):
        cv.hline(x0 + 2, x1 - 2, y, lines)


def glyph_undo(cv):
    cv.arc(8.5, 8.5, 3.2, 5.6, -90, 90, NAVY)
    cv.hline(5, 8, 3, NAVY)
    cv.hline(5, 8, 4, NAVY)
    cv.hline(5, 8, 12, NAVY)
    cv.hline(5, 8, 13, NAVY)
    for i in range(4):  # arrow head pointing left, tip at x = 1
        cv.vline(1 + i, 3 - i, 4 + i, NAVY)


def glyph_copy(cv):
    page(cv, 1, 1, 9, 11)
    page(cv, 6, 4, 14, 14, BLUE)


def glyph_paste(cv):
    cv.box(1, 2, 11, 14, OCHRE)
    cv.box(4, 1, 8, 3, GREY)
    page(cv, 6, 6, 14, 15, BLUE)


def triangle(cv, base, tip, y0, y1, fill, vertical):
    """A triangle with its base on line `base` (from y0 to y1 across) and its tip at `tip`."""
    mid = (y0 + y1) / 2
    half = (y1 - y0) / 2
    steps = abs(base - tip)
    for i in range(steps + 1):
        pos = base + (i if tip > base else -i)
        reach = half * (1 - i / steps)
        a, b = math.ceil(mid - reach - 0.01), math.floor(mid + reach + 0.01)
        for q in range(a, b + 1):
            edge = q in (a, b) or i == 0
            c = BLACK if edge else fill
            if vertical:
                cv.dot(q, pos, c)
            else:
                cv.dot(pos, q, c)


def glyph_mirror(cv):
    triangle(cv, 6, 1, 2, 13, BLUE, False)
    triangle(cv, 9, 14, 2, 13, WHITE, False)
    for y in range(0, 16, 2):
        cv.vline(7, y, y, RED)
        cv.vline(8, y + 1, y + 1, RED)


def glyph_flip(cv):
    triangle(cv, 6, 1, 2, 13, BLUE, True)
    triangle(cv, 9, 14, 2, 13, WHITE, True)
    for x in range(0, 16, 2):
        cv.dot(x, 7, RED)
        cv.dot(x + 1, 8, RED)


def glyph_rotate(cv):
    cv.box(1, 9, 6, 14, BLUE)
    cv.arc(3.0, 13.0, 8.0, 10.0, -90, -12, GREEN)
    for i in range(4):  # arrow head pointing down at the end of the arc
        cv.hline(8 + i, 15 - i, 11 + i, GREEN)


def glyph_center(cv):
    cv.box(0, 0, 15, 15, WHITE)
    cv.box(5, 5, 10, 10, BLUE)
    for a, b in ((2, 4), (11, 13)):
        cv.hline(a, b, 7, RED)
        cv.hline(a, b, 8, RED)
        cv.vline(7, a, b, RED)
        cv.vline(8, a, b, RED)


def glyph_help(cv):
    cv.arc(8, 8, 0, 7.6, -180, 180, BLUE)
    cv.arc(8, 8, 6.9, 7.6, -180, 180, NAVY)
    cv.text(5, 3, [".wwww.", "ww..ww", "....ww", "...ww.", "..ww..", "..ww..", "......", "..ww..", "..ww.."], WHITE)


GLYPHS = [
    ("Print", glyph_print),
    ("Printer Setup", glyph_printer_setup),
    ("Open", glyph_open),
    ("Undo", glyph_undo),
    ("Copy", glyph_copy),
    ("Paste", glyph_paste),
    ("Mirror", glyph_mirror),
    ("Flip", glyph_flip),
    ("Rotate 90", glyph_rotate),
    ("Center", glyph_center),
    ("Help", glyph_help),
]


def digits(value, count):
    out = ""
    for _ in range(count):
        out += ALPHABET[value % 64]
        value //= 64
    return out


def encode(cv):
    # The face colour first, so the palette's entry 0 is the background.
    palette = [FACE]
    for row in cv.px:
        for c in row:
            if c not in palette:
                palette.append(c)
    assert len(palette) <= 16, len(palette)
    text = "T4" + digits(SIZE, 3) + digits(SIZE, 3)
    text += "".join(digits(r + 256 * g + 65536 * b, 4) for r, g, b in palette) + "~"
    text += "".join(ALPHABET[palette.index(c)] for row in cv.px for c in row) + "#"
    return text


def main():
    root = pathlib.Path(__file__).resolve().parents[2]
    out = ["// Generated by tools/glyphs/make_glyphs.py; edit the drawings there, not the strings here.",
           '#include "shell/button_glyphs.h"', "", "namespace {", "",
           "// Text Picture strings, 16 x 16, kind 4; the bottom-left pixel is the button face.",
           "const char* const kGlyphs[] = {"]
    for name, draw in GLYPHS:
        cv = Canvas()
        draw(cv)
        text = encode(cv)
        out.append(f"    // {name}")
        pieces = [text[i:i + 72] for i in range(0, len(text), 72)]
        out.extend(f'    "{p}"' for p in pieces[:-1])
        out.append(f'    "{pieces[-1]}",')
    out += ["};", "", "}  // namespace", "",
            "QString ButtonGlyph(int index)",
            "{",
            "    if (index < 1 || index > kButtonGlyphCount)",
            "        return {};",
            "    return QString::fromLatin1(kGlyphs[index - 1]);",
            "}", ""]
    target = root / "src/shell/button_glyphs.cpp"
    text = "\n".join(out)
    if "--check" in sys.argv[1:]:
        if target.read_text() != text:
            print(f"{target} differs from the drawings: run python3 tools/glyphs/make_glyphs.py and commit the result")
            return 1
        print(f"{target} matches the drawings")
        return 0
    target.write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
