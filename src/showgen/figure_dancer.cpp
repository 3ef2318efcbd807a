// Doranek: a dancer in a wide ball gown, one arm raised and one held out, whose skirt swings
// apart; its bones are laid out on its skeleton as on a drawing.
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "scene/show_facts.h"
#include "showgen/figure.h"

namespace {

struct Dancer {
    Vec2 headCentre{0.0, -446.0};
    Limb neck, bodice;
    std::array<Limb, 4> arms;  // left upper, left lower, right upper, right lower
    std::array<Vec2, 2> hands;
    std::array<std::vector<Vec2>, 2> skirt;  // left and right halves
    std::vector<Vec2> wholeSkirt;
};

std::shared_ptr<const Dancer> makeDancer() {
    auto d = std::make_shared<Dancer>();
    d->neck = smoothLimb({{0, -410}, {0, -360}}, 18.0, 20.0, 2);
    d->bodice = smoothLimb({{0, -350}, {0, -300}, {0, -230}}, 60.0, 40.0, 4);
    // Left arm raised high over the head, right arm held out and down, as in a turn.
    d->arms[0] = smoothLimb({{-52, -338}, {-140, -396}, {-206, -440}}, 30.0, 19.0, 4);
    d->arms[1] = smoothLimb({{-206, -440}, {-230, -500}, {-206, -556}}, 18.0, 14.0, 4);
    d->arms[2] = smoothLimb({{52, -338}, {150, -332}, {236, -318}}, 30.0, 19.0, 4);
    d->arms[3] = smoothLimb({{236, -318}, {320, -290}, {396, -300}}, 18.0, 14.0, 4);
    d->hands = {Vec2{-196, -570}, Vec2{412, -306}};
    d->skirt[0] = {{0, -245},   {-46, -245}, {-160, -120}, {-330, 38},
                   {-440, 118}, {-250, 140}, {-100, 134},  {0, 142}};
    d->skirt[1] = {{0, -245},  {46, -245}, {160, -120}, {330, 38},
                   {440, 118}, {250, 140}, {100, 134},  {0, 142}};
    // Both halves in one outline, left half down, right half back up.
    for (size_t i = 1; i + 1 < d->skirt[0].size(); ++i) d->wholeSkirt.push_back(d->skirt[0][i]);
    d->wholeSkirt.push_back({0, 142});
    for (size_t i = d->skirt[1].size() - 2; i >= 1; --i) d->wholeSkirt.push_back(d->skirt[1][i]);
    return d;
}

double headDistance(const Dancer& d, Vec2 p) {
    const double face = ellipseDistance(p, d.headCentre, 50.0, 58.0, 0.0);
    const double bun = circleDistance(p, d.headCentre + Vec2{0.0, -70.0}, 32.0);
    return smoothUnion(smoothUnion(face, bun, 14.0), limbDistance(p, d.neck), 10.0);
}

// The hem is scalloped: ruffles along the bottom edge.
double ruffled(double distance, Vec2 p) {
    return distance + 6.0 * std::sin(p.x * 0.09) * smoothstep(48.0f, 88.0f, float(p.y));
}

// The gown reaches the floor: feet peeping from under it would take bones that the arms need.
double skirtDistance(const Dancer& d, int side, Vec2 p) {
    return ruffled(polygonDistance(p, d.skirt[size_t(side)]), p);
}

double wholeSkirtDistance(const Dancer& d, Vec2 p) {
    return ruffled(polygonDistance(p, d.wholeSkirt), p);
}

double armDistance(const Dancer& d, int arm, Vec2 p) {
    double a = limbDistance(p, d.arms[size_t(arm)]);
    if (arm == 1) a = smoothUnion(a, circleDistance(p, d.hands[0], 20.0), 8.0);
    if (arm == 3) a = smoothUnion(a, circleDistance(p, d.hands[1], 20.0), 8.0);
    return a;
}

double bodiceDistance(const Dancer& d, Vec2 p) {
    return limbDistance(p, d.bodice);
}

double boneDistance(const Dancer& d, int bone, Vec2 p) {
    switch (bone) {
        case 0:
            return bodiceDistance(d, p);
        case 1:
            return headDistance(d, p);
        case 2:
        case 3:
        case 4:
        case 5:
            return armDistance(d, bone - 2, p);
        default:
            return skirtDistance(d, bone - 6, p);
    }
}

double silhouette(const Dancer& d, Vec2 p) {
    double s = boneDistance(d, 0, p);
    for (int b = 1; b < 6; ++b) s = smoothUnion(s, boneDistance(d, b, p), 12.0);
    // The two halves of the skirt make one outline, with no seam between them.
    return smoothUnion(s, wholeSkirtDistance(d, p), 12.0);
}

Colour paint(const Dancer& d, Vec2 p, double s) {
    const Colour outline = hexColour(0x2a0f1e);
    const Colour skin = hexColour(0xf2c29b);
    const Colour skinShade = hexColour(0xc98a66);
    const Colour gown = hexColour(0xd9304e);
    const Colour gownLight = hexColour(0xff7a8a);
    const Colour gownDark = hexColour(0x7e1030);
    const Colour hair = hexColour(0x3b2216);

    int part = 0;
    double best = 1e30;
    for (int b = 0; b < 8; ++b) {
        const double bd = boneDistance(d, b, p);
        if (bd < best) {
            best = bd;
            part = b;
        }
    }
    // The gown is shaded as one piece, the skin part by part.
    const float depth = smoothstep(0.0f, 30.0f, float(part >= 6 || part == 0 ? -s : -best));
    Colour c;
    if (part >= 6 || part == 0 || part == 2 || part == 4) {
        // Gown: vertical folds that fan out towards the hem, lit from the upper left.
        const double fan = std::atan2(p.x, p.y + 300.0);
        const float fold = 0.5f + 0.5f * float(std::sin(fan * 22.0));
        c = mix(gownDark, gown, 0.4f + 0.6f * depth);
        if (part >= 6) c = mix(c, gownLight, 0.35f * fold * depth);
        if (part == 0) {
            const double lacing =
                std::fabs(std::fabs(p.x) - 0.3 * std::fabs(std::fmod(p.y + 1000.0, 24.0) - 12.0) -
                          4.0) -
                1.5;
            if (p.y > -330.0) c = mix(c, hexColour(0xffd24a), 0.8f * coverage(lacing));
            const double sash = std::fabs(p.y + 240.0) - 10.0;
            c = mix(c, hexColour(0xffd24a), coverage(sash));
        }
        if (p.y > 94.0 && best < -2.0) {
            const double lace = std::fabs(p.y - 114.0 - 6.0 * std::sin(p.x * 0.09)) - 4.0;
            c = mix(c, hexColour(0xfff0f0), 0.8f * coverage(lace));
        }
    } else {
        c = mix(skinShade, skin, 0.35f + 0.65f * depth);
    }
    if (part == 1) {
        // Hair: the bun and a cap over the top of the head; a calm face below.
        const Vec2 h = d.headCentre;
        const double cap = ellipseDistance(p, h + Vec2{0.0, -22.0}, 54.0, 42.0, 0.0);
        const double bun = circleDistance(p, h + Vec2{0.0, -70.0}, 32.0);
        if (p.y < h.y - 8.0 || bun < 0.0) {
            const float strand = 0.5f + 0.5f * float(std::sin(p.x * 0.35 + p.y * 0.1));
            c = mix(c, mix(hair, hexColour(0x6b4128), 0.3f * strand), coverage(std::min(cap, bun)));
        }
        for (double side : {-1.0, 1.0}) {
            const Vec2 eye = h + Vec2{side * 20.0, 4.0};
            const double lid = std::fabs(length(p - (eye + Vec2{0, -8})) - 10.0) - 2.0;
            if (p.y > eye.y - 6.0) c = mix(c, outline, coverage(lid));
            c = mix(c, hexColour(0xf08a80),
                    0.5f * coverage(circleDistance(p, h + Vec2{side * 30.0, 24.0}, 10.0)));
        }
        const double mouth = ellipseDistance(p, h + Vec2{0.0, 32.0}, 10.0, 5.0, 0.0);
        c = mix(c, hexColour(0xb8324a), coverage(mouth));
    }
    return mix(c, outline, smoothstep(-4.0f, -1.5f, float(s)));
}

}  // namespace

FigureDesign dancerDesign() {
    const std::shared_ptr<const Dancer> d = makeDancer();
    FigureDesign design = slotDesign(3, 11.0, hexColour(0x2a0f1e), d, silhouette, paint);
    design.handles = {{"leftHand", d->hands[0]},   {"rightHand", d->hands[1]},
                      {"leftElbow", {-206, -440}}, {"rightElbow", {236, -318}},
                      {"head", {0.0, -470.0}},     {"leftHem", {-400, 108}},
                      {"rightHem", {400, 108}},    {"waist", {0.0, -240.0}}};
    return design;
}
