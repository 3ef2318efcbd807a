// The words on a new show's title and closing cards, drawn with the DejaVu fonts that Debian's
// fonts-dejavu-core installs. The result is only ink coverage: the caller chooses the colour and
// lays it over its own picture, so the same text serves a dark card and a light one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where fonts-dejavu-core puts its fonts.
constexpr const char* cardFontFolder = "/usr/share/fonts/truetype/dejavu";

struct CardLine {
    std::string text;  // UTF-8
    float height;      // wanted line height (the font's ascent to descent) in pixels
    bool bold;
};

struct TextCoverage {
    int width = 0, height = 0;
    std::vector<uint8_t> alpha;  // top row first, 0..255 antialiased ink
};

// Lays the lines out as one block centred in width x height (inside a margin of about 6 % of
// each side): a line too wide is wrapped at spaces, a word too wide for the line is shrunk, and
// the whole block is shrunk evenly when it is too tall. False with `error` when the font can't
// be read (naming the file and the package that brings it).
//
// Leading and trailing spaces are dropped, and a line left empty still takes its height. Tabs,
// line feeds and the other control characters count as spaces. Bytes that are not UTF-8 draw
// U+FFFD, and a character the font lacks draws the font's missing-glyph box. A height that is
// not a positive number makes a line of no height. A card larger than 16384 pixels a side, or
// with a side under one pixel, is refused with `error`.
bool renderCardText(const std::vector<CardLine>& lines, int width, int height,
                    TextCoverage& coverage, std::string& error);

// The same with the fonts (DejaVuSans.ttf, DejaVuSans-Bold.ttf) read from `fontFolder`.
bool renderCardText(const std::vector<CardLine>& lines, int width, int height,
                    const std::string& fontFolder, TextCoverage& coverage, std::string& error);
