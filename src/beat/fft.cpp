#include "beat/fft.h"

#include <cmath>

RealFft makeRealFft(size_t size) {
    RealFft fft;
    fft.size = size;
    const size_t half = size / 2;
    fft.bitReversed.resize(half);
    size_t bits = 0;
    while ((size_t(1) << bits) < half) ++bits;
    for (size_t i = 0; i < half; ++i) {
        size_t r = 0;
        for (size_t b = 0; b < bits; ++b)
            if (i & (size_t(1) << b)) r |= size_t(1) << (bits - 1 - b);
        fft.bitReversed[i] = r;
    }
    fft.cosines.resize(half);
    fft.sines.resize(half);
    const double pi = 3.14159265358979323846;
    for (size_t k = 0; k < half; ++k) {
        const double angle = -2.0 * pi * double(k) / double(size);
        fft.cosines[k] = float(std::cos(angle));
        fft.sines[k] = float(std::sin(angle));
    }
    return fft;
}

void powerSpectrum(const RealFft& fft, const float* frame, std::vector<float>& work, float* power) {
    // The real frame as a complex one of half the length (even samples real, odd imaginary),
    // transformed, then its two interleaved spectra pulled apart: half the work of a complex
    // transform of the whole frame. Real and imaginary parts in arrays of their own, so that the
    // butterflies vectorise.
    const size_t half = fft.size / 2;
    work.resize(2 * half);
    float* re = work.data();
    float* im = work.data() + half;
    for (size_t i = 0; i < half; ++i) {
        re[fft.bitReversed[i]] = frame[2 * i];
        im[fft.bitReversed[i]] = frame[2 * i + 1];
    }
    const float* cosines = fft.cosines.data();
    const float* sines = fft.sines.data();
    for (size_t span = 1; span < half; span *= 2) {
        const size_t stride = half / span;  // the twiddle step of this stage
        for (size_t start = 0; start < half; start += 2 * span) {
            float* ar = re + start;
            float* ai = im + start;
            float* br = re + start + span;
            float* bi = im + start + span;
            for (size_t k = 0; k < span; ++k) {
                const float wr = cosines[k * stride], wi = sines[k * stride];
                const float tr = br[k] * wr - bi[k] * wi;
                const float ti = br[k] * wi + bi[k] * wr;
                br[k] = ar[k] - tr;
                bi[k] = ai[k] - ti;
                ar[k] = ar[k] + tr;
                ai[k] = ai[k] + ti;
            }
        }
    }
    for (size_t k = 0; k <= half; ++k) {
        const size_t j = k % half, m = (half - k) % half;
        // z = Z[k], c = conj(Z[half - k]); even = (z + c) / 2, odd = (z - c) / 2i.
        const float evenRe = 0.5f * (re[j] + re[m]), evenIm = 0.5f * (im[j] - im[m]);
        const float oddRe = 0.5f * (im[j] + im[m]), oddIm = -0.5f * (re[j] - re[m]);
        const float wr = k < half ? cosines[k] : -1.0f, wi = k < half ? sines[k] : 0.0f;
        const float xr = evenRe + (oddRe * wr - oddIm * wi);
        const float xi = evenIm + (oddRe * wi + oddIm * wr);
        power[k] = xr * xr + xi * xi;
    }
}
