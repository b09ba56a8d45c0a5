#!/usr/bin/env python3
"""Draws the demo piece's bitmaps: its words, set in the small block letters below (text
objects do not exist yet, so the words are pictures), and a sun over a hill.  The words are
the project's own.  Usage: demo_art.py OUTPUT_FOLDER"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "resources" / "svrun32"))
from about_art import bmp  # noqa: E402  (the runtime's own BMP writer)

# Block letters 5 wide and 7 high: '#' is ink.
LETTERS = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    " ": ["     "] * 7,
}
SCALE = 3
ADVANCE = 6  # letter and gap, in letter pixels
MARGIN = 6   # pixels around the words

# File, words, ink and paper (red, green, blue). The description places them.
WORDS = [
    ("title.bmp", "SHAPES AND WORDS", (255, 255, 255), (0, 0, 128)),
    ("layers.bmp", "LAYERS", (0, 0, 0), (255, 255, 160)),
    ("placed.bmp", "PLACED BY A CALC", (255, 255, 255), (0, 128, 0)),
    ("theend.bmp", "THE END", (255, 255, 255), (128, 0, 0)),
]

def words_pixel(text):
    width = 2 * MARGIN + SCALE * (ADVANCE * len(text) - 1)
    height = 2 * MARGIN + SCALE * 7
    def pixel(x, y):
        x, y = x - MARGIN, y - MARGIN
        if x < 0 or y < 0 or y >= 7 * SCALE:
            return 0
        letter, column = divmod(x // SCALE, ADVANCE)
        if letter >= len(text) or column >= 5:
            return 0
        return 1 if LETTERS[text[letter]][y // SCALE][column] == "#" else 0
    return width, height, pixel

def sun(x, y):
    """48 x 48: a yellow sun (2) with an orange rim (3) over a green hill (4) in a blue sky (1)."""
    if y > 34 + (x - 24) ** 2 // 60:
        return 4
    distance = (x - 24) ** 2 + (y - 22) ** 2
    return 2 if distance < 100 else 3 if distance < 144 else 1

def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, text, ink, paper in WORDS:
        width, height, pixel = words_pixel(text)
        (out / name).write_bytes(bmp(width, height, 8, [paper, ink], pixel))
    palette = [(0, 0, 0), (120, 180, 255), (255, 230, 0), (255, 140, 0), (40, 150, 40)]
    (out / "sun.bmp").write_bytes(bmp(48, 48, 8, palette, sun))

if __name__ == "__main__":
    main()
