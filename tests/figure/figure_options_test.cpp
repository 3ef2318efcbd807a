// The command line: the bone count from the slot table by the folder's name, and the values
// that each option takes.
#include "figure/figure_options.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FigureOptions, BonesComeFromTheSlotTableAndBadValuesAreNamed) {
    const struct {
        std::vector<const char*> args;
        bool ok;
        int bones;
        const char* error;  // a part of it
    } cases[] = {
        {{"drawing.png", "show/kiv/"}, true, 8, ""},
        {{"drawing.png", "vastel"}, true, 7, ""},
        {{"drawing.png", "pilou"}, true, 1, ""},
        {{"--bones", "3", "drawing.png", "kiv"}, true, 3, ""},
        {{"--bones", "3", "drawing.png", "mine"}, true, 3, ""},
        // The show reads only the slot's masks: more would never move.
        {{"--bones", "3", "drawing.png", "pilou"}, false, 0, "reads only its 1 bone mask"},
        {{"--bones", "10", "drawing.png", "show/kiv/"}, false, 0, "--bones 8 or fewer"},
        {{"drawing.png", "mine"}, false, 0, "--bones"},
        {{"drawing.png", "logo"}, false, 0, "--bones"},
        {{"--bones", "0", "drawing.png", "kiv"}, false, 0, "--bones wants"},
        {{"--key", "12345g", "drawing.png", "kiv"}, false, 0, "--key wants"},
        {{"--alpha", "300", "drawing.png", "kiv"}, false, 0, "--alpha wants"},
        {{"--spacing", "1", "drawing.png", "kiv"}, false, 0, "--spacing wants"},
        {{"--preview"}, false, 0, "needs a value"},
        {{"--wobble", "drawing.png", "kiv"}, false, 0, "unknown option --wobble"},
        {{"drawing.png"}, false, 0, "a PICTURE and a FOLDER"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"kelvaro-figure"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        FigureOptions options;
        std::string error;
        const bool ok = parseFigureOptions(int(argv.size()), argv.data(), options, error);
        EXPECT_EQ(ok, c.ok) << c.args.back() << ": " << error;
        if (ok) {
            EXPECT_EQ(options.bones, c.bones) << c.args.back();
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
    FigureOptions options;
    std::string error;
    const char* key[] = {"kelvaro-figure", "--key", "#20C040", "a.png", "kiv"};
    ASSERT_TRUE(parseFigureOptions(5, key, options, error)) << error;
    EXPECT_TRUE(options.background.keyGiven);
    EXPECT_EQ(options.background.key[0], 0x20);
    EXPECT_EQ(options.background.key[1], 0xc0);
    EXPECT_EQ(options.background.key[2], 0x40);
}
