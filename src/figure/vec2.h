// Points and directions in a picture's pixel frame: x to the right, y down.
#pragma once

#include <cmath>

struct Vec2 {
    double x, y;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, double k) {
    return {a.x * k, a.y * k};
}
inline double length(Vec2 a) {
    return std::sqrt(a.x * a.x + a.y * a.y);
}
inline double dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
// Twice the signed area of the triangle abc: positive when it turns counter-clockwise in a
// frame with y up.
inline double twiceArea(Vec2 a, Vec2 b, Vec2 c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}
