#include "newshow/cover_picture.h"

#include <algorithm>
#include <cmath>

namespace {

Colour sourcePixel(const Drawing& drawing, int x, int y) {
    x = std::clamp(x, 0, drawing.width - 1);
    y = std::clamp(y, 0, drawing.height - 1);
    const uint8_t* p = &drawing.rgba[(size_t(y) * size_t(drawing.width) + size_t(x)) * 4];
    const float alpha = float(p[3]) / 255.0f;
    return {float(p[0]) / 255.0f * alpha, float(p[1]) / 255.0f * alpha,
            float(p[2]) / 255.0f * alpha};
}

}  // namespace

Picture coverPicture(const Drawing& drawing, int width, int height) {
    Picture picture = makePicture(width, height, Colour{0.0f, 0.0f, 0.0f});
    if (drawing.width <= 0 || drawing.height <= 0) return picture;
    const double scale = std::max(double(width) / drawing.width, double(height) / drawing.height);
    const double step = 1.0 / scale;  // source pixels per target pixel
    const double left = (drawing.width - width * step) / 2.0;
    const double top = (drawing.height - height * step) / 2.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double sx = left + (x + 0.5) * step, sy = top + (y + 0.5) * step;
            Colour sum{0.0f, 0.0f, 0.0f};
            if (step > 1.0) {
                const int x0 = int(std::floor(sx - step / 2.0)),
                          x1 = int(std::ceil(sx + step / 2.0));
                const int y0 = int(std::floor(sy - step / 2.0)),
                          y1 = int(std::ceil(sy + step / 2.0));
                int count = 0;
                for (int yy = y0; yy < y1; ++yy)
                    for (int xx = x0; xx < x1; ++xx, ++count)
                        sum = added(sum, sourcePixel(drawing, xx, yy));
                sum = scaled(sum, 1.0f / float(std::max(count, 1)));
            } else {
                const double fx = sx - 0.5, fy = sy - 0.5;
                const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
                const float tx = float(fx - ix), ty = float(fy - iy);
                const Colour upper =
                    mix(sourcePixel(drawing, ix, iy), sourcePixel(drawing, ix + 1, iy), tx);
                const Colour lower =
                    mix(sourcePixel(drawing, ix, iy + 1), sourcePixel(drawing, ix + 1, iy + 1), tx);
                sum = mix(upper, lower, ty);
            }
            at(picture, x, y) = sum;
        }
    }
    return picture;
}
