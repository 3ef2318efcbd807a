#include "newshow/card_picture.h"

#include <algorithm>
#include <vector>

namespace {

// One pass of a running box average of `radius` pixels each way along rows, then columns.
void boxBlur(std::vector<float>& values, int width, int height, int radius) {
    std::vector<float> line;
    const auto pass = [&](int count, int length, size_t stride, size_t next) {
        line.resize(size_t(length));
        for (int i = 0; i < count; ++i) {
            float* first = values.data() + size_t(i) * next;
            for (int k = 0; k < length; ++k) line[size_t(k)] = first[size_t(k) * stride];
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k)
                sum += line[size_t(std::clamp(k, 0, length - 1))];
            const float scale = 1.0f / float(2 * radius + 1);
            for (int k = 0; k < length; ++k) {
                first[size_t(k) * stride] = sum * scale;
                sum += line[size_t(std::min(k + radius + 1, length - 1))] -
                       line[size_t(std::max(k - radius, 0))];
            }
        }
    };
    pass(height, width, 1, size_t(width));
    pass(width, height, size_t(width), 1);
}

// The ink blurred three times over, close to a Gaussian of about `radius` pixels.
std::vector<float> soft(const TextCoverage& text, int radius) {
    std::vector<float> values(text.alpha.size());
    for (size_t i = 0; i < values.size(); ++i) values[i] = float(text.alpha[i]) / 255.0f;
    for (int i = 0; i < 3; ++i) boxBlur(values, text.width, text.height, radius);
    return values;
}

}  // namespace

void layCardText(Picture& card, const TextCoverage& text, const CardStyle& style) {
    if (text.width != card.width || text.height != card.height || text.alpha.empty()) return;
    const int size = std::max(card.height / 120, 1);
    const std::vector<float> shadow = soft(text, 2 * size);
    const std::vector<float> glow = soft(text, 5 * size);
    const int drop = size;
    const Colour night{0.02f, 0.0f, 0.05f};
    for (int y = 0; y < card.height; ++y)
        for (int x = 0; x < card.width; ++x) {
            const int sx = std::max(x - drop, 0), sy = std::max(y - drop, 0);
            blendPixel(
                card, x, y, night,
                0.75f *
                    std::min(1.0f, 1.6f * shadow[size_t(sy) * size_t(card.width) + size_t(sx)]));
            const size_t i = size_t(y) * size_t(card.width) + size_t(x);
            screenPixel(card, x, y, style.glow, std::min(1.0f, 1.4f * glow[i]));
            blendPixel(card, x, y, style.ink, float(text.alpha[i]) / 255.0f);
        }
}
