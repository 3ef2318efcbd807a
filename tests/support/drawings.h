// Drawings made up for the figure tests and benchmark: shapes painted into RGBA pictures, with
// a transparent background or a plain one of a key colour.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TestDrawing {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

// A point of the picture (pixel centres at i + 0.5) and whether the figure covers it.
using Shape = std::function<bool(double x, double y)>;

// The figure in two tones (so that a texture shows which way round it is), on a transparent
// background, or, with `opaque`, on the background colour `key` (0xRRGGBB) with no alpha. With
// `soft`, the figure's edge pixels are half background, as a drawing program smooths them.
TestDrawing paintDrawing(int width, int height, const Shape& shape, bool opaque = false,
                         uint32_t key = 0xffffff, bool soft = false);

// Whether a colour is one of the two tones, or a blend of them alone.
bool figureTone(const uint8_t* rgb);

void saveDrawing(const std::string& path, const TestDrawing& drawing);

Shape discShape(double cx, double cy, double r);
Shape ringShape(double cx, double cy, double inner, double outer);
// A segment swept by a disc of radius r.
Shape stickShape(double ax, double ay, double bx, double by, double r);
Shape unionOf(const std::vector<Shape>& shapes);

// A stick figure on a `size` x `size` picture: a head, a body and four thin limbs.
Shape stickFigure(double size, double limbRadius);
