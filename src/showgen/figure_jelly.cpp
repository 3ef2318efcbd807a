// Pilou: a round jellyfish with a frilled rim and short curling tentacles, all one bone, so
// that it bobs and tilts as a whole.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "scene/show_facts.h"
#include "showgen/figure.h"

namespace {

struct Jelly {
    Vec2 domeCentre{0.0, -150.0};
    std::array<Limb, 5> tentacles;
};

std::shared_ptr<const Jelly> makeJelly() {
    auto j = std::make_shared<Jelly>();
    for (int i = 0; i < 5; ++i) {
        const double x = -200.0 + 100.0 * i;
        const double lean = (i - 2) * 24.0;
        j->tentacles[size_t(i)] = smoothLimb({{x, -20.0},
                                              {x + lean, 40.0},
                                              {x + lean - 28.0, 90.0},
                                              {x + lean + 8.0, 132.0},
                                              {x + lean + 38.0, 124.0}},
                                             30.0, 12.0, 6);
    }
    return j;
}

double domeDistance(const Jelly& j, Vec2 p) {
    const double dome = ellipseDistance(p, j.domeCentre, 300.0, 210.0, 0.0);
    // Cut flat below the rim, then a row of frills hangs from it.
    const double cut = p.y - (j.domeCentre.y + 110.0);
    double d = std::max(dome, cut);
    const double frill = std::fabs(std::fmod(p.x + 1000.0, 60.0) - 30.0);
    const double scallop = circleDistance({frill, p.y}, {0.0, j.domeCentre.y + 108.0}, 34.0);
    return smoothUnion(d, std::max(scallop, std::fabs(p.x) - 270.0), 10.0);
}

double silhouette(const Jelly& j, Vec2 p) {
    double d = domeDistance(j, p);
    for (const Limb& t : j.tentacles) d = smoothUnion(d, limbDistance(p, t), 14.0);
    return d;
}

Colour paint(const Jelly& j, Vec2 p, double s) {
    const Colour outline = hexColour(0x2a1048);
    const Colour body = hexColour(0x8f6cf0);
    const Colour light = hexColour(0xd6c4ff);
    const Colour deep = hexColour(0x5a3cc0);
    const float depth = smoothstep(0.0f, 60.0f, float(-s));
    Colour c = mix(deep, body, depth);
    // A glossy highlight and soft glowing spots on the dome.
    const double gloss = ellipseDistance(p, j.domeCentre + Vec2{-110.0, -80.0}, 70.0, 36.0, -0.5);
    c = mix(c, light, 0.7f * (1.0f - smoothstep(-20.0f, 30.0f, float(gloss))));
    const Vec2 spots[] = {{160, -250}, {200, -170}, {-190, -150}, {100, -300}, {-60, -290}};
    for (Vec2 sp : spots) {
        const double d = circleDistance(p, sp, 14.0);
        c = mix(c, hexColour(0xffd0f4), 0.8f * coverage(d) + 0.2f * coverage(d - 8.0));
    }
    double tentacle = 1e30;
    for (const Limb& t : j.tentacles) tentacle = std::min(tentacle, limbDistance(p, t));
    if (tentacle < 0.0 && domeDistance(j, p) > 0.0) {
        const float band = 0.5f + 0.5f * float(std::sin(p.y * 0.18));
        c = mix(c, hexColour(0xff9ad5), 0.35f * band);
    }
    // Face: wide eyes and an open smile.
    for (double side : {-1.0, 1.0}) {
        const Vec2 eye = j.domeCentre + Vec2{side * 80.0, 0.0};
        const double white = ellipseDistance(p, eye, 34.0, 40.0, 0.0);
        c = mix(c, outline, coverage(white - 4.0));
        c = mix(c, hexColour(0xffffff), coverage(white));
        c = mix(c, hexColour(0x1a1030), coverage(circleDistance(p, eye + Vec2{0, 8}, 20.0)));
        c = mix(c, hexColour(0xffffff), coverage(circleDistance(p, eye + Vec2{-8, 0}, 7.0)));
        c = mix(
            c, hexColour(0xff8fc0),
            0.6f * coverage(ellipseDistance(p, eye + Vec2{side * 36.0, 48.0}, 24.0, 13.0, 0.0)));
    }
    const Vec2 mouth = j.domeCentre + Vec2{0.0, 44.0};
    const double smile = std::max(circleDistance(p, mouth, 34.0), mouth.y - p.y);
    c = mix(c, outline, coverage(smile));
    c = mix(c, hexColour(0xff5e8a),
            coverage(std::max(circleDistance(p, mouth + Vec2{0, 16}, 16.0), smile + 4.0)));
    return mix(c, outline, smoothstep(-5.0f, -2.0f, float(s)));
}

}  // namespace

FigureDesign jellyDesign() {
    const std::shared_ptr<const Jelly> j = makeJelly();
    FigureDesign design = slotDesign(4, 12.0, hexColour(0x2a1048), j, silhouette, paint);
    design.handles = {{"top", {0.0, -330.0}},
                      {"left", {-260.0, -120.0}},
                      {"right", {260.0, -120.0}},
                      {"middle", {0.0, -150.0}}};
    return design;
}
