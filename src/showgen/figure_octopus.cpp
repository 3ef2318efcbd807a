// Kiv: a round octopus with eight curling arms. Its bones are laid out on its skeleton as on a
// drawing: the head is the trunk, and the arms take the other bones.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "scene/show_facts.h"
#include "showgen/figure.h"

namespace {

struct Octopus {
    std::array<Limb, 8> arms;
    Vec2 headCentre{0.0, -262.0};
};

std::shared_ptr<const Octopus> makeOctopus() {
    auto o = std::make_shared<Octopus>();
    // Right-hand arms from the middle outwards; the left ones are their mirror images.
    const std::vector<std::vector<Vec2>> rightArms = {
        {{22, -120}, {38, -30}, {60, 50}, {110, 112}, {172, 114}, {198, 78}, {180, 50}},
        {{62, -120}, {126, -40}, {220, 30}, {320, 80}, {398, 72}, {420, 34}, {396, 10}},
        {{102, -130}, {196, -80}, {318, -40}, {440, -6}, {530, 10}, {566, -24}, {548, -56}},
        {{138, -150}, {240, -150}, {360, -150}, {476, -150}, {566, -176}, {596, -226}, {570, -256}},
    };
    for (int k = 0; k < 4; ++k) {
        std::vector<Vec2> left;
        for (Vec2 p : rightArms[size_t(k)]) left.push_back({-p.x, p.y});
        const double tip = 11.0;
        o->arms[size_t(4 + k)] = smoothLimb(rightArms[size_t(k)], 40.0, tip, 6);
        o->arms[size_t(3 - k)] = smoothLimb(left, 40.0, tip, 6);
    }
    return o;
}

double headDistance(const Octopus& o, Vec2 p) {
    const double dome = ellipseDistance(p, o.headCentre, 204.0, 190.0, 0.0);
    const double skirt = ellipseDistance(p, {0.0, -130.0}, 172.0, 70.0, 0.0);
    return smoothUnion(dome, skirt, 30.0);
}

double silhouette(const Octopus& o, Vec2 p) {
    double d = headDistance(o, p);
    for (const Limb& arm : o.arms) d = smoothUnion(d, limbDistance(p, arm), 18.0);
    return d;
}

Colour paint(const Octopus& o, Vec2 p, double s) {
    const Colour outline = hexColour(0x3a1030);
    const Colour skin = hexColour(0xe8607a);
    const Colour skinLight = hexColour(0xffa0a8);
    const Colour skinDark = hexColour(0xb03a62);
    const Colour sucker = hexColour(0xffd6cf);

    // Rounded body: darker towards the outline, lighter in the middle, light from the top left.
    const float depth = smoothstep(0.0f, 46.0f, float(-s));
    Colour c = mix(skinDark, skin, depth);
    const double lightSpot = length(p - Vec2{-70.0, -330.0});
    c = mix(c, skinLight, 0.55f * (1.0f - smoothstep(20.0f, 150.0f, float(lightSpot))));

    // Arms: soft bands across them, and two rows of suckers along their under side.
    int nearestArm = -1;
    LimbSample best{1e30, 0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        const LimbSample sample = sampleLimb(p, o.arms[size_t(i)]);
        if (sample.distance < best.distance) {
            best = sample;
            nearestArm = i;
        }
    }
    const double head = headDistance(o, p);
    if (nearestArm >= 0 && best.distance < 0.0 && best.distance < head) {
        const float band = 0.5f + 0.5f * float(std::cos(best.along / 26.0));
        c = mix(c, skinDark, 0.12f * band);
        const double under = nearestArm < 4 ? best.side : -best.side;
        const double pitch = std::max(14.0, best.radius * 1.7);
        const double phase = std::fmod(best.along, pitch) - pitch * 0.5;
        const double across = under - best.radius * 0.45;
        const double r = std::max(3.0, best.radius * 0.32);
        const double dot = std::sqrt(phase * phase + across * across) - r;
        if (best.along > 40.0 && best.radius > 15.0) {
            c = mix(c, mix(sucker, skinDark, 0.25f), coverage(dot + 1.5));
            c = mix(c, sucker, coverage(dot + 3.5));
        }
    }

    // Face: two big eyes, cheeks and a smile. Symmetric, so it reads the same either way round.
    for (double side : {-1.0, 1.0}) {
        const Vec2 eye{side * 66.0, -262.0};
        const double white = ellipseDistance(p, eye, 44.0, 52.0, 0.0);
        c = mix(c, outline, coverage(white - 4.0));
        c = mix(c, hexColour(0xfffaf2), coverage(white));
        const double iris = circleDistance(p, eye + Vec2{side * -8.0, 10.0}, 27.0);
        c = mix(c, hexColour(0x2a1a40), coverage(iris));
        const double glint = circleDistance(p, eye + Vec2{side * -16.0, -2.0}, 9.0);
        c = mix(c, hexColour(0xffffff), coverage(glint));
        const double cheek = ellipseDistance(p, {side * 122.0, -196.0}, 30.0, 18.0, 0.0);
        c = mix(c, hexColour(0xff7f9a), 0.6f * coverage(cheek + 6.0) + 0.2f * coverage(cheek));
        const double spot = circleDistance(p, {side * 120.0, -360.0}, 16.0);
        c = mix(c, skinDark, 0.35f * coverage(spot));
    }
    const double smile = std::fabs(length(p - Vec2{0.0, -250.0}) - 66.0) - 5.0;
    if (p.y > -205.0 && std::fabs(p.x) < 48.0) c = mix(c, outline, coverage(smile));

    return mix(c, outline, smoothstep(-5.0f, -2.0f, float(s)));
}

}  // namespace

FigureDesign octopusDesign() {
    const std::shared_ptr<const Octopus> o = makeOctopus();
    FigureDesign design = slotDesign(1, 13.0, hexColour(0x3a1030), o, silhouette, paint);
    for (int i = 0; i < 8; ++i) {
        const Limb& arm = o->arms[size_t(i)];
        design.handles.push_back({"tip" + std::to_string(i), arm.points[arm.points.size() - 5]});
        design.handles.push_back({"mid" + std::to_string(i), arm.points[arm.points.size() / 2]});
    }
    design.handles.push_back({"crown", {0.0, -380.0}});
    design.handles.push_back({"chin", {0.0, -150.0}});
    return design;
}
