#include "video/bt709_conversion.h"

#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// BT.709's luma weights; the matrix follows from them.
constexpr double KR = 0.2126;
constexpr double KB = 0.0722;
constexpr double KG = 1.0 - KR - KB;
// Limited range: luma spans 16 to 235 (219 steps), chroma 16 to 240 (224 steps).
constexpr double LUMA_SCALE = 219.0 / 255.0;
constexpr double CHROMA_SCALE = 224.0 / 255.0;

constexpr int fixedPoint(double value, int bits) {
    const double scaled = value * double(1 << bits);
    return int(scaled < 0.0 ? scaled - 0.5 : scaled + 0.5);
}

// The arithmetic is the one SSE2's 16-bit multiplies give (the high half of a product), so the
// vector loop and the plain one below agree to the bit. Luma: each channel shifted up by 7 bits
// times an unsigned 16-bit weight keeps 7 fractional bits.
const int LUMA_BITS = 7;
const uint16_t LUMA_WEIGHTS[3] = {uint16_t(fixedPoint(KR * LUMA_SCALE, 16)),
                                  uint16_t(fixedPoint(KG * LUMA_SCALE, 16)),
                                  uint16_t(fixedPoint(KB * LUMA_SCALE, 16))};
const int LUMA_BIAS = (16 << LUMA_BITS) + (1 << (LUMA_BITS - 1));

// Chroma: the sum of a 2 x 2 block shifted up by 5 bits (the mean's 7) times a signed weight of
// 15 fractional bits keeps 6.
const int CHROMA_BITS = 6;
const int16_t CB_WEIGHTS[3] = {int16_t(fixedPoint(-KR / (2.0 * (1.0 - KB)) * CHROMA_SCALE, 15)),
                               int16_t(fixedPoint(-KG / (2.0 * (1.0 - KB)) * CHROMA_SCALE, 15)),
                               int16_t(fixedPoint(0.5 * CHROMA_SCALE, 15))};
const int16_t CR_WEIGHTS[3] = {int16_t(fixedPoint(0.5 * CHROMA_SCALE, 15)),
                               int16_t(fixedPoint(-KG / (2.0 * (1.0 - KR)) * CHROMA_SCALE, 15)),
                               int16_t(fixedPoint(-KB / (2.0 * (1.0 - KR)) * CHROMA_SCALE, 15))};
const int CHROMA_BIAS = (128 << CHROMA_BITS) + (1 << (CHROMA_BITS - 1));

inline int lumaTerm(int channel, uint16_t weight) {
    return int((uint32_t(channel << LUMA_BITS) * weight) >> 16);
}

inline int chromaTerm(int blockSum, int16_t weight) {
    // An arithmetic shift, as the vector multiply's high half: rounds towards minus infinity.
    return (int32_t(blockSum << 5) * weight) >> 16;
}

inline uint8_t luma(const uint8_t* pixel) {
    return uint8_t((lumaTerm(pixel[0], LUMA_WEIGHTS[0]) + lumaTerm(pixel[1], LUMA_WEIGHTS[1]) +
                    lumaTerm(pixel[2], LUMA_WEIGHTS[2]) + LUMA_BIAS) >>
                   LUMA_BITS);
}

inline uint8_t chroma(const int* sums, const int16_t* weights) {
    return uint8_t((chromaTerm(sums[0], weights[0]) + chromaTerm(sums[1], weights[1]) +
                    chromaTerm(sums[2], weights[2]) + CHROMA_BIAS) >>
                   CHROMA_BITS);
}

// Two rows of RGBA pixels from column `from` on, one pair of columns at a time.
void convertPairPlain(const uint8_t* top, const uint8_t* bottom, int from, int width,
                      uint8_t* yTop, uint8_t* yBottom, uint8_t* u, uint8_t* v) {
    for (int x = from; x < width; x += 2) {
        const uint8_t* pixels[4] = {top + x * 4, top + x * 4 + 4, bottom + x * 4,
                                    bottom + x * 4 + 4};
        yTop[x] = luma(pixels[0]);
        yTop[x + 1] = luma(pixels[1]);
        yBottom[x] = luma(pixels[2]);
        yBottom[x + 1] = luma(pixels[3]);
        int sums[3];
        for (int c = 0; c < 3; ++c)
            sums[c] = pixels[0][c] + pixels[1][c] + pixels[2][c] + pixels[3][c];
        u[x / 2] = chroma(sums, CB_WEIGHTS);
        v[x / 2] = chroma(sums, CR_WEIGHTS);
    }
}

#if defined(__SSE2__)

// 8 pixels' R, G and B, each shifted up by 7 bits, in 16-bit lanes.
struct Channels {
    __m128i c[3];
};

inline Channels channels(const uint8_t* rgba) {
    const __m128i mask = _mm_set1_epi32(0xFF << LUMA_BITS);
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + 16));
    // In a 32-bit lane a pixel reads A << 24 | B << 16 | G << 8 | R. The values stay below 2^15,
    // so the signed pack keeps them.
    Channels out;
    out.c[0] = _mm_packs_epi32(_mm_and_si128(_mm_slli_epi32(low, LUMA_BITS), mask),
                               _mm_and_si128(_mm_slli_epi32(high, LUMA_BITS), mask));
    out.c[1] = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(low, 8 - LUMA_BITS), mask),
                               _mm_and_si128(_mm_srli_epi32(high, 8 - LUMA_BITS), mask));
    out.c[2] = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(low, 16 - LUMA_BITS), mask),
                               _mm_and_si128(_mm_srli_epi32(high, 16 - LUMA_BITS), mask));
    return out;
}

inline __m128i lumaOf(const Channels& p) {
    __m128i sum = _mm_set1_epi16(int16_t(LUMA_BIAS));
    for (int c = 0; c < 3; ++c)
        sum = _mm_add_epi16(sum,
                            _mm_mulhi_epu16(p.c[c], _mm_set1_epi16(int16_t(LUMA_WEIGHTS[c]))));
    return _mm_srli_epi16(sum, LUMA_BITS);
}

// The 2 x 2 block sums of 16 columns of two rows (8 and 8 pixels of one channel each), shifted
// up by 5 bits, as 8 16-bit lanes.
inline __m128i blockSums(__m128i top0, __m128i bottom0, __m128i top1, __m128i bottom1) {
    const __m128i ones = _mm_set1_epi16(1);
    // (top + bottom) << 7 fits 16 unsigned bits; halved, each lane is exact and below 2^15.
    const __m128i pairs0 = _mm_madd_epi16(_mm_srli_epi16(_mm_add_epi16(top0, bottom0), 1), ones);
    const __m128i pairs1 = _mm_madd_epi16(_mm_srli_epi16(_mm_add_epi16(top1, bottom1), 1), ones);
    return _mm_packs_epi32(_mm_srai_epi32(pairs0, 1), _mm_srai_epi32(pairs1, 1));
}

inline __m128i chromaOf(const __m128i* sums, const int16_t* weights) {
    __m128i sum = _mm_set1_epi16(int16_t(CHROMA_BIAS));
    for (int c = 0; c < 3; ++c)
        sum = _mm_add_epi16(sum, _mm_mulhi_epi16(sums[c], _mm_set1_epi16(weights[c])));
    return _mm_srai_epi16(sum, CHROMA_BITS);
}

// 16 columns at a time; returns the first column left for the plain loop.
int convertPairVector(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* yTop,
                      uint8_t* yBottom, uint8_t* u, uint8_t* v) {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const Channels t0 = channels(top + x * 4), t1 = channels(top + x * 4 + 32);
        const Channels b0 = channels(bottom + x * 4), b1 = channels(bottom + x * 4 + 32);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yTop + x),
                         _mm_packus_epi16(lumaOf(t0), lumaOf(t1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yBottom + x),
                         _mm_packus_epi16(lumaOf(b0), lumaOf(b1)));
        __m128i sums[3];
        for (int c = 0; c < 3; ++c) sums[c] = blockSums(t0.c[c], b0.c[c], t1.c[c], b1.c[c]);
        const __m128i cb = chromaOf(sums, CB_WEIGHTS), cr = chromaOf(sums, CR_WEIGHTS);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), _mm_packus_epi16(cb, cb));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_packus_epi16(cr, cr));
    }
    return x;
}

#else

int convertPairVector(const uint8_t*, const uint8_t*, int, uint8_t*, uint8_t*, uint8_t*,
                      uint8_t*) {
    return 0;
}

#endif

// R, G, B rows widened to RGBA, so one loop serves both layouts.
void widen(const uint8_t* rgb, int width, uint8_t* rgba) {
    for (int x = 0; x < width; ++x) {
        rgba[x * 4] = rgb[x * 3];
        rgba[x * 4 + 1] = rgb[x * 3 + 1];
        rgba[x * 4 + 2] = rgb[x * 3 + 2];
        rgba[x * 4 + 3] = 255;
    }
}

}  // namespace

bool rgbToBt709I420(const uint8_t* rgb, int rgbStride, int bytesPerPixel, uint8_t* y, int yStride,
                    uint8_t* u, int uStride, uint8_t* v, int vStride, int width, int height) {
    if (rgb == nullptr || y == nullptr || u == nullptr || v == nullptr || width <= 0 ||
        height == 0 || width % 2 != 0 || height % 2 != 0 ||
        (bytesPerPixel != 3 && bytesPerPixel != 4) || rgbStride < width * bytesPerPixel ||
        yStride < width || uStride < width / 2 || vStride < width / 2)
        return false;
    ptrdiff_t step = rgbStride;
    if (height < 0) {
        height = -height;
        rgb += ptrdiff_t(height - 1) * step;
        step = -step;
    }
    std::vector<uint8_t> wide(bytesPerPixel == 3 ? size_t(width) * 8 : 0);
    for (int row = 0; row < height; row += 2) {
        const uint8_t* top = rgb + ptrdiff_t(row) * step;
        const uint8_t* bottom = top + step;
        if (bytesPerPixel == 3) {
            widen(top, width, wide.data());
            widen(bottom, width, wide.data() + width * 4);
            top = wide.data();
            bottom = wide.data() + width * 4;
        }
        uint8_t* yTop = y + ptrdiff_t(row) * yStride;
        uint8_t* yBottom = yTop + yStride;
        uint8_t* uRow = u + ptrdiff_t(row / 2) * uStride;
        uint8_t* vRow = v + ptrdiff_t(row / 2) * vStride;
        const int done = convertPairVector(top, bottom, width, yTop, yBottom, uRow, vRow);
        convertPairPlain(top, bottom, done, width, yTop, yBottom, uRow, vRow);
    }
    return true;
}
