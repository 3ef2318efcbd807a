// Vastel: a decorated fir tree whose three tiers of branches on either side droop and swing on
// their own; its bones are laid out on its skeleton as on a drawing.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "scene/show_facts.h"
#include "showgen/figure.h"

namespace {

struct Fir {
    std::array<Limb, 6> branches;  // bottom left, bottom right, middle left, ...
    Limb trunk;
    std::vector<Vec2> crown;  // the top cone
    std::vector<std::pair<Vec2, unsigned>> baubles;
    Vec2 star{0.0, -468.0};
};

std::shared_ptr<const Fir> makeFir() {
    auto f = std::make_shared<Fir>();
    struct Tier {
        double height, reach, root;
    };
    const Tier tiers[3] = {{60.0, 420.0, 112.0}, {-100.0, 320.0, 96.0}, {-246.0, 226.0, 78.0}};
    for (int t = 0; t < 3; ++t) {
        for (int side = 0; side < 2; ++side) {
            const double s = side == 0 ? -1.0 : 1.0;
            const Tier& k = tiers[t];
            const std::vector<Vec2> path = {{s * 20.0, k.height - 70.0},
                                            {s * k.reach * 0.45, k.height - 30.0},
                                            {s * k.reach * 0.8, k.height + 20.0},
                                            {s * k.reach, k.height + 66.0}};
            f->branches[size_t(2 * t + side)] = smoothLimb(path, k.root, 32.0, 8);
        }
    }
    f->trunk = smoothLimb({{0.0, 126.0}, {0.0, 40.0}, {0.0, -200.0}, {0.0, -330.0}}, 46.0, 30.0, 6);
    f->crown = {{0.0, -470.0}, {112.0, -250.0}, {-112.0, -250.0}};
    const unsigned colours[4] = {0xe8303a, 0xf4c542, 0x3a8ee8, 0xe85fb0};
    const Vec2 spots[] = {{-300, 110}, {-150, 80},   {40, 110},  {230, 120},
                          {370, 118},  {-220, -50},  {-60, -70}, {120, -40},
                          {270, -30},  {-130, -190}, {40, -210}, {150, -190},
                          {-30, -330}, {40, -380},   {-340, 40}, {320, 40}};
    for (size_t i = 0; i < sizeof spots / sizeof spots[0]; ++i)
        f->baubles.push_back({spots[i], colours[i % 4]});
    return f;
}

double trunkDistance(const Fir& f, Vec2 p) {
    const double cone = polygonDistance(p, f.crown);
    return smoothUnion(limbDistance(p, f.trunk), cone, 20.0);
}

double starDistance(const Fir& f, Vec2 p) {
    // Five points: the radius swings between inner and outer with the angle.
    const Vec2 d = p - f.star;
    const double a = std::atan2(d.x, -d.y);
    const double k = 0.5 + 0.5 * std::cos(5.0 * a);
    return length(d) - (30.0 + 20.0 * k);
}

double silhouette(const Fir& f, Vec2 p) {
    double d = smoothUnion(trunkDistance(f, p), starDistance(f, p), 10.0);
    for (const Limb& b : f.branches) d = smoothUnion(d, limbDistance(p, b), 16.0);
    return d;
}

Colour paint(const Fir& f, Vec2 p, double s) {
    const Colour outline = hexColour(0x0f2a1c);
    const Colour deep = hexColour(0x1f6b3a);
    const Colour needle = hexColour(0x3d9c4f);
    const Colour tip = hexColour(0x9ad66b);
    const Colour bark = hexColour(0x7a4a2a);

    const float depth = smoothstep(0.0f, 40.0f, float(-s));
    Colour c = mix(tip, needle, depth);

    // The branch in front decides the pattern: needles sweep down and out along it.
    double nearest = trunkDistance(f, p);
    LimbSample branch{1e30, 0, 0, 0};
    for (const Limb& b : f.branches) {
        const LimbSample sample = sampleLimb(p, b);
        if (sample.distance < branch.distance) branch = sample;
    }
    if (branch.distance < 0.0) {
        const float inner = smoothstep(-branch.radius, 0.0, branch.distance);
        c = mix(deep, tip, 0.25f + 0.75f * inner * inner);
        const double stroke = std::fmod(branch.along * 0.9 + std::fabs(branch.side) * 0.7, 22.0);
        c = mix(c, deep, 0.35f * smoothstep(14.0f, 20.0f, float(stroke)));
        // Snow-light on the upper edge of each branch.
        if (branch.side < 0.0)
            c = mix(c, hexColour(0xe8fff0),
                    0.45f * smoothstep(-14.0f, -4.0f, float(branch.distance)));
        nearest = std::min(nearest, branch.distance);
    } else if (nearest < 0.0) {
        // Crown and trunk: needles above the tiers, bark below them.
        c = p.y > 100.0 ? mix(bark, hexColour(0x5a3420), 0.5f + 0.5f * float(std::sin(p.x * 0.2)))
                        : mix(deep, needle, 0.5f + 0.4f * float(std::sin(p.y * 0.12 + p.x * 0.05)));
    }

    // Baubles with a highlight, and a golden star on top.
    for (const auto& [at, colour] : f.baubles) {
        const double d = circleDistance(p, at, 17.0);
        if (d > 2.0) continue;
        c = mix(c, scaled(hexColour(colour), 0.55f), coverage(d));
        c = mix(c, hexColour(colour), coverage(d + 3.0));
        c = mix(c, hexColour(0xffffff), coverage(circleDistance(p, at + Vec2{-5, -6}, 4.0)));
    }
    const double star = starDistance(f, p);
    if (star < 2.0) {
        const Colour gold = mix(hexColour(0xffb300), hexColour(0xfff3a0),
                                1.0f - smoothstep(0.0f, 40.0f, float(length(p - f.star))));
        c = mix(c, hexColour(0x8a5a00), coverage(star));
        c = mix(c, gold, coverage(star + 3.0));
    }
    return mix(c, outline, smoothstep(-4.0f, -1.5f, float(s)));
}

}  // namespace

FigureDesign plantDesign() {
    const std::shared_ptr<const Fir> f = makeFir();
    FigureDesign design = slotDesign(2, 13.0, hexColour(0x0f2a1c), f, silhouette, paint);
    const char* names[6] = {"lowLeft", "lowRight", "midLeft", "midRight", "topLeft", "topRight"};
    for (int i = 0; i < 6; ++i) {
        const Limb& b = f->branches[size_t(i)];
        design.handles.push_back({names[i], b.points[b.points.size() - 3]});
    }
    design.handles.push_back({"star", f->star});
    design.handles.push_back({"trunk", {0.0, 120.0}});
    return design;
}
