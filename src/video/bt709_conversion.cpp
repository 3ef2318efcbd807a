#include "video/bt709_conversion.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The AVX2 loops are built into every x86-64 binary and chosen when the CPU has the unit.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HAVE_AVX2_LOOPS 1
#define AVX2_LOOP __attribute__((target("avx2")))
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

// 15 fractional bits, the most a signed 16-bit weight has for SSE2's multiply-add, which pairs
// R with B and G with A (weight 0) in one step. The plain loop below does the same sums, so every
// loop agrees to the bit.
const int WEIGHT_BITS = 15;
const int LUMA_WEIGHTS[3] = {fixedPoint((LUMA_SCALE * KR), WEIGHT_BITS),
                             fixedPoint((LUMA_SCALE * KG), WEIGHT_BITS),
                             fixedPoint((LUMA_SCALE * KB), WEIGHT_BITS)};
const int LUMA_BIAS = (16 << WEIGHT_BITS) + (1 << (WEIGHT_BITS - 1));
// Chroma weighs the sum of a 2 x 2 block: two more bits make it the mean.
const int CHROMA_SHIFT = WEIGHT_BITS + 2;
const int CB_WEIGHTS[3] = {fixedPoint(-KR / (2.0 * (1.0 - KB)) * CHROMA_SCALE, WEIGHT_BITS),
                           fixedPoint(-KG / (2.0 * (1.0 - KB)) * CHROMA_SCALE, WEIGHT_BITS),
                           fixedPoint(0.5 * CHROMA_SCALE, WEIGHT_BITS)};
const int CR_WEIGHTS[3] = {fixedPoint(0.5 * CHROMA_SCALE, WEIGHT_BITS),
                           fixedPoint(-KG / (2.0 * (1.0 - KR)) * CHROMA_SCALE, WEIGHT_BITS),
                           fixedPoint(-KB / (2.0 * (1.0 - KR)) * CHROMA_SCALE, WEIGHT_BITS)};
const int CHROMA_BIAS = (128 << CHROMA_SHIFT) + (1 << (CHROMA_SHIFT - 1));

inline uint8_t luma(const uint8_t* pixel) {
    return uint8_t((pixel[0] * LUMA_WEIGHTS[0] + pixel[1] * LUMA_WEIGHTS[1] +
                    pixel[2] * LUMA_WEIGHTS[2] + LUMA_BIAS) >>
                   WEIGHT_BITS);
}

// The bias keeps the sum positive, so the shift rounds as the vector one does.
inline uint8_t chroma(const int* sums, const int* weights) {
    return uint8_t(
        (sums[0] * weights[0] + sums[1] * weights[1] + sums[2] * weights[2] + CHROMA_BIAS) >>
        CHROMA_SHIFT);
}

// Two rows of RGBA pixels from column `from` on, one pair of columns at a time.
void convertPairPlain(const uint8_t* top, const uint8_t* bottom, int from, int width, uint8_t* yTop,
                      uint8_t* yBottom, uint8_t* u, uint8_t* v) {
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

// 4 pixels split into 16-bit lanes: R and B of each in `rb`, G and A in `ga`.
struct Split {
    __m128i rb, ga;
};

inline Split split(const uint8_t* rgba) {
    const __m128i low = _mm_set1_epi16(0xFF);
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba));
    return Split{_mm_and_si128(pixels, low), _mm_and_si128(_mm_srli_epi16(pixels, 8), low)};
}

// Weights for the multiply-add: `first` on the lower lane of each pair, `second` on the upper.
inline __m128i pairOf(int first, int second) {
    return _mm_set1_epi32(int(uint32_t(uint16_t(first)) | uint32_t(second) << 16));
}

// The luma of 8 pixels as 16-bit lanes.
inline __m128i lumaOf(const Split& a, const Split& b) {
    const __m128i rb = pairOf(LUMA_WEIGHTS[0], LUMA_WEIGHTS[2]);
    const __m128i ga = pairOf(LUMA_WEIGHTS[1], 0);
    const __m128i bias = _mm_set1_epi32(LUMA_BIAS);
    const __m128i sumA =
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(a.rb, rb), bias), _mm_madd_epi16(a.ga, ga));
    const __m128i sumB =
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(b.rb, rb), bias), _mm_madd_epi16(b.ga, ga));
    return _mm_packs_epi32(_mm_srai_epi32(sumA, WEIGHT_BITS), _mm_srai_epi32(sumB, WEIGHT_BITS));
}

// The sums of the 2 x 2 blocks of 8 columns of two rows: 4 blocks, in the split's layout.
inline __m128i blockSums(__m128i top0, __m128i bottom0, __m128i top1, __m128i bottom1) {
    const __m128 a = _mm_castsi128_ps(_mm_add_epi16(top0, bottom0));
    const __m128 b = _mm_castsi128_ps(_mm_add_epi16(top1, bottom1));
    return _mm_add_epi16(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
}

// One chroma plane's value of 4 blocks, as 32-bit lanes.
inline __m128i chromaOf(__m128i rb, __m128i ga, const int* weights) {
    const __m128i sum = _mm_add_epi32(
        _mm_madd_epi16(rb, pairOf(weights[0], weights[2])),
        _mm_add_epi32(_mm_madd_epi16(ga, pairOf(weights[1], 0)), _mm_set1_epi32(CHROMA_BIAS)));
    return _mm_srai_epi32(sum, CHROMA_SHIFT);
}

// 8 columns of two rows: the luma of each row, and each chroma plane's 4 blocks.
struct HalfStep {
    __m128i yTop, yBottom, cb, cr;
};

// Half a step at a time keeps the split pixels within the 16 registers.
inline HalfStep halfStep(const uint8_t* top, const uint8_t* bottom) {
    const Split t0 = split(top), t1 = split(top + 16);
    const Split b0 = split(bottom), b1 = split(bottom + 16);
    const __m128i rb = blockSums(t0.rb, b0.rb, t1.rb, b1.rb);
    const __m128i ga = blockSums(t0.ga, b0.ga, t1.ga, b1.ga);
    return HalfStep{lumaOf(t0, t1), lumaOf(b0, b1), chromaOf(rb, ga, CB_WEIGHTS),
                    chromaOf(rb, ga, CR_WEIGHTS)};
}

// 16 columns at a time from column `from`; returns the first column left for the plain loop.
int convertPairSse2(const uint8_t* top, const uint8_t* bottom, int from, int width, uint8_t* yTop,
                    uint8_t* yBottom, uint8_t* u, uint8_t* v) {
    int x = from;
    for (; x + 16 <= width; x += 16) {
        const HalfStep left = halfStep(top + x * 4, bottom + x * 4);
        const HalfStep right = halfStep(top + x * 4 + 32, bottom + x * 4 + 32);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yTop + x),
                         _mm_packus_epi16(left.yTop, right.yTop));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yBottom + x),
                         _mm_packus_epi16(left.yBottom, right.yBottom));
        const __m128i cb = _mm_packs_epi32(left.cb, right.cb);
        const __m128i cr = _mm_packs_epi32(left.cr, right.cr);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), _mm_packus_epi16(cb, cb));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_packus_epi16(cr, cr));
    }
    return x;
}

#else

int convertPairSse2(const uint8_t*, const uint8_t*, int from, int, uint8_t*, uint8_t*, uint8_t*,
                    uint8_t*) {
    return from;
}

#endif

#if defined(HAVE_AVX2_LOOPS)

// The SSE2 loop's steps on 256-bit registers. Their per-lane packs and shuffles leave each
// 128-bit half with its own pixels, so the results are put back in order once, before storing.
struct Split8 {
    __m256i rb, ga;
};

AVX2_LOOP inline Split8 split8(const uint8_t* rgba) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rgba));
    return Split8{_mm256_and_si256(pixels, _mm256_set1_epi16(0xFF)), _mm256_srli_epi16(pixels, 8)};
}

AVX2_LOOP inline __m256i pairOf8(int first, int second) {
    return _mm256_set1_epi32(int(uint32_t(uint16_t(first)) | uint32_t(second) << 16));
}

// The luma of 16 pixels as 16-bit lanes: each half holds 4 pixels of `a`, then 4 of `b`.
AVX2_LOOP inline __m256i lumaOf16(const Split8& a, const Split8& b) {
    const __m256i rb = pairOf8(LUMA_WEIGHTS[0], LUMA_WEIGHTS[2]);
    const __m256i ga = pairOf8(LUMA_WEIGHTS[1], 0);
    const __m256i bias = _mm256_set1_epi32(LUMA_BIAS);
    const __m256i sumA = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(a.rb, rb), bias),
                                          _mm256_madd_epi16(a.ga, ga));
    const __m256i sumB = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(b.rb, rb), bias),
                                          _mm256_madd_epi16(b.ga, ga));
    return _mm256_packs_epi32(_mm256_srai_epi32(sumA, WEIGHT_BITS),
                              _mm256_srai_epi32(sumB, WEIGHT_BITS));
}

// The 8 block sums of 16 columns of two rows; the lower half holds blocks 0, 1, 4 and 5.
AVX2_LOOP inline __m256i blockSums8(__m256i top0, __m256i bottom0, __m256i top1, __m256i bottom1) {
    const __m256 a = _mm256_castsi256_ps(_mm256_add_epi16(top0, bottom0));
    const __m256 b = _mm256_castsi256_ps(_mm256_add_epi16(top1, bottom1));
    return _mm256_add_epi16(_mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                            _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
}

AVX2_LOOP inline __m256i chromaOf8(__m256i rb, __m256i ga, const int* weights) {
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(rb, pairOf8(weights[0], weights[2])),
                         _mm256_add_epi32(_mm256_madd_epi16(ga, pairOf8(weights[1], 0)),
                                          _mm256_set1_epi32(CHROMA_BIAS)));
    return _mm256_srai_epi32(sum, CHROMA_SHIFT);
}

// 16 columns of two rows, in the layouts above.
struct HalfStep8 {
    __m256i yTop, yBottom, cb, cr;
};

AVX2_LOOP inline HalfStep8 halfStep8(const uint8_t* top, const uint8_t* bottom) {
    const Split8 t0 = split8(top), t1 = split8(top + 32);
    const Split8 b0 = split8(bottom), b1 = split8(bottom + 32);
    const __m256i rb = blockSums8(t0.rb, b0.rb, t1.rb, b1.rb);
    const __m256i ga = blockSums8(t0.ga, b0.ga, t1.ga, b1.ga);
    return HalfStep8{lumaOf16(t0, t1), lumaOf16(b0, b1), chromaOf8(rb, ga, CB_WEIGHTS),
                     chromaOf8(rb, ga, CR_WEIGHTS)};
}

// 32 columns at a time; returns the first column left for the narrower loops.
AVX2_LOOP int convertPairAvx2(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* yTop,
                              uint8_t* yBottom, uint8_t* u, uint8_t* v) {
    // The packed luma holds groups of 4 pixels in the order 0, 2, 4, 6, 1, 3, 5, 7.
    const __m256i lumaOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    // After the 64-bit reorder each half holds one plane's pairs of blocks as 0, 2, 4, 6, 1, 3,
    // 5, 7.
    const __m256i chromaOrder =
        _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15, 0, 1, 8, 9, 2, 3, 10,
                         11, 4, 5, 12, 13, 6, 7, 14, 15);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        const HalfStep8 left = halfStep8(top + x * 4, bottom + x * 4);
        const HalfStep8 right = halfStep8(top + x * 4 + 64, bottom + x * 4 + 64);
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(yTop + x),
            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(left.yTop, right.yTop), lumaOrder));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(yBottom + x),
                            _mm256_permutevar8x32_epi32(
                                _mm256_packus_epi16(left.yBottom, right.yBottom), lumaOrder));
        const __m256i planes = _mm256_shuffle_epi8(
            _mm256_permute4x64_epi64(_mm256_packus_epi16(_mm256_packs_epi32(left.cb, right.cb),
                                                         _mm256_packs_epi32(left.cr, right.cr)),
                                     _MM_SHUFFLE(3, 1, 2, 0)),
            chromaOrder);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(u + x / 2), _mm256_castsi256_si128(planes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + x / 2),
                         _mm256_extracti128_si256(planes, 1));
    }
    return x;
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

#if defined(HAVE_AVX2_LOOPS)

// `widen` 8 pixels a step, each 128-bit half shuffling 4 pixels' 12 bytes out of a 16-byte load.
AVX2_LOOP void widenAvx2(const uint8_t* rgb, int width, uint8_t* rgba) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int x = 0;
    // The upper load ends 4 bytes past its pixels, which must still lie within the row.
    for (; x + 10 <= width; x += 8) {
        const uint8_t* from = rgb + x * 3;
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 12)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(rgba + x * 4),
                            _mm256_or_si256(_mm256_shuffle_epi8(bytes, order), alpha));
    }
    widen(rgb + x * 3, width - x, rgba + x * 4);
}

#endif

}  // namespace

ConversionLoops widestConversionLoops() {
#if defined(HAVE_AVX2_LOOPS)
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    if (avx2) return ConversionLoops::Avx2;
#endif
#if defined(__SSE2__)
    return ConversionLoops::Sse2;
#else
    return ConversionLoops::Portable;
#endif
}

bool rgbToBt709I420(const uint8_t* rgb, int rgbStride, int bytesPerPixel, uint8_t* y, int yStride,
                    uint8_t* u, int uStride, uint8_t* v, int vStride, int width, int height,
                    ConversionLoops widest) {
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
    const int loops = std::min(int(widest), int(widestConversionLoops()));
    std::vector<uint8_t> wide(bytesPerPixel == 3 ? size_t(width) * 8 : 0);
    void (*widenRow)(const uint8_t*, int, uint8_t*) = widen;
#if defined(HAVE_AVX2_LOOPS)
    if (loops >= int(ConversionLoops::Avx2)) widenRow = widenAvx2;
#endif
    for (int row = 0; row < height; row += 2) {
        const uint8_t* top = rgb + ptrdiff_t(row) * step;
        const uint8_t* bottom = top + step;
        if (bytesPerPixel == 3) {
            widenRow(top, width, wide.data());
            widenRow(bottom, width, wide.data() + width * 4);
            top = wide.data();
            bottom = wide.data() + width * 4;
        }
        uint8_t* yTop = y + ptrdiff_t(row) * yStride;
        uint8_t* yBottom = yTop + yStride;
        uint8_t* uRow = u + ptrdiff_t(row / 2) * uStride;
        uint8_t* vRow = v + ptrdiff_t(row / 2) * vStride;
        int done = 0;
#if defined(HAVE_AVX2_LOOPS)
        if (loops >= int(ConversionLoops::Avx2))
            done = convertPairAvx2(top, bottom, width, yTop, yBottom, uRow, vRow);
#endif
        if (loops >= int(ConversionLoops::Sse2))
            done = convertPairSse2(top, bottom, done, width, yTop, yBottom, uRow, vRow);
        convertPairPlain(top, bottom, done, width, yTop, yBottom, uRow, vRow);
    }
    return true;
}
