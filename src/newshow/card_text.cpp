#include "newshow/card_text.h"

#include <stb_truetype.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <iterator>

namespace {

constexpr int largestCardSide = 16384;
constexpr double marginShare = 0.06;
constexpr const char* fontPackage = "fonts-dejavu-core";
constexpr const char* fontFiles[2] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"};
constexpr uint32_t replacementCharacter = 0xFFFD;

// A font file and what stb_truetype knows of it. `info` points into `data`, so a CardFont
// stays where it was read.
struct CardFont {
    std::vector<unsigned char> data;
    stbtt_fontinfo info;
    int ascent = 0, descent = 0, lineGap = 0;  // font units
    int spaceGlyph = 0;
};

// stb_truetype trusts the table directory; a truncated or foreign file would send it reading
// past the end of the buffer, so every table must lie inside the file before it looks.
bool tablesInside(const std::vector<unsigned char>& data, size_t start) {
    auto u16 = [&](size_t at) { return uint32_t(data[at]) << 8 | data[at + 1]; };
    auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    if (start > data.size() || data.size() - start < 12) return false;
    size_t tables = u16(start + 4);
    if ((data.size() - start - 12) / 16 < tables) return false;
    for (size_t i = 0; i < tables; ++i) {
        size_t entry = start + 12 + 16 * i;
        size_t offset = u32(entry + 8), length = u32(entry + 12);
        if (offset > data.size() || length > data.size() - offset) return false;
    }
    return true;
}

bool readFont(const std::string& path, CardFont& font, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (in) font.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || in.bad()) {
        error = "can't read the font " + path + " (it comes with the package " + fontPackage + ")";
        return false;
    }
    int offset = font.data.size() >= 16 ? stbtt_GetFontOffsetForIndex(font.data.data(), 0) : -1;
    if (offset < 0 || !tablesInside(font.data, size_t(offset)) ||
        !stbtt_InitFont(&font.info, font.data.data(), offset)) {
        error = "the font " + path + " is not a font that can be read (reinstall the package " +
                fontPackage + ")";
        return false;
    }
    stbtt_GetFontVMetrics(&font.info, &font.ascent, &font.descent, &font.lineGap);
    if (font.ascent - font.descent <= 0 || font.lineGap < 0) {
        error = "the font " + path + " gives its lines no height (reinstall the package " +
                fontPackage + ")";
        return false;
    }
    font.spaceGlyph = stbtt_FindGlyphIndex(&font.info, ' ');
    return true;
}

// The next character of `text` from `at`, which moves past it. A byte sequence that is not UTF-8
// gives one U+FFFD for its longest start that could have begun a character, as browsers do.
uint32_t nextCodepoint(const std::string& text, size_t& at) {
    auto byte = [&](size_t i) { return uint8_t(text[i]); };
    uint32_t lead = byte(at++);
    if (lead < 0x80) return lead;
    int length;
    uint32_t low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return replacementCharacter;
    }
    uint32_t codepoint = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if (at >= text.size()) return replacementCharacter;
        uint32_t next = byte(at);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
            return replacementCharacter;
        codepoint = codepoint << 6 | (next & 0x3F);
        ++at;
    }
    return codepoint;
}

struct Glyph {
    int index;
    int advance;  // font units, the kerning towards the next glyph included
    int x0, x1;   // the ink's extent from the pen, font units; x0 == x1 for none
    bool space;
};

// A card line as glyphs, and the words between its spaces. Rows hold whole words and are placed
// by their ink, so spaces at either end of a line take no room anywhere.
struct ShapedLine {
    const CardFont* font;
    double height;  // 0 for a line that takes no room
    std::vector<Glyph> glyphs;
    std::vector<std::pair<size_t, size_t>> words;  // glyph ranges
};

ShapedLine shapeLine(const CardLine& line, const CardFont& font) {
    ShapedLine shaped;
    shaped.font = &font;
    shaped.height = std::isfinite(line.height) && line.height > 0 ? line.height : 0.0;
    for (size_t at = 0; at < line.text.size();) {
        uint32_t codepoint = nextCodepoint(line.text, at);
        Glyph glyph{};
        glyph.space = codepoint <= 0x20 || codepoint == 0x7F;
        // A character the font lacks is glyph 0, the font's own missing-glyph box.
        glyph.index = glyph.space ? font.spaceGlyph : stbtt_FindGlyphIndex(&font.info, codepoint);
        int bearing;
        stbtt_GetGlyphHMetrics(&font.info, glyph.index, &glyph.advance, &bearing);
        int x0, y0, x1, y1;
        if (!glyph.space && stbtt_GetGlyphBox(&font.info, glyph.index, &x0, &y0, &x1, &y1) &&
            x1 > x0 && y1 > y0) {
            glyph.x0 = x0;
            glyph.x1 = x1;
        }
        shaped.glyphs.push_back(glyph);
    }
    for (size_t i = 0; i + 1 < shaped.glyphs.size(); ++i)
        shaped.glyphs[i].advance += stbtt_GetGlyphKernAdvance(&font.info, shaped.glyphs[i].index,
                                                              shaped.glyphs[i + 1].index);
    for (size_t i = 0; i < shaped.glyphs.size();) {
        if (shaped.glyphs[i].space) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < shaped.glyphs.size() && !shaped.glyphs[end].space) ++end;
        shaped.words.push_back({i, end});
        i = end;
    }
    return shaped;
}

// The ink's extent of a run of glyphs, from the pen where the run starts, in font units; grown
// a word at a time while a line is filled.
struct InkSpan {
    size_t next = 0;  // the first glyph not yet counted
    long long pen = 0;
    long long left = LLONG_MAX, right = LLONG_MIN;

    void extend(const std::vector<Glyph>& glyphs, size_t end) {
        for (; next < end; ++next) {
            const Glyph& glyph = glyphs[next];
            if (glyph.x1 > glyph.x0) {
                left = std::min(left, pen + glyph.x0);
                right = std::max(right, pen + glyph.x1);
            }
            pen += glyph.advance;
        }
    }
    long long width() const { return right > left ? right - left : 0; }
};

struct Row {
    const ShapedLine* line;
    size_t begin, end;      // glyphs
    float scale;            // pixels per font unit
    long long left, right;  // the ink's extent from the row's pen, font units
};

struct Block {
    std::vector<Row> rows;
    double height = 0;
};

double rowPitch(const Row& row) {
    const CardFont& font = *row.line->font;
    return double(font.ascent - font.descent + font.lineGap) * row.scale;
}

// The rows of every line with the wanted heights times `factor`, each line filled a word at a
// time while its ink fits `innerWidth`; a word alone too wide is drawn smaller to fit.
Block layOut(const std::vector<ShapedLine>& lines, double factor, double innerWidth) {
    Block block;
    for (const ShapedLine& line : lines) {
        if (line.height <= 0) continue;
        const CardFont& font = *line.font;
        float scale = float(line.height * factor / double(font.ascent - font.descent));
        if (line.words.empty()) block.rows.push_back({&line, 0, 0, scale, 0, 0});
        for (size_t word = 0; word < line.words.size();) {
            InkSpan span;
            span.next = line.words[word].first;
            span.extend(line.glyphs, line.words[word].second);
            size_t last = word;
            float rowScale = scale;
            if (double(span.width()) * scale > innerWidth) {
                rowScale = float(innerWidth / double(span.width()));
            } else {
                while (last + 1 < line.words.size()) {
                    InkSpan wider = span;
                    wider.extend(line.glyphs, line.words[last + 1].second);
                    if (double(wider.width()) * scale > innerWidth) break;
                    span = wider;
                    ++last;
                }
            }
            Row row{&line,     line.words[word].first, line.words[last].second, rowScale, span.left,
                    span.right};
            if (span.width() == 0) row.left = row.right = 0;
            block.rows.push_back(row);
            word = last + 1;
        }
    }
    for (const Row& row : block.rows) block.height += rowPitch(row);
    return block;
}

// The largest even shrink that fits the block into `innerHeight`. Smaller text never wraps onto
// more rows, so the block's height only grows with the factor: from the plain proportion, halve
// until the block fits, then close in between the last factor that fits and the first that not.
Block fitBlock(const std::vector<ShapedLine>& lines, double innerWidth, double innerHeight) {
    Block block = layOut(lines, 1.0, innerWidth);
    if (block.height <= innerHeight) return block;
    double high = 1, low = innerHeight / block.height;
    Block fitting = layOut(lines, low, innerWidth);
    for (int halving = 0; fitting.height > innerHeight; ++halving) {
        high = low;
        low = halving < 1100 ? low / 2 : 0;
        fitting = layOut(lines, low, innerWidth);
    }
    for (int step = 0; step < 40; ++step) {
        double middle = (low + high) / 2;
        Block tried = layOut(lines, middle, innerWidth);
        if (tried.height <= innerHeight) {
            low = middle;
            fitting = std::move(tried);
        } else {
            high = middle;
        }
    }
    return fitting;
}

void drawGlyph(const CardFont& font, int glyph, float scale, double x, int baseline,
               std::vector<unsigned char>& bitmap, TextCoverage& coverage) {
    double column = std::floor(x);
    float shift = float(x - column);
    int x0, y0, x1, y1;
    stbtt_GetGlyphBitmapBoxSubpixel(&font.info, glyph, scale, scale, shift, 0.0f, &x0, &y0, &x1,
                                    &y1);
    int width = x1 - x0, height = y1 - y0;
    if (width <= 0 || height <= 0) return;
    // Wholly off the card (a row pushed out by rounding): nothing to draw.
    long long left = (long long)column + x0, top = (long long)baseline + y0;
    if (left >= coverage.width || left + width <= 0 || top >= coverage.height || top + height <= 0)
        return;
    bitmap.assign(size_t(width) * size_t(height), 0);
    stbtt_MakeGlyphBitmapSubpixel(&font.info, bitmap.data(), width, height, width, scale, scale,
                                  shift, 0.0f, glyph);
    for (int row = 0; row < height; ++row) {
        long long y = top + row;
        if (y < 0 || y >= coverage.height) continue;
        for (int col = 0; col < width; ++col) {
            long long xx = left + col;
            if (xx < 0 || xx >= coverage.width) continue;
            uint8_t& ink = coverage.alpha[size_t(y) * size_t(coverage.width) + size_t(xx)];
            ink = uint8_t(std::min(255, ink + bitmap[size_t(row) * size_t(width) + size_t(col)]));
        }
    }
}

}  // namespace

bool renderCardText(const std::vector<CardLine>& lines, int width, int height,
                    TextCoverage& coverage, std::string& error) {
    return renderCardText(lines, width, height, cardFontFolder, coverage, error);
}

bool renderCardText(const std::vector<CardLine>& lines, int width, int height,
                    const std::string& fontFolder, TextCoverage& coverage, std::string& error) {
    if (width < 1 || height < 1 || width > largestCardSide || height > largestCardSide) {
        error = "a card of " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels can't be drawn (each side from 1 to " + std::to_string(largestCardSide) +
                ")";
        return false;
    }
    CardFont fonts[2];
    bool wanted[2] = {false, false};
    for (const CardLine& line : lines) wanted[line.bold ? 1 : 0] = true;
    for (int kind = 0; kind < 2; ++kind)
        if (wanted[kind] && !readFont(fontFolder + "/" + fontFiles[kind], fonts[kind], error))
            return false;

    std::vector<ShapedLine> shaped;
    shaped.reserve(lines.size());
    for (const CardLine& line : lines) shaped.push_back(shapeLine(line, fonts[line.bold ? 1 : 0]));

    double marginX = std::round(width * marginShare), marginY = std::round(height * marginShare);
    double innerWidth = width - 2 * marginX, innerHeight = height - 2 * marginY;
    Block block = fitBlock(shaped, innerWidth, innerHeight);

    coverage.width = width;
    coverage.height = height;
    coverage.alpha.assign(size_t(width) * size_t(height), 0);
    std::vector<unsigned char> bitmap;
    double top = marginY + (innerHeight - block.height) / 2;
    for (const Row& row : block.rows) {
        const CardFont& font = *row.line->font;
        // Whole-pixel baselines keep the strokes across the line sharp.
        int baseline = int(std::floor(top + double(font.ascent) * row.scale + 0.5));
        double inkWidth = double(row.right - row.left) * row.scale;
        double start = marginX + (innerWidth - inkWidth) / 2 - double(row.left) * row.scale;
        long long pen = 0;
        for (size_t i = row.begin; i < row.end; ++i) {
            const Glyph& glyph = row.line->glyphs[i];
            if (glyph.x1 > glyph.x0)
                drawGlyph(font, glyph.index, row.scale, start + double(pen) * row.scale, baseline,
                          bitmap, coverage);
            pen += glyph.advance;
        }
        top += rowPitch(row);
    }
    return true;
}
