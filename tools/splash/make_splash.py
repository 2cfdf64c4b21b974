#!/usr/bin/env python3
"""Draws the splash picture resources/splash/a.png with ImageMagick.

Run from the repository root: python3 tools/splash/make_splash.py
The build packs the picture (as the 24-bit bitmap "a.bmp") into the splash carrier. The window frames it to
510 x 310 at 21 pixels from the top and writes the version, notice and link lines in black over its lower left
corner, so that corner is kept pale.
"""
import pathlib
import subprocess
import tempfile

WIDTH, HEIGHT = 490, 268
FONT = "DejaVu-Sans-Bold"
FONT_BOOK = "DejaVu-Sans"


def magick(*args):
    subprocess.run(["convert", *map(str, args)], check=True)


def photo(path):
    """A small landscape: evening sky, sun, two mountain ridges, a lake."""
    w, h = 170, 116
    magick("-size", f"{w}x{h}", "gradient:#f7b267-#6a8fd8", "-rotate", "180",
           "-fill", "#fff2b0", "-draw", "circle 118,46 118,30",
           "-fill", "#5b6fa8", "-draw", "polygon 0,80 30,48 58,70 92,36 130,72 170,54 170,116 0,116",
           "-fill", "#2f4a6d", "-draw", "polygon 0,96 40,70 76,92 112,76 150,96 170,88 170,116 0,116",
           "-fill", "#9fc7e8", "-draw", "rectangle 0,100 170,116",
           "-fill", "#ffffff80", "-draw", "line 20,106 60,106", "-draw", "line 90,110 150,110",
           path)


def sheet(photo_path, path, angle):
    """A printed page: white paper with the photo placed on it, a soft shadow, slightly turned."""
    magick("-size", "200x150", "xc:white", photo_path, "-geometry", "+15+15", "-composite",
           "-fill", "none", "-stroke", "#d0d0d0", "-draw", "rectangle 0,0 199,149",
           "-background", "none", "-rotate", angle,
           "(", "+clone", "-background", "#00000090", "-shadow", "60x5+6+8", ")",
           "+swap", "-background", "none", "-layers", "merge", "+repage", path)


def main():
    out = pathlib.Path("resources/splash/a.png")
    with tempfile.TemporaryDirectory() as tmp:
        tmp = pathlib.Path(tmp)
        photo(tmp / "photo.png")
        sheet(tmp / "photo.png", tmp / "sheet1.png", -7)
        sheet(tmp / "photo.png", tmp / "sheet2.png", 5)
        magick(
            # Night-blue sky over a pale desk; the desk's lower left corner stays light for the text lines.
            "-size", f"{WIDTH}x{HEIGHT}", "gradient:#17325f-#3a78a8",
            "(", "-size", f"{WIDTH}x90", "gradient:#e9eef3-#fbfbf8", ")", "-geometry", f"+0+{HEIGHT - 90}",
            "-composite",
            # Light rays from the upper right.
            "-fill", "#ffffff14", "-draw", f"polygon {WIDTH},0 {WIDTH - 60},0 180,{HEIGHT - 90} 260,{HEIGHT - 90}",
            "-fill", "#ffffff0c", "-draw", f"polygon {WIDTH},40 {WIDTH},110 330,{HEIGHT - 90} 290,{HEIGHT - 90}",
            # The desk's edge.
            "-fill", "#c7d3de", "-draw", f"rectangle 0,{HEIGHT - 92} {WIDTH},{HEIGHT - 90}",
            # The product's name and what it does.
            "-font", FONT, "-pointsize", "46", "-fill", "#ffffff", "-annotate", "+24+66", "Pictavo",
            "-font", FONT_BOOK, "-pointsize", "14", "-fill", "#cfe3f5",
            "-annotate", "+27+94", "Print your pictures",
            "-annotate", "+27+113", "exactly as you see them",
            "-annotate", "+27+132", "on the page.",
            # Two printed pages lying on the desk.
            tmp / "sheet2.png", "-geometry", "+262+18", "-composite",
            tmp / "sheet1.png", "-geometry", "+244+58", "-composite",
            "-depth", "8", "-type", "TrueColor", "-define", "png:color-type=2", out)
    print(out)


if __name__ == "__main__":
    main()
