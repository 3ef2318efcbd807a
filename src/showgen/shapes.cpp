#include "showgen/shapes.h"

#include <algorithm>
#include <cmath>

#include "showgen/raster.h"

double circleDistance(Vec2 p, Vec2 centre, double radius) {
    return length(p - centre) - radius;
}

double ellipseDistance(Vec2 p, Vec2 centre, double rx, double ry, double angle) {
    const Vec2 d = p - centre;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double lx = (d.x * c + d.y * s) / rx;
    const double ly = (-d.x * s + d.y * c) / ry;
    const double k = std::sqrt(lx * lx + ly * ly);
    const double g = std::sqrt((lx / rx) * (lx / rx) + (ly / ry) * (ly / ry));
    // First-order distance (k - 1) / |grad k|: exact on the outline and close to it nearby,
    // which is all that the painting and the masks need.
    if (k < 1e-6 || g < 1e-12) return -std::min(rx, ry);
    return std::max((k - 1.0) * k / g, -std::min(rx, ry));
}

double taperedSegmentDistance(Vec2 p, Vec2 a, Vec2 b, double ra, double rb) {
    const Vec2 ab = b - a;
    const double len2 = dot(ab, ab);
    double t = len2 > 0.0 ? dot(p - a, ab) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const Vec2 q = a + ab * t;
    return length(p - q) - (ra + (rb - ra) * t);
}

double polygonDistance(Vec2 p, const std::vector<Vec2>& corners) {
    double best = 1e30;
    bool inside = false;
    const size_t n = corners.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const Vec2 a = corners[j];
        const Vec2 b = corners[i];
        best = std::min(best, taperedSegmentDistance(p, a, b, 0.0, 0.0));
        if ((b.y > p.y) != (a.y > p.y) && p.x < (a.x - b.x) * (p.y - b.y) / (a.y - b.y) + b.x)
            inside = !inside;
    }
    return inside ? -best : best;
}

void boundLimb(Limb& limb) {
    double grow = 0.0;
    for (double r : limb.radii) grow = std::max(grow, r);
    limb.boxMin = {1e30, 1e30};
    limb.boxMax = {-1e30, -1e30};
    for (Vec2 p : limb.points) {
        limb.boxMin = {std::min(limb.boxMin.x, p.x - grow), std::min(limb.boxMin.y, p.y - grow)};
        limb.boxMax = {std::max(limb.boxMax.x, p.x + grow), std::max(limb.boxMax.y, p.y + grow)};
    }
}

namespace {

// A lower bound of the distance to anything inside the limb's box.
double boxDistance(Vec2 p, const Limb& limb) {
    const double ox = std::max({limb.boxMin.x - p.x, 0.0, p.x - limb.boxMax.x});
    const double oy = std::max({limb.boxMin.y - p.y, 0.0, p.y - limb.boxMax.y});
    return std::sqrt(ox * ox + oy * oy);
}

constexpr double farAway = 80.0;

}  // namespace

double limbDistance(Vec2 p, const Limb& limb) {
    const double box = boxDistance(p, limb);
    if (box > farAway) return box;
    double best = 1e30;
    for (size_t i = 0; i + 1 < limb.points.size(); ++i) {
        best = std::min(best, taperedSegmentDistance(p, limb.points[i], limb.points[i + 1],
                                                     limb.radii[i], limb.radii[i + 1]));
    }
    return best;
}

Limb smoothLimb(const std::vector<Vec2>& points, double radiusStart, double radiusEnd, int steps) {
    Limb limb;
    const size_t n = points.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const Vec2 p0 = points[i == 0 ? 0 : i - 1];
        const Vec2 p1 = points[i];
        const Vec2 p2 = points[i + 1];
        const Vec2 p3 = points[i + 2 < n ? i + 2 : n - 1];
        for (int k = 0; k < steps; ++k) {
            const double t = double(k) / steps;
            const double t2 = t * t;
            const double t3 = t2 * t;
            const Vec2 q = (p1 * 2.0 + (p2 - p0) * t + (p0 * 2.0 - p1 * 5.0 + p2 * 4.0 - p3) * t2 +
                            (p1 * 3.0 - p0 - p2 * 3.0 + p3) * t3) *
                           0.5;
            limb.points.push_back(q);
        }
    }
    limb.points.push_back(points.back());
    const size_t m = limb.points.size();
    for (size_t i = 0; i < m; ++i) {
        const double t = m > 1 ? double(i) / double(m - 1) : 0.0;
        limb.radii.push_back(radiusStart + (radiusEnd - radiusStart) * t);
    }
    boundLimb(limb);
    return limb;
}

double smoothUnion(double a, double b, double k) {
    const double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return b + (a - b) * h - k * h * (1.0 - h);
}

float coverage(double distance) {
    return clamp01(float(0.5 - distance));
}

LimbSample sampleLimb(Vec2 p, const Limb& limb) {
    const double box = boxDistance(p, limb);
    if (box > farAway) return {box, 0.0, 0.0, 0.0};
    LimbSample best{1e30, 0.0, 0.0, 0.0};
    double start = 0.0;
    for (size_t i = 0; i + 1 < limb.points.size(); ++i) {
        const Vec2 a = limb.points[i];
        const Vec2 b = limb.points[i + 1];
        const Vec2 ab = b - a;
        const double len = length(ab);
        double t = len > 0.0 ? dot(p - a, ab) / (len * len) : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double radius = limb.radii[i] + (limb.radii[i + 1] - limb.radii[i]) * t;
        const Vec2 q = a + ab * t;
        const double d = length(p - q) - radius;
        if (d < best.distance) {
            const Vec2 off = p - q;
            const double cross = len > 0.0 ? (ab.x * off.y - ab.y * off.x) / len : 0.0;
            best = {d, start + len * t, cross, radius};
        }
        start += len;
    }
    return best;
}
