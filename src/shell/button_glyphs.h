#pragma once

#include <QString>

// The glyphs of the button bar as Text Picture strings: 1 Print, 2 Printer Setup, 3 Open, 4 Undo, 5 Copy,
// 6 Paste, 7 Mirror, 8 Flip, 9 Rotate 90, 10 Center, 11 Help. Empty for any other index. Each is at most
// 25 x 25 and its bottom-left pixel is the button face colour.
inline constexpr int kButtonGlyphCount = 11;

QString ButtonGlyph(int index);
