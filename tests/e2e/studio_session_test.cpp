// An authoring session with the real tool on a virtual screen, driven as an author drives it:
// seek, drag, quit, merge the take, and the show plays it at its time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "show_folder.h"
#include "virtual_screen.h"

namespace {

using Clock = std::chrono::steady_clock;

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(StudioSession, ASeekADragAndAMergeAndTheShowPlaysTheTakeAtItsTime) {
    if (!installed("Xvfb") || !installed("xdotool")) {
        GTEST_SKIP() << "Xvfb or xdotool is not installed (setup.sh installs them)";
    }
    TempFolder scratch;
    VirtualScreen screen(scratch);
    if (screen.display().empty()) {
        GTEST_SKIP() << "Xvfb could not start: " << readTextFile(scratch.file("xvfb.err"));
    }
    TempFolder show;
    ASSERT_EQ(shell("cp -r '" KELVARO_BINARY_DIR "/show/.' '" + show.path() + "'"), 0);
    const std::string rowsFile = show.file("rows.txt");
    const std::string errFile = show.file("err.txt");
    Background author = startInBackground(
        "cd '" + show.path() + "' || exit 1; DISPLAY=" + screen.display() +
            " SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy timeout -s KILL 60 " KELVARO_AUTHOR_BIN
            " >'" +
            rowsFile + "' 2>'" + errFile + "'",
        scratch.file("author.pid"));
    const auto err = [&] { return readTextFile(errFile); };
    const bool ready =
        waitFor([&] { return err().find("studio: Page Up") != std::string::npos; }, 20.0);
    if (!ready) author.stop();
    ASSERT_TRUE(ready) << err();
    screen.xdotool("mousemove 640 360");  // the window under the pointer takes the keys

    // Five seeks forward, each key held until its frame has seen it.
    std::string delays;
    for (size_t press = 1; press <= 5; ++press) {
        const Clock::time_point down = Clock::now();
        screen.xdotool("keydown Next");
        ASSERT_TRUE(waitFor([&] { return countOf(err(), "studio: at ") == press; }, 5.0)) << err();
        const double delay = std::chrono::duration<double>(Clock::now() - down).count();
        delays += " " + std::to_string(int(delay * 1000.0));
        screen.xdotool("keyup Next");
    }
    // The figure to watch: from the key going down to the frame that seeks, in milliseconds.
    std::fprintf(stderr, "seek key to its frame, ms:%s\n", delays.c_str());

    // A drag on the figure: rows appear while the button is down.
    const auto rows = [&] { return linesOf(readTextFile(rowsFile)).size(); };
    screen.xdotool("mousedown 1");
    ASSERT_TRUE(waitFor([&] { return rows() >= 3; }, 5.0));
    screen.xdotool("mousemove --sync 680 330");
    ASSERT_TRUE(waitFor([&] { return rows() >= 12; }, 5.0));
    screen.xdotool("mouseup 1");
    screen.xdotool("keydown Escape");
    const bool quit = waitFor([&] { return !author.running(); }, 10.0);
    screen.xdotool("keyup Escape");
    author.stop();
    ASSERT_TRUE(quit) << "Escape did not end the tool";

    // The take: slot 1 at 25 s and after, one vertex, time going forward.
    std::vector<Keyframe> take;
    for (const std::string& line : linesOf(readTextFile(rowsFile))) {
        Keyframe row{};
        ASSERT_TRUE(parseKeyframeRow(line, row)) << line;
        take.push_back(row);
    }
    ASSERT_GE(take.size(), 12u);
    std::fprintf(stderr, "take of %zu rows from %.2f s to %.2f s\n", take.size(),
                 double(take.front().time), double(take.back().time));
    for (size_t i = 0; i < take.size(); ++i) {
        EXPECT_EQ(take[i].scene, 1);
        EXPECT_EQ(take[i].vertex, take[0].vertex);
        EXPECT_GT(take[i].time, i == 0 ? 25.0f : take[i - 1].time);
    }
    EXPECT_LT(take.back().time, 40.0f);

    const CommandResult merge =
        runCommand(show.path(), KELVARO_MERGE_BIN " --show . anim.txt rows.txt", 30);
    ASSERT_EQ(merge.exitCode, 0) << merge.err;

    // The show plays the merged script: the dragged vertex at the take's time, the other
    // figures in their sections.
    ensureGlContext();
    WorkingDirectory here(show.path());
    DriverState state;
    initDriverState(state, true);
    CapturedConsole console;
    state.console = console.file();
    state.keyframeCount = readKeyframes(keyframeFileName, state.keyframes);
    int32_t textures = 0;
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        loadScene(state.scenes[slot], config.directory, config.boneCount, config.appendMirror,
                  textures);
    }
    state.clock = ShowClock{0, 1e6, 0.0};
    FakePlatform platform;
    InputTable input{};
    MatrixStore matrices{};
    const size_t middle = take.size() / 2;
    const double inTake = (double(take[middle].time) + double(take[middle + 1].time)) / 2.0;
    const struct {
        double time;
        int slot;
    } frames[] = {{5.0, 0}, {inTake, 1}, {45.01, 2}, {65.01, 3}, {82.01, 4}};  // between rows
    for (const auto& f : frames) {
        SCOPED_TRACE(f.time);
        platform.setClock(f.time);
        ASSERT_EQ(runFrame(platform, state, input, matrices), FrameOutcome::Continue);
        EXPECT_EQ(state.currentScene, f.slot);
        if (f.time != inTake) continue;
        const Keyframe& row = take[middle];
        EXPECT_EQ(state.selectedVertex, row.vertex);
        const Vec3f& pos = state.scenes[1].mesh.vertices[size_t(row.vertex)].pos;
        EXPECT_EQ(pos.x, row.x);
        EXPECT_EQ(pos.y, row.y);
        EXPECT_EQ(pos.z, row.z);
    }
}
