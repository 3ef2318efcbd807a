#include "showgen/backgrounds.h"

#include <algorithm>
#include <cmath>

#include "showgen/random.h"
#include "showgen/shapes.h"
#include "showgen/stroke_font.h"

namespace {

constexpr int W = backgroundWidth;
constexpr int H = backgroundHeight;

// Top-to-bottom gradient through three colours, the middle one at `middle` (0..1).
Picture verticalGradient(const Colour& top, const Colour& mid, const Colour& bottom, float middle) {
    Picture p = makePicture(W, H, top);
    for (int y = 0; y < H; ++y) {
        const float t = float(y) / float(H - 1);
        const Colour c = t < middle ? mix(top, mid, smoothstep(0.0f, middle, t))
                                    : mix(mid, bottom, smoothstep(middle, 1.0f, t));
        for (int x = 0; x < W; ++x) at(p, x, y) = c;
    }
    return p;
}

// A soft round light: full at the centre, fading out to `radius`.
void glow(Picture& p, Vec2 centre, double radius, const Colour& colour, float strength) {
    const int x0 = std::max(0, int(centre.x - radius)),
              x1 = std::min(W - 1, int(centre.x + radius));
    const int y0 = std::max(0, int(centre.y - radius)),
              y1 = std::min(H - 1, int(centre.y + radius));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double d = length(Vec2{x + 0.5, y + 0.5} - centre) / radius;
            if (d >= 1.0) continue;
            const float k = float((1.0 - d) * (1.0 - d));
            screenPixel(p, x, y, colour, k * strength);
        }
}

void disc(Picture& p, Vec2 centre, double radius, const Colour& colour, float opacity) {
    const int x0 = std::max(0, int(centre.x - radius - 2)),
              x1 = std::min(W - 1, int(centre.x + radius + 2));
    const int y0 = std::max(0, int(centre.y - radius - 2)),
              y1 = std::min(H - 1, int(centre.y + radius + 2));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            blendPixel(p, x, y, colour,
                       opacity * coverage(circleDistance({x + 0.5, y + 0.5}, centre, radius)));
}

void ring(Picture& p, Vec2 centre, double radius, double width, const Colour& colour,
          float opacity) {
    const int x0 = std::max(0, int(centre.x - radius - width - 2));
    const int x1 = std::min(W - 1, int(centre.x + radius + width + 2));
    const int y0 = std::max(0, int(centre.y - radius - width - 2));
    const int y1 = std::min(H - 1, int(centre.y + radius + width + 2));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double d = std::fabs(length(Vec2{x + 0.5, y + 0.5} - centre) - radius) - width;
            blendPixel(p, x, y, colour, opacity * coverage(d));
        }
}

// Fills everything below a wavy line y = base + sum of sines with a vertical gradient.
void hillBand(Picture& p, double base, double amplitude, double wavelength, double phase,
              const Colour& top, const Colour& bottom) {
    for (int x = 0; x < W; ++x) {
        const double edge = base + amplitude * std::sin(x / wavelength + phase) +
                            amplitude * 0.4 * std::sin(x / (wavelength * 0.37) + phase * 2.0);
        for (int y = std::max(0, int(edge) - 1); y < H; ++y) {
            const float t = clamp01(float((y - edge) / (H - edge + 1.0)));
            blendPixel(p, x, y, mix(top, bottom, t), coverage(edge - (y + 0.5)));
        }
    }
}

void vignette(Picture& p, float strength) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double dx = (x - W * 0.5) / (W * 0.5);
            const double dy = (y - H * 0.5) / (H * 0.5);
            const float k = 1.0f - strength * smoothstep(0.5f, 1.5f, float(dx * dx + dy * dy));
            at(p, x, y) = scaled(at(p, x, y), k);
        }
}

void stars(Picture& p, Random& random, int count, double maxY) {
    for (int i = 0; i < count; ++i) {
        const Vec2 c{random.range(0, W), random.range(0, maxY)};
        const double r = random.range(0.6, 1.8);
        const float b = float(random.range(0.4, 1.0));
        disc(p, c, r, Colour{1.0f, 1.0f, 0.95f}, b);
        if (r > 1.5) glow(p, c, 9.0, Colour{0.7f, 0.8f, 1.0f}, 0.5f);
    }
}

// The title's scenery, before its name is painted and its corners darkened.
Picture titleScenery() {
    Picture p =
        verticalGradient(hexColour(0x070b24), hexColour(0x2a1450), hexColour(0x5a1e4e), 0.6f);
    Random random(11);
    stars(p, random, 260, H * 0.75);
    glow(p, {W * 0.5, H * 0.45}, 520.0, hexColour(0x8040ff), 0.35f);
    // A low horizon of soft hills, and a stage glow behind the name.
    hillBand(p, 600.0, 16.0, 140.0, 0.5, hexColour(0x2c0f3a), hexColour(0x12061c));
    hillBand(p, 640.0, 12.0, 90.0, 2.0, hexColour(0x1a0826), hexColour(0x07020c));
    for (int i = 0; i < 7; ++i) {
        const double x = 170.0 + 157.0 * i;
        ring(p, {x, 110.0 + 40.0 * std::sin(i * 1.3)}, 18.0 + 4.0 * (i % 3), 1.5,
             hexColour(0xffc0ff), 0.25f);
    }
    return p;
}

// The closing picture's scenery, before its words are painted and its corners darkened.
Picture closingScenery() {
    Picture p =
        verticalGradient(hexColour(0x0a0a20), hexColour(0x2a1248), hexColour(0x0a0a20), 0.5f);
    Random random(71);
    stars(p, random, 200, H);
    glow(p, {W * 0.5, 300.0}, 480.0, hexColour(0xff60b0), 0.3f);
    for (int i = 0; i < 3; ++i)
        ring(p, {W * 0.5, 300.0}, 250.0 + 34.0 * i, 1.2, hexColour(0xffc8f0), 0.25f - 0.06f * i);
    return p;
}

}  // namespace

Picture titleBackground() {
    Picture p = titleScenery();
    paintText(p, "KELVARO", W * 0.5, 230.0, 150.0, 11.0, hexColour(0xfff4ff), hexColour(0xff50c8),
              34.0, 0.9f);
    paintText(p, "A SHOW OF BENDING SHAPES", W * 0.5, 432.0, 28.0, 2.6, hexColour(0xffd8f6),
              hexColour(0x8060ff), 10.0, 0.5f);
    vignette(p, 0.6f);
    return p;
}

Picture underwaterBackground() {
    Picture p =
        verticalGradient(hexColour(0x4fc3e8), hexColour(0x1670a8), hexColour(0x06304f), 0.45f);
    // Light shafts from the surface.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double u = x + y * 0.35;
            const float shaft =
                float(std::pow(0.5 + 0.5 * std::sin(u * 0.012 + std::sin(u * 0.004) * 2.0), 8.0));
            screenPixel(p, x, y, hexColour(0xbff4ff), 0.22f * shaft * (1.0f - float(y) / H));
        }
    // Sand, rocks and swaying weeds in the distance.
    hillBand(p, 600.0, 14.0, 120.0, 1.0, hexColour(0xd8c08a), hexColour(0x8a6e40));
    Random random(23);
    for (int i = 0; i < 9; ++i) {
        const double x = random.range(0, W);
        const double h = random.range(90, 220);
        for (int k = 0; k < 40; ++k) {
            const double t = k / 40.0;
            const Vec2 c{x + 18.0 * std::sin(t * 5.0 + i), 620.0 - h * t};
            disc(p, c, 9.0 * (1.0 - t) + 3.0, hexColour(i % 2 ? 0x2e8a5a : 0x3aa070), 0.75f);
        }
    }
    for (int i = 0; i < 6; ++i) {
        const Vec2 c{random.range(0, W), random.range(615, 690)};
        disc(p, c, random.range(22, 48), hexColour(0x5a5a6a), 1.0f);
        disc(p, c + Vec2{-8, -8}, random.range(10, 18), hexColour(0x7a7a8c), 0.6f);
    }
    for (int i = 0; i < 70; ++i) {
        const Vec2 c{random.range(0, W), random.range(0, 600)};
        const double r = random.range(3, 11);
        ring(p, c, r, 0.9, hexColour(0xe8fbff), 0.7f);
        disc(p, c + Vec2{-r * 0.35, -r * 0.35}, r * 0.25, hexColour(0xffffff), 0.8f);
    }
    vignette(p, 0.5f);
    return p;
}

Picture winterBackground() {
    Picture p =
        verticalGradient(hexColour(0x0b1638), hexColour(0x2d3f78), hexColour(0x7d8fc4), 0.62f);
    Random random(37);
    stars(p, random, 180, H * 0.55);
    // Moon with a halo.
    glow(p, {1080.0, 130.0}, 230.0, hexColour(0xc8d8ff), 0.45f);
    disc(p, {1080.0, 130.0}, 56.0, hexColour(0xfff8e0), 1.0f);
    disc(p, {1062.0, 116.0}, 12.0, hexColour(0xe8e0c8), 0.6f);
    disc(p, {1100.0, 150.0}, 8.0, hexColour(0xe8e0c8), 0.6f);
    // Snowy hills, a row of little trees, and a warm cabin light on the left.
    hillBand(p, 470.0, 30.0, 210.0, 0.3, hexColour(0x9aaee0), hexColour(0x6a7cb8));
    for (int i = 0; i < 14; ++i) {
        const double x = 30.0 + i * 92.0 + random.range(-20, 20);
        const double base = 500.0 + random.range(-10, 10);
        const double h = random.range(50, 90);
        for (int y = int(base - h); y < int(base); ++y) {
            const double half = (y - (base - h)) * 0.38;
            for (int xx = int(x - half); xx <= int(x + half); ++xx)
                blendPixel(p, xx, y, hexColour(0x1c3454), 0.9f);
        }
    }
    hillBand(p, 560.0, 18.0, 160.0, 2.1, hexColour(0xeef4ff), hexColour(0xb8c8ec));
    for (int y = 380; y < 470; ++y)
        for (int x = 120; x < 250; ++x) blendPixel(p, x, y, hexColour(0x3a2430), 1.0f);
    for (int i = 0; i < 2; ++i) {
        for (int y = 405; y < 440; ++y)
            for (int x = 140 + 60 * i; x < 170 + 60 * i; ++x)
                blendPixel(p, x, y, hexColour(0xffc860), 1.0f);
        glow(p, {155.0 + 60 * i, 422.0}, 70.0, hexColour(0xffa040), 0.45f);
    }
    for (int x = 100; x < 270; ++x)
        for (int y = 330; y < 380; ++y)
            if (std::fabs(x - 185.0) < (y - 330.0) * 1.7)
                blendPixel(p, x, y, hexColour(0xeef2ff), 1.0f);
    // Falling snow.
    for (int i = 0; i < 260; ++i) {
        const Vec2 c{random.range(0, W), random.range(0, H)};
        disc(p, c, random.range(1.0, 3.2), hexColour(0xffffff), float(random.range(0.5, 0.95)));
    }
    vignette(p, 0.45f);
    return p;
}

Picture stageBackground() {
    Picture p =
        verticalGradient(hexColour(0x12060a), hexColour(0x2a0c14), hexColour(0x3a1a10), 0.7f);
    // Wooden floor in perspective.
    for (int y = 560; y < H; ++y) {
        const float t = float(y - 560) / float(H - 560);
        for (int x = 0; x < W; ++x) {
            const double plank = std::fmod((x - W * 0.5) / (0.4 + 0.6 * t) + 5000.0, 90.0);
            Colour wood = mix(hexColour(0x6a3a1c), hexColour(0xa8642e), 0.3f + 0.7f * t);
            wood = scaled(wood, plank < 3.0 ? 0.6f : 1.0f - 0.08f * float(std::sin(x * 0.05 + y)));
            at(p, x, y) = wood;
        }
    }
    // Back wall with a warm spotlight on it.
    glow(p, {W * 0.55, 380.0}, 420.0, hexColour(0xffd890), 0.55f);
    for (int y = 560; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double dx = (x - W * 0.56) / 380.0, dy = (y - 620.0) / 70.0;
            const double d = dx * dx + dy * dy;
            if (d < 1.0) screenPixel(p, x, y, hexColour(0xfff0c0), 0.45f * float(1.0 - d));
        }
    // Light cone from above.
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < W; ++x) {
            const double half = 60.0 + y * 0.55;
            const double off = std::fabs(x - (W * 0.56 - (600 - y) * 0.12));
            if (off < half)
                screenPixel(p, x, y, hexColour(0xffe8b0),
                            0.12f * smoothstep(float(half), float(half * 0.6), float(off)));
        }
    // Red curtains with folds on both sides and a valance on top.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double edgeL = 150.0 + 60.0 * std::pow(y / double(H), 2.0);
            const double edgeR = W - 150.0 - 60.0 * std::pow(y / double(H), 2.0);
            double u = -1.0;
            if (x < edgeL) u = x / edgeL;
            if (x > edgeR) u = (W - x) / (W - edgeR);
            if (u < 0.0) continue;
            const float fold = 0.5f + 0.5f * float(std::sin(u * 22.0));
            const Colour velvet = mix(hexColour(0x4a0612), hexColour(0xb81830), fold);
            const float edge = coverage(x < W / 2 ? x - edgeL : edgeR - x);
            blendPixel(p, x, y, velvet, edge);
        }
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < W; ++x) {
            const double hem = 70.0 + 14.0 * std::fabs(std::sin(x * 3.14159 / 128.0));
            if (y > hem + 1.0) continue;
            const float fold = 0.5f + 0.5f * float(std::sin(x * 0.05));
            Colour c = mix(hexColour(0x5a0818), hexColour(0xc02036), fold);
            if (y > hem - 8.0) c = hexColour(0xe8b040);
            blendPixel(p, x, y, c, coverage(y + 0.5 - hem));
        }
    vignette(p, 0.5f);
    return p;
}

Picture lagoonBackground() {
    Picture p =
        verticalGradient(hexColour(0x1a0b3a), hexColour(0x2e2a8a), hexColour(0x0e5a7a), 0.5f);
    Random random(53);
    // Bokeh lights drifting in the water.
    const unsigned tints[4] = {0xff7ad0, 0x7ae0ff, 0xffd27a, 0xb08aff};
    for (int i = 0; i < 46; ++i) {
        const Vec2 c{random.range(0, W), random.range(0, H * 0.85)};
        const double r = random.range(12, 46);
        const Colour tint = hexColour(tints[i % 4]);
        glow(p, c, r * 1.8, tint, 0.25f);
        disc(p, c, r, tint, 0.18f);
        ring(p, c, r, 1.2, tint, 0.3f);
    }
    // Coral reef silhouettes along the bottom.
    hillBand(p, 630.0, 20.0, 80.0, 0.8, hexColour(0x2a1650), hexColour(0x120828));
    for (int i = 0; i < 16; ++i) {
        const double x = random.range(0, W);
        const double h = random.range(40, 110);
        for (int k = 0; k < 30; ++k) {
            const double t = k / 30.0;
            disc(p, {x + 14.0 * std::sin(t * 4.0 + i), 650.0 - h * t}, 8.0 * (1.0 - t) + 3.0,
                 hexColour(i % 2 ? 0xff5a8a : 0xffa04a), 0.55f);
        }
    }
    vignette(p, 0.55f);
    return p;
}

Picture closingBackground() {
    Picture p = closingScenery();
    paintText(p, "KELVARO", W * 0.5, 200.0, 110.0, 8.5, hexColour(0xffffff), hexColour(0xff50c8),
              26.0, 0.85f);
    paintText(p, "THANK YOU FOR WATCHING", W * 0.5, 380.0, 40.0, 3.4, hexColour(0xffe8f8),
              hexColour(0x9070ff), 12.0, 0.6f);
    paintText(p, "KIV  VASTEL  DORANEK  PILOU", W * 0.5, 470.0, 20.0, 1.8, hexColour(0xd0c0ff),
              hexColour(0x6050c0), 6.0, 0.4f);
    vignette(p, 0.5f);
    return p;
}

Picture titleBackdrop() {
    Picture p = titleScenery();
    vignette(p, 0.6f);
    return p;
}

Picture closingBackdrop() {
    Picture p = closingScenery();
    vignette(p, 0.5f);
    return p;
}

Picture slotBackground(int slot) {
    // In the order of the show's slot table.
    Picture (*const paint[])() = {titleBackground, underwaterBackground, winterBackground,
                                  stageBackground, lagoonBackground,     closingBackground};
    return paint[slot]();
}
