#include "showgen/music.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "showgen/synth.h"

namespace {

double at(double beat) {
    return beat * beatSeconds;
}

struct Chord {
    int root;                // MIDI note of the root in the bass octave
    std::vector<int> tones;  // semitones above the root
};

Chord minorChord(int root) {
    return {root, {0, 3, 7}};
}
Chord majorChord(int root) {
    return {root, {0, 4, 7}};
}

// A chord tone counted upwards from the root through the octaves: 0 root, 1 third, 2 fifth,
// 3 octave, and so on.
int chordTone(const Chord& c, int index, int octaveShift) {
    const int n = int(c.tones.size());
    const int octave = index >= 0 ? index / n : -((-index + n - 1) / n);
    const int step = index - octave * n;
    return c.root + c.tones[size_t(step)] + 12 * (octave + octaveShift);
}

struct MotifNote {
    double beat;    // within the bar
    double length;  // beats
    int tone;       // chord tone index
};

using VoiceFn = std::function<void(StereoBuffer&, const Voice&)>;

// Plays one bar of a motif over a chord.
void playMotif(StereoBuffer& out, const std::vector<MotifNote>& motif, const Chord& chord,
               double barStart, int octaveShift, float gain, float pan, const VoiceFn& voice) {
    for (const MotifNote& m : motif) {
        voice(out, {at(barStart + m.beat), at(m.length), chordTone(chord, m.tone, octaveShift),
                    gain, pan});
    }
}

void padChord(StereoBuffer& out, const Chord& chord, double startBeat, double beats, float gain) {
    for (size_t k = 0; k < chord.tones.size(); ++k) {
        const float pan = -0.5f + 0.5f * float(k);
        padVoice(out, {at(startBeat), at(beats), chord.root + 12 + chord.tones[k], gain, pan});
    }
}

struct Bus {
    StereoBuffer dry;   // drums and bass: no reverb
    StereoBuffer wet;   // pads, keys and leads: sent to the reverb
    StereoBuffer echo;  // leads: sent to the delay as well
    explicit Bus(size_t frames) : dry(frames), wet(frames), echo(frames) {}
};

void drumsBasic(Bus& bus, double bar, Random& noise, float level, bool openHat) {
    kick(bus.dry, at(bar), 0.9f * level);
    kick(bus.dry, at(bar + 2), 0.85f * level);
    snare(bus.dry, at(bar + 1), 0.45f * level, noise);
    snare(bus.dry, at(bar + 3), 0.45f * level, noise);
    for (int e = 0; e < 8; ++e)
        hat(bus.dry, at(bar + 0.5 * e), (e % 2 ? 0.22f : 0.3f) * level, openHat && e == 7, noise);
}

void snareRoll(Bus& bus, double fromBeat, double toBeat, Random& noise, float level) {
    const int hits = int((toBeat - fromBeat) * 4.0);
    for (int i = 0; i < hits; ++i) {
        const float rise = 0.3f + 0.7f * float(i) / float(std::max(1, hits - 1));
        snare(bus.dry, at(fromBeat + 0.25 * i), 0.4f * rise * level, noise);
    }
}

// Title: a pad swells out of silence, bells arpeggiate, the beat creeps in as the name fades
// up, and a snare roll leads into the first figure.
void intro(Bus& bus, Random& noise) {
    const Chord chords[5] = {minorChord(45), majorChord(41), majorChord(48), majorChord(43),
                             minorChord(45)};
    for (int c = 0; c < 5; ++c) {
        const float swell = c == 0 ? 0.16f : 0.2f;
        padChord(bus.wet, chords[c], 8.0 * c, 8.0, swell);
    }
    const std::vector<MotifNote> arpeggio = {{0, 0.5, 3},   {0.5, 0.5, 4}, {1, 0.5, 5},
                                             {1.5, 0.5, 6}, {2, 0.5, 5},   {2.5, 0.5, 4},
                                             {3, 0.5, 3},   {3.5, 0.5, 5}};
    for (int bar = 3; bar < 10; ++bar) {
        const Chord& chord = chords[bar / 2];
        const float rise = 0.05f + 0.02f * float(bar - 3);
        playMotif(bus.wet, arpeggio, chord, 4.0 * bar, 1, rise, 0.3f, bellVoice);
    }
    for (double b = 24.0; b < 40.0; b += 0.5)
        hat(bus.dry, at(b), b < 32 ? 0.12f : 0.2f, false, noise);
    for (double b = 28.0; b < 40.0; b += 1.0) {
        bassVoice(bus.dry, {at(b), at(0.45), chords[int(b / 8.0)].root - 12, 0.35f, 0.0f});
    }
    for (double b = 32.0; b < 38.0; b += 1.0) kick(bus.dry, at(b), 0.75f);
    snareRoll(bus, 38.0, 40.0, noise, 1.0f);
}

// Kiv: a bouncy A minor groove with a marimba tune.
void sectionKiv(Bus& bus, Random& noise) {
    const Chord chords[10] = {minorChord(45), majorChord(41), majorChord(48), majorChord(43),
                              minorChord(45), majorChord(41), majorChord(48), majorChord(43),
                              minorChord(45), majorChord(40)};
    const std::vector<MotifNote> callMotif = {{0, 0.5, 4},   {0.75, 0.25, 5}, {1, 0.5, 6},
                                              {1.5, 0.5, 5}, {2, 1.0, 4},     {3, 0.5, 3},
                                              {3.5, 0.5, 5}};
    const std::vector<MotifNote> answerMotif = {{0, 0.75, 6}, {0.75, 0.75, 5}, {1.5, 0.5, 4},
                                                {2, 0.5, 3},  {2.5, 0.5, 4},   {3, 1.0, 2}};
    const std::vector<MotifNote> bassLine = {
        {0, 0.45, 0}, {1.5, 0.4, 0}, {2, 0.45, 2}, {3.5, 0.4, 3}};
    for (int bar = 0; bar < 10; ++bar) {
        const double b = 40.0 + 4.0 * bar;
        const Chord& chord = chords[bar];
        drumsBasic(bus, b, noise, 1.0f, bar % 2 == 1);
        playMotif(bus.dry, bassLine, chord, b, -1, 0.42f, 0.0f, bassVoice);
        padChord(bus.wet, chord, b, 4.0, 0.09f);
        playMotif(bus.wet, bar % 2 == 0 ? callMotif : answerMotif, chord, b, 1, 0.3f, -0.15f,
                  marimbaVoice);
    }
}

// Vastel: a light F major waltz of bells over a swung beat, and a fill into the next section.
void sectionVastel(Bus& bus, Random& noise) {
    const Chord chords[10] = {majorChord(41), majorChord(48), minorChord(50), majorChord(46),
                              majorChord(41), majorChord(48), minorChord(50), majorChord(46),
                              majorChord(41), majorChord(48)};
    const std::vector<MotifNote> bellTune = {
        {0, 1.0, 5}, {1, 0.5, 4}, {1.5, 0.5, 5}, {2, 1.5, 6}, {3.5, 0.5, 4}};
    const std::vector<MotifNote> bellAnswer = {{0, 0.5, 6}, {0.5, 0.5, 5}, {1, 1.0, 4},
                                               {2, 0.5, 3}, {2.5, 0.5, 4}, {3, 1.0, 5}};
    const std::vector<MotifNote> pluckArp = {{0, 0.5, 0},   {0.5, 0.5, 1}, {1, 0.5, 2},
                                             {1.5, 0.5, 3}, {2, 0.5, 2},   {2.5, 0.5, 1},
                                             {3, 0.5, 2},   {3.5, 0.5, 3}};
    for (int bar = 0; bar < 10; ++bar) {
        const double b = 80.0 + 4.0 * bar;
        if (b >= 118.0) break;
        const Chord& chord = chords[bar];
        const double barBeats = std::min(4.0, 118.0 - b);
        padChord(bus.wet, chord, b, barBeats, 0.11f);
        bassVoice(bus.dry, {at(b), at(1.8), chord.root - 12, 0.34f, 0.0f});
        bassVoice(bus.dry, {at(b + 2), at(1.8), chord.root - 5, 0.27f, 0.0f});
        if (barBeats < 4.0) {
            snareRoll(bus, b, b + barBeats, noise, 0.9f);
            continue;
        }
        kick(bus.dry, at(b), 0.8f);
        kick(bus.dry, at(b + 2.5), 0.6f);
        snare(bus.dry, at(b + 1), 0.3f, noise);
        snare(bus.dry, at(b + 3), 0.3f, noise);
        for (int e = 0; e < 8; ++e) {
            const double swing = e % 2 ? 0.08 : 0.0;
            hat(bus.dry, at(b + 0.5 * e + swing), e % 2 ? 0.16f : 0.24f, false, noise);
        }
        playMotif(bus.wet, pluckArp, chord, b, 1, 0.1f, 0.45f, pluckVoice);
        playMotif(bus.wet, bar % 2 == 0 ? bellTune : bellAnswer, chord, b, 1, 0.13f, -0.3f,
                  bellVoice);
    }
}

// Doranek: four on the floor in E minor, a saw lead with echoes, claps, and a fill.
void sectionDoranek(Bus& bus, Random& noise) {
    const Chord chords[10] = {minorChord(40), majorChord(48), majorChord(43), majorChord(50),
                              minorChord(40), majorChord(48), majorChord(43), majorChord(50),
                              minorChord(40), majorChord(47)};
    const std::vector<MotifNote> hook = {{0, 0.75, 5}, {0.75, 0.75, 6}, {1.5, 0.5, 7},
                                         {2, 0.5, 6},  {2.5, 0.5, 5},   {3, 1.0, 4}};
    const std::vector<MotifNote> hookAnswer = {{0, 0.5, 4},   {0.5, 0.5, 5}, {1, 1.0, 6},
                                               {2.5, 0.5, 5}, {3, 0.5, 4},   {3.5, 0.5, 3}};
    const std::vector<MotifNote> bassLine = {{0, 0.4, 0},   {0.5, 0.4, 3}, {1, 0.4, 0},
                                             {1.5, 0.4, 3}, {2, 0.4, 0},   {2.5, 0.4, 3},
                                             {3, 0.4, 2},   {3.5, 0.4, 3}};
    for (int bar = 0; bar < 10; ++bar) {
        const double b = 118.0 + 4.0 * bar;
        if (b >= 157.0) break;
        const Chord& chord = chords[bar];
        const double barBeats = std::min(4.0, 157.0 - b);
        padChord(bus.wet, chord, b, barBeats, 0.1f);
        for (int k = 0; k < int(barBeats); ++k) kick(bus.dry, at(b + k), 0.95f);
        if (barBeats < 4.0) {
            snareRoll(bus, b + 1.0, b + barBeats, noise, 1.0f);
            bassVoice(bus.dry, {at(b), at(0.9), chord.root - 12, 0.45f, 0.0f});
            continue;
        }
        snare(bus.dry, at(b + 1), 0.4f, noise);
        snare(bus.dry, at(b + 3), 0.4f, noise);
        clap(bus.dry, at(b + 1), 0.35f, noise);
        clap(bus.dry, at(b + 3), 0.35f, noise);
        for (int s = 0; s < 16; ++s)
            hat(bus.dry, at(b + 0.25 * s), s % 4 == 2 ? 0.26f : 0.14f, s == 14, noise);
        playMotif(bus.dry, bassLine, chord, b, -1, 0.36f, 0.0f, bassVoice);
        const std::vector<MotifNote>& tune = bar % 2 == 0 ? hook : hookAnswer;
        playMotif(bus.echo, tune, chord, b, 0, 0.21f, 0.1f, leadVoice);
    }
}

// Pilou: A major, bouncing plucks and marimba, leading to the last chord.
void sectionPilou(Bus& bus, Random& noise) {
    const Chord chords[4] = {majorChord(45), minorChord(42), majorChord(38), majorChord(40)};
    const std::vector<MotifNote> bounce = {{0, 0.5, 3}, {0.5, 0.25, 5}, {1, 0.5, 4}, {1.5, 0.5, 6},
                                           {2, 0.5, 5}, {2.5, 0.25, 4}, {3, 0.5, 6}, {3.5, 0.5, 7}};
    const std::vector<MotifNote> bassLine = {{0, 0.3, 0}, {0.75, 0.3, 3}, {1.5, 0.3, 0},
                                             {2, 0.3, 2}, {2.75, 0.3, 3}, {3.5, 0.3, 1}};
    for (int bar = 0; bar < 4; ++bar) {
        const double b = 157.0 + 4.0 * bar;
        const Chord& chord = chords[bar];
        kick(bus.dry, at(b), 0.9f);
        kick(bus.dry, at(b + 1.5), 0.7f);
        kick(bus.dry, at(b + 2), 0.85f);
        snare(bus.dry, at(b + 1), 0.4f, noise);
        snare(bus.dry, at(b + 3), 0.4f, noise);
        for (int e = 0; e < 8; ++e) hat(bus.dry, at(b + 0.5 * e), 0.2f, e == 7, noise);
        playMotif(bus.dry, bassLine, chord, b, -1, 0.4f, 0.0f, bassVoice);
        padChord(bus.wet, chord, b, 4.0, 0.09f);
        playMotif(bus.wet, bounce, chord, b, 1, 0.13f, 0.35f, pluckVoice);
        playMotif(bus.wet, bounce, chord, b, 2, 0.12f, -0.35f, marimbaVoice);
    }
    // One beat of lift before the ending.
    snareRoll(bus, 173.0, 174.0, noise, 0.8f);
}

// The end: one long A major chord with bells, fading out well before the track ends.
void ending(Bus& bus) {
    const Chord last = majorChord(45);
    padChord(bus.wet, last, 174.0, 5.0, 0.2f);
    bassVoice(bus.dry, {at(174.0), at(3.0), last.root - 12, 0.4f, 0.0f});
    kick(bus.dry, at(174.0), 0.8f);
    const std::vector<MotifNote> chime = {{0, 2.0, 3}, {0.5, 2.0, 4}, {1, 2.0, 5}, {1.5, 3.0, 6}};
    playMotif(bus.wet, chime, last, 174.0, 1, 0.14f, 0.0f, bellVoice);
}

}  // namespace

std::vector<int16_t> composeMusic() {
    const size_t frames = size_t(musicSeconds * sampleRate);
    Bus bus(frames);
    Random noise(4242);
    intro(bus, noise);
    sectionKiv(bus, noise);
    sectionVastel(bus, noise);
    sectionDoranek(bus, noise);
    sectionPilou(bus, noise);
    ending(bus);

    pingPongDelay(bus.echo, 0.75 * beatSeconds, 0.38f, 0.45f);
    mixInto(bus.wet, bus.echo, 1.0f);
    reverb(bus.wet, 0.8f, 0.35f, 0.9f);
    StereoBuffer master(frames);
    mixInto(master, bus.dry, 1.0f);
    mixInto(master, bus.wet, 1.0f);

    // Soft limiting, then the whole track set to peak about 1 dB below full scale.
    float peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        master.left[i] = std::tanh(master.left[i] * 1.2f);
        master.right[i] = std::tanh(master.right[i] * 1.2f);
        peak = std::max({peak, std::fabs(master.left[i]), std::fabs(master.right[i])});
    }
    const float scale = peak > 0.0f ? 0.89f / peak : 1.0f;
    std::vector<int16_t> samples(frames * 2);
    const double fadeStart = 89.0, fadeEnd = 91.5;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const float fade =
            t < fadeStart ? 1.0f
                          : float(std::max(0.0, 1.0 - (t - fadeStart) / (fadeEnd - fadeStart)));
        samples[2 * i] = int16_t(std::lround(master.left[i] * scale * fade * 32767.0f));
        samples[2 * i + 1] = int16_t(std::lround(master.right[i] * scale * fade * 32767.0f));
    }
    return samples;
}
