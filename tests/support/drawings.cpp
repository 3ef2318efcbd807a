#include "drawings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "stb_image_write.h"

TestDrawing paintDrawing(int width, int height, const Shape& shape, bool opaque, uint32_t key,
                         bool soft) {
    TestDrawing d{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 4)};
    const uint8_t background[3] = {uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &d.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            if (shape(x + 0.5, y + 0.5)) {
                // Left half red, right half blue.
                const bool left = x < width / 2;
                p[0] = left ? 200 : 40;
                p[1] = 60;
                p[2] = left ? 40 : 200;
                p[3] = 255;
                const bool edge = !shape(x - 0.5, y + 0.5) || !shape(x + 1.5, y + 0.5) ||
                                  !shape(x + 0.5, y - 0.5) || !shape(x + 0.5, y + 1.5);
                if (soft && edge) {
                    if (opaque) {
                        for (int k = 0; k < 3; ++k) p[k] = uint8_t((p[k] + background[k]) / 2);
                    } else {
                        p[3] = 160;
                    }
                }
            } else if (opaque) {
                std::copy_n(background, 3, p);
                p[3] = 255;
            }
        }
    return d;
}

bool figureTone(const uint8_t* rgb) {
    return std::abs(int(rgb[1]) - 60) <= 2 && std::abs(int(rgb[0]) + int(rgb[2]) - 240) <= 4;
}

void saveDrawing(const std::string& path, const TestDrawing& drawing) {
    stbi_write_png(path.c_str(), drawing.width, drawing.height, 4, drawing.rgba.data(),
                   drawing.width * 4);
}

Shape discShape(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) < r; };
}

Shape ringShape(double cx, double cy, double inner, double outer) {
    return [=](double x, double y) {
        const double d = std::hypot(x - cx, y - cy);
        return d < outer && d > inner;
    };
}

Shape stickShape(double ax, double ay, double bx, double by, double r) {
    return [=](double x, double y) {
        const double vx = bx - ax, vy = by - ay;
        const double t =
            std::clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
        return std::hypot(x - ax - t * vx, y - ay - t * vy) < r;
    };
}

Shape unionOf(const std::vector<Shape>& shapes) {
    return [=](double x, double y) {
        for (const Shape& s : shapes)
            if (s(x, y)) return true;
        return false;
    };
}

Shape stickFigure(double size, double limbRadius) {
    const double k = size / 100.0;
    return unionOf({discShape(50 * k, 15 * k, 10 * k),                       // head
                    stickShape(50 * k, 25 * k, 50 * k, 60 * k, 6 * k),       // body
                    stickShape(50 * k, 32 * k, 20 * k, 50 * k, limbRadius),  // arms
                    stickShape(50 * k, 32 * k, 82 * k, 22 * k, limbRadius),
                    stickShape(50 * k, 60 * k, 30 * k, 95 * k, limbRadius),  // legs
                    stickShape(50 * k, 60 * k, 68 * k, 95 * k, limbRadius)});
}
