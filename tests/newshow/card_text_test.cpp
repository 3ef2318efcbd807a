// The words of a new show's cards: where the ink lands on the card, how the text is read, and what
// happens when the fonts are not there.
#include "newshow/card_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "show_folder.h"

namespace {

constexpr int cardWidth = 1280, cardHeight = 720;
// The margins the cards keep, 6 % of each side.
constexpr int marginX = 77, marginY = 43;

struct Ink {
    int left = cardWidth, top = cardHeight, right = -1, bottom = -1;  // inclusive
    int bands = 0;     // runs of rows with ink, parted by rows without
    int midtones = 0;  // pixels neither empty nor full
    bool any() const { return right >= 0; }
};

Ink inkOf(const TextCoverage& coverage) {
    Ink ink;
    bool previousRow = false;
    for (int y = 0; y < coverage.height; ++y) {
        bool row = false;
        for (int x = 0; x < coverage.width; ++x) {
            uint8_t a = coverage.alpha[size_t(y) * size_t(coverage.width) + size_t(x)];
            if (a == 0) continue;
            row = true;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            if (a < 255) ++ink.midtones;
        }
        if (row && !previousRow) ++ink.bands;
        previousRow = row;
    }
    return ink;
}

TextCoverage render(const std::vector<CardLine>& lines) {
    TextCoverage coverage;
    std::string error;
    EXPECT_TRUE(renderCardText(lines, cardWidth, cardHeight, coverage, error)) << error;
    EXPECT_EQ(coverage.width, cardWidth);
    EXPECT_EQ(coverage.height, cardHeight);
    EXPECT_EQ(coverage.alpha.size(), size_t(cardWidth) * cardHeight);
    return coverage;
}

std::vector<CardLine> credits(int count) {
    std::vector<CardLine> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back({"Music by Someone Number " + std::to_string(i), 40, false});
    return lines;
}

void expectInsideMargins(const Ink& ink, const std::string& what) {
    ASSERT_TRUE(ink.any()) << what;
    EXPECT_GE(ink.left, marginX - 1) << what;
    EXPECT_LE(ink.right, cardWidth - marginX) << what;
    EXPECT_GE(ink.top, marginY - 1) << what;
    EXPECT_LE(ink.bottom, cardHeight - marginY) << what;
}

}  // namespace

TEST(CardText, TheBlockIsCentredAndKeepsInsideTheMargins) {
    const double innerWidth = cardWidth - 2 * marginX, innerHeight = cardHeight - 2 * marginY;
    const struct {
        const char* what;
        std::vector<CardLine> lines;
        int fewestBands, mostBands;
        double widthFilled, heightFilled;  // at least these shares of the inner box
    } cases[] = {
        {"a short title", {{"Tavel", 120, true}}, 1, 1, 0, 0},
        {"a long title wraps",
         {{"The Long and Winding Road to the Edge of the Glittering Sea", 90, true}},
         2,
         6,
         0.6,
         0},
        {"a word too wide is shrunk",
         {{"Supercalifragilisticexpialidocious-Antidisestablishmentarianism", 120, false}},
         1,
         1,
         0.97,
         0},
        {"many credits shrink the block", credits(30), 30, 30, 0, 0.9},
        {"a line of no size shrinks to fit", {{"Tavel", 1e30f, false}}, 1, 1, 0, 0},
        {"a title with its credits",
         {{"Tavel", 100, true}, {"", 40, false}, {"Music by Someone", 40, false}},
         2,
         2,
         0,
         0},
    };
    for (const auto& c : cases) {
        Ink ink = inkOf(render(c.lines));
        expectInsideMargins(ink, c.what);
        EXPECT_GE(ink.bands, c.fewestBands) << c.what;
        EXPECT_LE(ink.bands, c.mostBands) << c.what;
        EXPECT_GE(ink.right - ink.left + 1, c.widthFilled * innerWidth) << c.what;
        EXPECT_GE(ink.bottom - ink.top + 1, c.heightFilled * innerHeight) << c.what;
        EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, cardWidth / 2.0, 0.02 * cardWidth) << c.what;
        EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, cardHeight / 2.0, 0.03 * cardHeight)
            << c.what;
    }
}

TEST(CardText, EdgesAreAntialiasedAndPairsKerned) {
    Ink title = inkOf(render({{"Tavel", 120, true}}));
    EXPECT_GT(title.midtones, 200);
    // The same glyphs; A and V lean into each other at every pair of the first.
    Ink pairs = inkOf(render({{"AVAVAVAV", 120, false}}));
    Ink runs = inkOf(render({{"AAAAVVVV", 120, false}}));
    EXPECT_LT(pairs.right - pairs.left, runs.right - runs.left - 20);
}

TEST(CardText, AnEmptyLineKeepsItsHeight) {
    Ink together = inkOf(render({{"Tavel", 100, false}, {"Tavel", 100, false}}));
    Ink apart = inkOf(render({{"Tavel", 100, false}, {"", 100, false}, {"Tavel", 100, false}}));
    EXPECT_NEAR((apart.bottom - apart.top) - (together.bottom - together.top), 100, 2);
}

TEST(CardText, TextsThatDrawTheSameAndThatDoNot) {
    const std::string replacement = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        const char* what;
        CardLine first, second;
        bool same;
    } cases[] = {
        {"every run the same bytes", {"Tavel", 90, true}, {"Tavel", 90, true}, true},
        {"spaces trimmed", {"   Tavel  ", 90, false}, {"Tavel", 90, false}, true},
        {"a tab is a space", {"by\tSomeone", 90, false}, {"by Someone", 90, false}, true},
        {"a stray byte", {"a\xFFz", 90, false}, {"a" + replacement + "z", 90, false}, true},
        {"a cut sequence is one character",
         {"\xE2\x82z", 90, false},
         {replacement + "z", 90, false},
         true},
        {"a surrogate is three bytes gone wrong",
         {"\xED\xA0\x80", 90, false},
         {replacement + replacement + replacement, 90, false},
         true},
        {"an overlong slash",
         {"\xC0\xAF", 90, false},
         {replacement + replacement, 90, false},
         true},
        {"UTF-8 is read",
         {"\xC3\xA9t\xC3\xA9", 90, false},
         {replacement + "t" + replacement, 90, false},
         false},
        {"bold is bold", {"Tavel", 90, true}, {"Tavel", 90, false}, false},
    };
    for (const auto& c : cases) {
        TextCoverage first = render({c.first}), second = render({c.second});
        EXPECT_EQ(first.alpha == second.alpha, c.same) << c.what;
        EXPECT_TRUE(inkOf(first).any()) << c.what;
    }
}

TEST(CardText, OddLinesAndCardsAreHandled) {
    const struct {
        const char* what;
        std::vector<CardLine> lines;
        int width, height;
        bool drawn, ink;
    } cases[] = {
        {"characters the font lacks",
         {{"\xE4\xB8\x80\xE4\xBA\x8C", 90, false}},
         640,
         360,
         true,
         true},
        {"nothing but bad bytes", {{"\xFF\xFE\xFD\x80", 90, true}}, 640, 360, true, true},
        {"no lines", {}, 640, 360, true, false},
        {"only spaces", {{"   ", 90, false}}, 640, 360, true, false},
        {"heights of no size",
         {{"a", std::nanf(""), false}, {"b", -5, false}, {"c", 0, true}, {"d", INFINITY, false}},
         640,
         360,
         true,
         false},
        {"a card of one pixel", {{"Tavel", 90, false}}, 1, 1, true, true},
        {"a card of no pixels", {{"Tavel", 90, false}}, 0, 360, false, false},
        {"a card too large", {{"Tavel", 90, false}}, 640, 20000, false, false},
    };
    for (const auto& c : cases) {
        TextCoverage coverage;
        std::string error;
        EXPECT_EQ(renderCardText(c.lines, c.width, c.height, coverage, error), c.drawn)
            << c.what << ": " << error;
        if (!c.drawn) {
            EXPECT_NE(error.find("can't be drawn"), std::string::npos) << c.what << ": " << error;
            continue;
        }
        EXPECT_EQ(coverage.alpha.size(), size_t(c.width) * size_t(c.height)) << c.what;
        EXPECT_EQ(inkOf(coverage).any(), c.ink) << c.what;
    }
}

TEST(CardText, FontsThatCantBeReadAreNamed) {
    TempFolder missing, text, cut, noBold;
    writeTextFile(text.file("DejaVuSans.ttf"), "these are words, not a font\n");
    std::ifstream in(std::string(cardFontFolder) + "/DejaVuSans.ttf", std::ios::binary);
    std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(font.size(), 4000u);
    writeTextFile(cut.file("DejaVuSans.ttf"), font.substr(0, 4000));
    writeTextFile(noBold.file("DejaVuSans.ttf"), font);
    const struct {
        const char* what;
        const TempFolder& folder;
        bool bold;
        const char* file;
    } cases[] = {
        {"no font", missing, false, "DejaVuSans.ttf"},
        {"words, not a font", text, false, "DejaVuSans.ttf"},
        {"a font cut short", cut, false, "DejaVuSans.ttf"},
        {"no bold font", noBold, true, "DejaVuSans-Bold.ttf"},
    };
    for (const auto& c : cases) {
        TextCoverage coverage;
        std::string error;
        EXPECT_FALSE(
            renderCardText({{"Tavel", 90, c.bold}}, 640, 360, c.folder.path(), coverage, error))
            << c.what;
        EXPECT_NE(error.find(c.folder.file(c.file)), std::string::npos) << c.what << ": " << error;
        EXPECT_NE(error.find("fonts-dejavu-core"), std::string::npos) << c.what << ": " << error;
    }
    // The regular font alone serves lines that are not bold.
    TextCoverage coverage;
    std::string error;
    EXPECT_TRUE(renderCardText({{"Tavel", 90, false}}, 640, 360, noBold.path(), coverage, error))
        << error;
}
