#include "showgen/stroke_font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "showgen/shapes.h"

namespace {

// Strokes on a grid 4 units wide and 6 tall (y down): polylines separated by '|', points by
// spaces.
const std::map<char, const char*>& glyphs() {
    static const std::map<char, const char*> table = {
        {'A', "0,6 2,0 4,6|0.7,4 3.3,4"},
        {'B', "0,3 3,3 4,4 4,5 3,6 0,6 0,0 3,0 4,1 4,2 3,3"},
        {'C', "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5"},
        {'D', "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0"},
        {'E', "4,0 0,0 0,6 4,6|0,3 3,3"},
        {'F', "4,0 0,0 0,6|0,3 3,3"},
        {'G', "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.5 2.5,3.5"},
        {'H', "0,0 0,6|4,0 4,6|0,3 4,3"},
        {'I', "1,0 3,0|2,0 2,6|1,6 3,6"},
        {'J', "4,0 4,5 3,6 1,6 0,5"},
        {'K', "0,0 0,6|4,0 0,4|1.4,2.9 4,6"},
        {'L', "0,0 0,6 4,6"},
        {'M', "0,6 0,0 2,3.5 4,0 4,6"},
        {'N', "0,6 0,0 4,6 4,0"},
        {'O', "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
        {'P', "0,6 0,0 3,0 4,1 4,2 3,3 0,3"},
        {'Q', "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0|2.5,4.5 4,6.2"},
        {'R', "0,6 0,0 3,0 4,1 4,2 3,3 0,3|2,3 4,6"},
        {'S', "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5"},
        {'T', "0,0 4,0|2,0 2,6"},
        {'U', "0,0 0,5 1,6 3,6 4,5 4,0"},
        {'V', "0,0 2,6 4,0"},
        {'W', "0,0 1,6 2,2.5 3,6 4,0"},
        {'X', "0,0 4,6|4,0 0,6"},
        {'Y', "0,0 2,3 4,0|2,3 2,6"},
        {'Z', "0,0 4,0 0,6 4,6"},
        {'0', "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
        {'1', "1,1 2,0 2,6|1,6 3,6"},
        {'2', "0,1 1,0 3,0 4,1 4,2 0,6 4,6"},
        {'3', "0,1 1,0 3,0 4,1 4,2 3,3 1.5,3|3,3 4,4 4,5 3,6 1,6 0,5"},
        {'4', "3,6 3,0 0,4 4,4"},
        {'5', "4,0 0,0 0,3 3,3 4,4 4,5 3,6 0,6"},
        {'6', "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,4 3,3 0,3"},
        {'7', "0,0 4,0 1.5,6"},
        {'8', "1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3"},
        {'9', "4,3 1,3 0,2 0,1 1,0 3,0 4,1 4,5 3,6 1,6 0,5"},
        {'.', "2,6 2,6"},
        {',', "2,5.6 1.4,7"},
        {'-', "1,3 3,3"},
        {'!', "2,0 2,4|2,6 2,6"},
        {'\'', "2,0 2,1.5"},
        {'/', "4,0 0,6"},
    };
    return table;
}

constexpr double glyphWidth = 4.0;
constexpr double advanceUnits = 5.6;  // glyph plus the gap to the next one
constexpr double spaceUnits = 4.0;

struct Segment {
    Vec2 a, b;
};

std::vector<Segment> textSegments(const std::string& text, double left, double top,
                                  double capHeight) {
    const double unit = capHeight / 6.0;
    std::vector<Segment> segments;
    double pen = left;
    for (char c : text) {
        const auto glyph = glyphs().find(c);
        if (c == ' ' || glyph == glyphs().end()) {
            pen += spaceUnits * unit;
            continue;
        }
        const char* s = glyph->second;
        std::vector<Vec2> stroke;
        auto flush = [&]() {
            for (size_t i = 0; i + 1 < stroke.size(); ++i)
                segments.push_back({stroke[i], stroke[i + 1]});
            stroke.clear();
        };
        while (*s != '\0') {
            if (*s == '|') {
                flush();
                ++s;
                continue;
            }
            if (*s == ' ') {
                ++s;
                continue;
            }
            char* end = nullptr;
            const double gx = std::strtod(s, &end);
            s = end + 1;  // the comma
            const double gy = std::strtod(s, &end);
            s = end;
            stroke.push_back({pen + gx * unit, top + gy * unit});
        }
        flush();
        pen += advanceUnits * unit;
    }
    return segments;
}

}  // namespace

double textWidth(const std::string& text, double capHeight) {
    const double unit = capHeight / 6.0;
    double width = 0.0;
    for (char c : text) {
        const bool known = c != ' ' && glyphs().count(c) != 0;
        width += (known ? advanceUnits : spaceUnits) * unit;
    }
    // The last glyph has no gap after it.
    return text.empty() ? 0.0 : width - (advanceUnits - glyphWidth) * unit;
}

TextField textField(int width, int height, const std::string& text, double left, double top,
                    double capHeight, double reach) {
    TextField field;
    field.width = width;
    field.height = height;
    field.distance.assign(size_t(width) * size_t(height), float(reach));
    for (const Segment& seg : textSegments(text, left, top, capHeight)) {
        const int x0 = std::max(0, int(std::floor(std::min(seg.a.x, seg.b.x) - reach)));
        const int x1 = std::min(width - 1, int(std::ceil(std::max(seg.a.x, seg.b.x) + reach)));
        const int y0 = std::max(0, int(std::floor(std::min(seg.a.y, seg.b.y) - reach)));
        const int y1 = std::min(height - 1, int(std::ceil(std::max(seg.a.y, seg.b.y) + reach)));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double d = taperedSegmentDistance({x + 0.5, y + 0.5}, seg.a, seg.b, 0, 0);
                float& slot = field.distance[size_t(y) * size_t(width) + size_t(x)];
                slot = std::min(slot, float(d));
            }
        }
    }
    return field;
}

void paintText(Picture& picture, const std::string& text, double centreX, double top,
               double capHeight, double strokeHalfWidth, const Colour& colour,
               const Colour& glowColour, double glowRadius, float glowStrength) {
    const double left = centreX - textWidth(text, capHeight) * 0.5;
    const double reach = strokeHalfWidth + glowRadius + 2.0;
    const TextField field =
        textField(picture.width, picture.height, text, left, top, capHeight, reach);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const double d = field.distance[size_t(y) * size_t(picture.width) + size_t(x)];
            if (d >= reach) continue;
            if (glowRadius > 0.0) {
                const double g = std::max(0.0, d - strokeHalfWidth) / glowRadius;
                const float glow = float(std::exp(-3.0 * g * g)) * glowStrength;
                screenPixel(picture, x, y, glowColour, glow);
            }
            blendPixel(picture, x, y, colour, coverage(d - strokeHalfWidth));
        }
    }
}
