// The composed music before encoding: its length, its level and its sections.
#include "music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

TEST(Music, NinetyTwoSecondsPeakingOneDecibelBelowFullScaleAndFadingOut) {
    const std::vector<int16_t> music = composeMusic();
    ASSERT_EQ(music.size(), size_t(92 * 44100 * 2));
    int peak = 0;
    for (int16_t s : music) peak = std::max(peak, std::abs(int(s)));
    // Scaled so that the loudest sample is 0.89 of full scale, rounded.
    EXPECT_EQ(peak, 29163);
    auto rms = [&](double from, double to) {
        double sum = 0.0;
        const size_t a = size_t(from * 44100) * 2, b = size_t(to * 44100) * 2;
        for (size_t i = a; i < b; ++i) sum += double(music[i]) * music[i];
        return std::sqrt(sum / double(b - a)) / 32768.0;
    };
    // Quiet at the very start, full once the beat is in, silent after the fade.
    EXPECT_LT(rms(0.0, 2.0), 0.1);
    for (int s = 1; s < 5; ++s)
        EXPECT_GT(rms(sectionStarts[s] + 0.5, sectionStarts[s + 1] - 0.5), 0.15) << "section " << s;
    EXPECT_EQ(rms(91.5, 92.0), 0.0);
    // The sections sit on the beat grid of a steady tempo.
    for (double start : sectionStarts)
        EXPECT_DOUBLE_EQ(std::fmod(start, beatSeconds), 0.0) << start;
}
