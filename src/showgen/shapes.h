// Signed distances to the simple shapes that figures and scenery are built from (negative
// inside, in pixels), and the coverage of a pixel that follows from them.
#pragma once

#include <vector>

#include "figure/vec2.h"

double circleDistance(Vec2 p, Vec2 centre, double radius);

// An ellipse with radii (rx, ry), turned by `angle` radians.
double ellipseDistance(Vec2 p, Vec2 centre, double rx, double ry, double angle);

// A segment swept by a disc whose radius goes from ra to rb along it.
double taperedSegmentDistance(Vec2 p, Vec2 a, Vec2 b, double ra, double rb);

// A polygon given by its corners, either winding.
double polygonDistance(Vec2 p, const std::vector<Vec2>& corners);

// A limb: a chain of points with one radius per point.
struct Limb {
    std::vector<Vec2> points;
    std::vector<double> radii;
    Vec2 boxMin{0.0, 0.0}, boxMax{0.0, 0.0};  // around the points, grown by the largest radius
};

// Fills a limb's box from its points and radii; distances far outside the box are estimated
// from the box alone.
void boundLimb(Limb& limb);
double limbDistance(Vec2 p, const Limb& limb);

// A curve through `points` (Catmull-Rom), sampled into `steps` segments per span, with the
// radius going linearly from the first to the last value of `radii` along the samples.
Limb smoothLimb(const std::vector<Vec2>& points, double radiusStart, double radiusEnd, int steps);

// Smooth union: like min, but rounds the crease where two shapes meet over `k` pixels.
double smoothUnion(double a, double b, double k);

// The fraction of a pixel covered by a shape whose edge is `distance` away from its centre.
float coverage(double distance);

// Where a point lies against a limb: its distance to the surface, how far along the centre line
// its nearest point is (pixels from the first point), on which side (positive to the left of
// the direction of travel in a y-down frame) and the limb's radius there.
struct LimbSample {
    double distance;
    double along;
    double side;
    double radius;
};
LimbSample sampleLimb(Vec2 p, const Limb& limb);
