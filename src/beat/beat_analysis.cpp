#include "beat/beat_analysis.h"

#include <algorithm>
#include <cmath>

#include "beat/onset_envelope.h"

namespace {

// The envelope peaks this much after the sound it marks starts: a log band's rise is steepest
// as the attack enters the 23 ms window, before the window is centred on it, so the peak comes
// early (measured on kicks, snares and hi-hats).
constexpr double envelopeLatency = -0.0042;

// The shortest music that tells a tempo: a few bars at the slowest tempo looked for.
constexpr double shortestMusic = 3.0;
constexpr double slowestTempo = 40.0, fastestTempo = 300.0;

double square(double x) {
    return x * x;
}

// How well the envelope repeats every `lag` frames, each lag weighted by how likely a tempo it
// is: a log-normal around 120 beats a minute, an octave wide, so that between a tempo and its
// half or double the one nearer a dancer's pace wins unless the music says otherwise.
std::vector<double> weightedPeriodicity(const std::vector<float>& x, size_t from, size_t to,
                                        size_t shortest, size_t longest,
                                        std::vector<double>& plain) {
    plain.assign(longest + 2, 0.0);
    std::vector<double> weighted(longest + 2, 0.0);
    const double preferred = onsetFrameRate * 0.5;
    for (size_t lag = shortest; lag <= longest + 1 && from + lag < to; ++lag) {
        double sum = 0.0;
        for (size_t k = from; k + lag < to; ++k) sum += double(x[k]) * double(x[k + lag]);
        plain[lag] = sum / double(to - from - lag);
        weighted[lag] = plain[lag] * std::exp(-0.5 * square(std::log2(double(lag) / preferred)));
    }
    return weighted;
}

// The envelope's period in frames, to a fraction of a frame.
double estimatePeriod(const std::vector<float>& envelope, size_t from, size_t to) {
    double mean = 0.0;
    for (size_t k = from; k < to; ++k) mean += envelope[k];
    mean /= double(to - from);
    std::vector<float> x(envelope.size(), 0.0f);
    for (size_t k = from; k < to; ++k) x[k] = float(envelope[k] - mean);
    const size_t shortest = size_t(std::floor(onsetFrameRate * 60.0 / fastestTempo));
    const size_t longest = size_t(std::ceil(onsetFrameRate * 60.0 / slowestTempo));
    std::vector<double> plain;
    const std::vector<double> weighted =
        weightedPeriodicity(x, from, to, shortest, 2 * longest + 2, plain);
    // A period counts with the evidence of its double: a beat's level repeats at two beats as
    // well (the kick of beat 1 on beat 3), a half-beat level's double is the beat itself.
    size_t best = 0;
    double bestScore = -1e300;
    for (size_t lag = shortest + 1; lag < longest; ++lag) {
        if (!(plain[lag] >= plain[lag - 1] && plain[lag] >= plain[lag + 1])) continue;
        const double score = weighted[lag] + 0.5 * weighted[2 * lag] +
                             0.25 * (weighted[2 * lag - 1] + weighted[2 * lag + 1]);
        if (score > bestScore) bestScore = score, best = lag;
    }
    if (best == 0) return onsetFrameRate * 0.5;
    const double a = plain[best - 1], b = plain[best], c = plain[best + 1];
    const double curve = a - 2.0 * b + c;
    const double shift = curve < 0.0 ? 0.5 * (a - c) / curve : 0.0;
    return double(best) + std::max(-0.5, std::min(0.5, shift));
}

// The beats by dynamic programming (Ellis 2007): each frame's best score of a beat track ending
// there, the onset strength of its frame plus the best earlier beat's score less a penalty for
// a gap off the period; then back from the best end.
std::vector<size_t> trackBeats(const std::vector<float>& local, size_t from, size_t to,
                               double period) {
    constexpr double tightness = 100.0;
    const size_t count = local.size();
    std::vector<double> score(count, 0.0);
    std::vector<long long> back(count, -1);
    const size_t nearest = std::max<size_t>(1, size_t(std::lround(period / 2.0)));
    const size_t farthest = size_t(std::lround(period * 2.0));
    std::vector<double> penalty(farthest + 1, 0.0);
    for (size_t gap = nearest; gap <= farthest; ++gap)
        penalty[gap] = -tightness * square(std::log(double(gap) / period));
    for (size_t t = from; t < to; ++t) {
        double best = 0.0;
        long long bestFrom = -1;
        if (t >= from + nearest) {
            const size_t lo = t >= from + farthest ? t - farthest : from;
            for (size_t tau = lo; tau + nearest <= t; ++tau) {
                const double s = score[tau] + penalty[t - tau];
                if (bestFrom < 0 || s > best) best = s, bestFrom = (long long)tau;
            }
        }
        score[t] = double(local[t]) + (bestFrom >= 0 ? std::max(0.0, best) : 0.0);
        back[t] = bestFrom >= 0 && best > 0.0 ? bestFrom : -1;
    }
    const size_t tail = to > from + farthest ? to - farthest : from;
    size_t end = tail;
    for (size_t t = tail; t < to; ++t)
        if (score[t] > score[end]) end = t;
    std::vector<size_t> beats;
    for (long long t = (long long)end; t >= 0; t = back[size_t(t)]) beats.push_back(size_t(t));
    std::reverse(beats.begin(), beats.end());
    return beats;
}

// The beats at the ends whose onsets are weak against the rest: track laid over silence or a
// fade, not beats heard.
void trimWeakEnds(const std::vector<float>& local, std::vector<size_t>& beats) {
    double sum = 0.0;
    for (size_t b : beats) sum += square(local[b]);
    const double threshold = 0.5 * std::sqrt(sum / double(std::max<size_t>(1, beats.size())));
    size_t first = 0, last = beats.size();
    while (first < last && local[beats[first]] < threshold) ++first;
    while (last > first && local[beats[last - 1]] < threshold) --last;
    beats = std::vector<size_t>(beats.begin() + long(first), beats.begin() + long(last));
}

// A beat moved to the envelope's strongest rise near it, to a fraction of a frame.
double snapToPeak(const std::vector<float>& envelope, size_t beat, size_t reach) {
    const size_t lo = beat > reach ? beat - reach : 1;
    const size_t hi = std::min(envelope.size() - 2, beat + reach);
    size_t peak = std::min(std::max(beat, lo), hi);
    for (size_t k = lo; k <= hi; ++k)
        if (envelope[k] > envelope[peak]) peak = k;
    const double a = envelope[peak - 1], b = envelope[peak], c = envelope[peak + 1];
    const double curve = a - 2.0 * b + c;
    const double shift = curve < 0.0 ? 0.5 * (a - c) / curve : 0.0;
    return double(peak) + std::max(-0.5, std::min(0.5, shift));
}

struct Line {
    double start = 0.0, step = 0.0;  // beat i at start + i·step
};

// The least-squares line through the beats, each numbered by whole periods from the first; a
// beat far off the line is left out and the line drawn again.
Line fitLine(const std::vector<double>& times, double step) {
    Line line{times.front(), step};
    std::vector<char> kept(times.size(), 1);
    for (int round = 0; round < 3; ++round) {
        double n = 0, si = 0, st = 0, sii = 0, sit = 0;
        for (size_t j = 0; j < times.size(); ++j) {
            const double i = std::round((times[j] - line.start) / line.step);
            const double off = times[j] - (line.start + i * line.step);
            kept[j] = std::fabs(off) < 0.2 * line.step;
            if (!kept[j]) continue;
            n += 1, si += i, st += times[j], sii += i * i, sit += i * times[j];
        }
        const double d = n * sii - si * si;
        if (n < 2 || d <= 0.0) break;
        line.step = (n * sit - si * st) / d;
        line.start = (st - line.step * si) / n;
    }
    return line;
}

// 3 beats a bar only when the beats' low accents (kicks, bass notes) clearly repeat every three
// beats rather than every two or four.
int beatsPerBarOf(const std::vector<float>& low, const std::vector<size_t>& tracked, size_t reach) {
    if (tracked.size() < 24) return 4;
    std::vector<float> local(tracked.size());
    std::vector<size_t> beats(tracked.size());
    for (size_t j = 0; j < tracked.size(); ++j) {
        const size_t lo = tracked[j] > reach ? tracked[j] - reach : 0;
        const size_t hi = std::min(low.size() - 1, tracked[j] + reach);
        local[j] = *std::max_element(low.begin() + long(lo), low.begin() + long(hi) + 1);
        beats[j] = j;
    }
    double mean = 0.0;
    for (size_t b : beats) mean += local[b];
    mean /= double(beats.size());
    double spread = 0.0;
    for (size_t b : beats) spread += square(local[b] - mean);
    spread /= double(beats.size());
    if (spread <= 0.0) return 4;
    const auto phaseSpread = [&](size_t meter) {
        std::vector<double> sum(meter, 0.0), n(meter, 0.0);
        for (size_t j = 0; j < beats.size(); ++j) sum[j % meter] += local[beats[j]], n[j % meter]++;
        double s = 0.0;
        for (size_t p = 0; p < meter; ++p) s += square(sum[p] / n[p] - mean);
        return s / double(meter) / spread;
    };
    const double three = phaseSpread(3), four = phaseSpread(4);
    return three > 0.2 && three > 3.0 * four ? 3 : 4;
}

}  // namespace

bool analyseBeat(const int16_t* samples, size_t frames, int channels, BeatGrid& grid,
                 std::string& error) {
    if (!samples || channels < 1) {
        error = "no samples to find a beat in";
        return false;
    }
    const OnsetEnvelope envelope = onsetEnvelope(samples, frames, channels);
    if (envelope.strength.empty() || envelope.soundEnd <= envelope.soundStart) {
        error = "the music is silent: no beat to find";
        return false;
    }
    if (envelope.soundEnd - envelope.soundStart < shortestMusic) {
        error = "the music is too short to tell a beat (less than 3 s)";
        return false;
    }
    const std::vector<float>& strength = envelope.strength;
    const size_t from = size_t(std::floor(envelope.soundStart * onsetFrameRate));
    const size_t to = std::min(strength.size(), size_t(envelope.soundEnd * onsetFrameRate) + 2);

    double mean = 0.0, meanSquare = 0.0;
    for (size_t k = from; k < to; ++k) mean += strength[k], meanSquare += square(strength[k]);
    mean /= double(to - from);
    const double deviation = std::sqrt(std::max(0.0, meanSquare / double(to - from) - mean * mean));
    if (!(deviation > 0.0)) {
        error = "the music has no onsets: no beat to find";
        return false;
    }
    std::vector<float> local(strength.size());
    for (size_t k = 0; k < strength.size(); ++k) local[k] = float(strength[k] / deviation);

    const double period = estimatePeriod(strength, from, to);
    std::vector<size_t> tracked = trackBeats(local, from, to, period);
    trimWeakEnds(local, tracked);
    if (tracked.size() < 4) {
        error = "the music tells no steady beat";
        return false;
    }
    const size_t reach = std::max<size_t>(1, size_t(period * 0.08));
    std::vector<double> times;
    for (size_t b : tracked)
        times.push_back(envelope.firstTime + snapToPeak(strength, b, reach) / onsetFrameRate -
                        envelopeLatency);
    const Line line = fitLine(times, period / onsetFrameRate);

    BeatGrid found;
    found.tempo = 60.0 / line.step;
    // The grid's first beat once the music is heard (a quarter beat of leeway for a quiet
    // start), the beats before the tracked ones laid out on the line.
    const double first = std::ceil((envelope.soundStart - line.start) / line.step - 0.25);
    found.firstBeat = std::max(0.0, line.start + first * line.step);
    for (double i = first; line.start + i * line.step < times.front() - 0.5 * line.step; ++i)
        found.beats.push_back(std::max(0.0, line.start + i * line.step));
    found.beats.insert(found.beats.end(), times.begin(), times.end());
    found.beatsPerBar = beatsPerBarOf(envelope.low, tracked, reach);
    grid = found;
    return true;
}
