// An authoring session with the real tool on a virtual screen, driven as an author drives it:
// seek, drag, quit, merge the take, and the show plays it at its time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
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
#include "merge/row_files.h"
#include "merge/takes.h"
#include "script_rows.h"
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

// The authoring tool on a virtual screen, in a copy of the demo show, printing into rows.txt
// and err.txt there.
class StudioSession : public testing::Test {
protected:
    void SetUp() override {
        if (!installed("Xvfb") || !installed("xdotool")) {
            GTEST_SKIP() << "Xvfb or xdotool is not installed (setup.sh installs them)";
        }
        screen = std::make_unique<VirtualScreen>(scratch);
        if (screen->display().empty()) {
            GTEST_SKIP() << "Xvfb could not start: " << readTextFile(scratch.file("xvfb.err"));
        }
        ASSERT_EQ(shell("cp -r '" KELVARO_BINARY_DIR "/show/.' '" + show.path() + "'"), 0);
        script = readTextFile(show.file("anim.txt"));
        author = startInBackground(
            "cd '" + show.path() + "' || exit 1; DISPLAY=" + screen->display() +
                " SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy timeout -s KILL 90 " KELVARO_AUTHOR_BIN
                " >rows.txt 2>err.txt",
            scratch.file("author.pid"));
        const bool ready =
            waitFor([&] { return err().find("studio: Page Up") != std::string::npos; }, 20.0);
        if (!ready) author.stop();
        ASSERT_TRUE(ready) << err();
        screen->xdotool("mousemove 640 360");  // the window under the pointer takes the keys
    }
    void TearDown() override { author.stop(); }

    std::string err() const { return readTextFile(show.file("err.txt")); }
    std::vector<std::string> rows() const { return linesOf(readTextFile(show.file("rows.txt"))); }

    void quit() {
        screen->xdotool("keydown Escape");
        const bool ended = waitFor([&] { return !author.running(); }, 10.0);
        screen->xdotool("keyup Escape");
        ASSERT_TRUE(ended) << "Escape did not end the tool";
    }

    // A frame of the show playing the folder's script, at `time` on its clock; the show is
    // started at the first.
    void playShowAt(double time) {
        ensureGlContext();
        if (!showStarted) {
            WorkingDirectory here(show.path());
            initDriverState(state, true);
            state.console = console.file();
            state.keyframeCount = readKeyframes(keyframeFileName, state.keyframes);
            int32_t textures = 0;
            for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
                const SceneSlotConfig& config = sceneSlots[slot];
                loadScene(state.scenes[slot], config.directory, config.boneCount,
                          config.appendMirror, textures);
            }
            state.clock = ShowClock{0, 1e6, 0.0};
            showStarted = true;
        }
        platform.setClock(time);
        ASSERT_EQ(runFrame(platform, state, input, matrices), FrameOutcome::Continue);
    }

    // Whether the show holds the vertex of `row` at its target.
    void expectHeldAt(const Keyframe& row) {
        EXPECT_EQ(state.currentScene, row.scene);
        EXPECT_EQ(state.selectedVertex, row.vertex);
        const Vec3f& pos = state.scenes[size_t(row.scene)].mesh.vertices[size_t(row.vertex)].pos;
        EXPECT_EQ(pos.x, row.x);
        EXPECT_EQ(pos.y, row.y);
        EXPECT_EQ(pos.z, row.z);
    }

    TempFolder scratch;
    std::unique_ptr<VirtualScreen> screen;
    TempFolder show;
    std::string script;  // anim.txt as the show came
    Background author;
    bool showStarted = false;
    DriverState state;
    CapturedConsole console;
    FakePlatform platform;
    InputTable input{};
    MatrixStore matrices{};
};

}  // namespace

TEST_F(StudioSession, ASeekADragAndAMergeAndTheShowPlaysTheTakeAtItsTime) {
    // Five seeks forward, each key held until its frame has seen it.
    std::string delays;
    for (size_t press = 1; press <= 5; ++press) {
        const Clock::time_point down = Clock::now();
        screen->xdotool("keydown Next");
        ASSERT_TRUE(waitFor([&] { return countOf(err(), "studio: at ") == press; }, 5.0)) << err();
        const double delay = std::chrono::duration<double>(Clock::now() - down).count();
        delays += " " + std::to_string(int(delay * 1000.0));
        screen->xdotool("keyup Next");
    }
    // The figure to watch: from the key going down to the frame that seeks, in milliseconds.
    std::fprintf(stderr, "seek key to its frame, ms:%s\n", delays.c_str());

    // A drag on the figure: rows appear while the button is down.
    screen->xdotool("mousedown 1");
    ASSERT_TRUE(waitFor([&] { return rows().size() >= 3; }, 5.0));
    screen->xdotool("mousemove --sync 680 330");
    ASSERT_TRUE(waitFor([&] { return rows().size() >= 12; }, 5.0));
    screen->xdotool("mouseup 1");
    quit();
    EXPECT_NE(err().find("1 take (" + std::to_string(rows().size()) +
                         " rows) not written to anim.txt; their rows are on stdout"),
              std::string::npos)
        << err();

    // The take: slot 1 at 25 s and after, one vertex, time going forward.
    std::vector<Keyframe> take;
    for (const std::string& line : rows()) {
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
    const size_t middle = take.size() / 2;
    const double inTake = (double(take[middle].time) + double(take[middle + 1].time)) / 2.0;
    const struct {
        double time;
        int slot;
    } frames[] = {{5.0, 0}, {inTake, 1}, {45.01, 2}, {65.01, 3}, {82.01, 4}};  // between rows
    for (const auto& f : frames) {
        SCOPED_TRACE(f.time);
        playShowAt(f.time);
        EXPECT_EQ(state.currentScene, f.slot);
        if (f.time == inTake) expectHeldAt(take[middle]);
    }
}

// The takes on the loop: two drags over a looped passage, the second undone, the first seen in
// the preview and kept with K; the show then plays it at its time.
TEST_F(StudioSession, TwoTakesOnALoopTheSecondUndoneTheFirstKeptAndPlayed) {
    // A key held until the tool has said `word` on stderr once more.
    const auto press = [&](const std::string& key, const std::string& word) {
        const size_t before = countOf(err(), word);
        screen->xdotool("keydown " + key);
        const bool seen = waitFor([&] { return countOf(err(), word) > before; }, 10.0);
        screen->xdotool("keyup " + key);
        ASSERT_TRUE(seen) << key << " did not say " << word << "\n" << err();
    };
    const auto dragFrom = [&](const std::string& at) {
        const size_t before = rows().size();
        // One command, so the motion comes before the press; --sync would wait for ever on a
        // pointer already there.
        screen->xdotool("mousemove " + at + " mousedown 1");
        ASSERT_TRUE(waitFor([&] { return rows().size() >= before + 6; }, 10.0)) << err();
        screen->xdotool("mouseup 1");
        // Past the gap that ends a take, whatever the vertex.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    };

    // 1. A passage of three seconds from 25 s on, looped.
    for (int seek = 0; seek < 5; ++seek) press("Next", "studio: at ");
    press("l", "studio: loop from");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    press("l", "studio: loop 00:2");
    // 2. Two takes over it; 3. the second undone.
    dragFrom("630 350");
    dragFrom("600 400");
    RowFile printed;
    std::string error;
    ASSERT_TRUE(readRowFile(show.file("rows.txt"), printed, error)) << error;
    std::vector<Take> takes = splitTakes(printed.rows);
    ASSERT_GE(takes.size(), 2u);
    press("ctrl+z", "studio: undo take " + std::to_string(takes.size()) + " ");
    // 4. The preview plays the takes left; 5. K keeps them.
    press("F12", "studio: preview of anim.txt with " + std::to_string(takes.size() - 1) + " take");
    press("k", "kept in anim.txt");
    quit();
    EXPECT_EQ(err().find("not written"), std::string::npos) << err();

    // What K wrote is what kelvaro-merge makes of the script and the takes kept.
    EXPECT_EQ(readTextFile(show.file("anim.txt~")), script);
    const Take undone = takes.back();
    takes.pop_back();
    std::string kept;
    for (const Take& take : takes) {
        for (const RowLine& line : take.rows) kept += line.text + "\n";
    }
    writeTextFile(show.file("kept.txt"), kept);
    const CommandResult merge = runCommand(
        show.path(), KELVARO_MERGE_BIN " --show . -o expected.txt anim.txt~ kept.txt", 30);
    ASSERT_EQ(merge.exitCode, 0) << merge.err;
    const std::string written = readTextFile(show.file("anim.txt"));
    EXPECT_EQ(written, readTextFile(show.file("expected.txt")));
    EXPECT_EQ(written.find(undone.rows.front().text), std::string::npos);

    // 6. The show plays the take at its time. The last take kept stands whole: no take kept
    // after it covers it.
    const std::vector<RowLine>& last = takes.back().rows;
    ASSERT_GE(last.size(), 2u);
    const size_t middle = last.size() / 2;
    ASSERT_NE(written.find(last[middle].text + "\n" + last[middle + 1].text), std::string::npos);
    playShowAt((double(last[middle].row.time) + double(last[middle + 1].row.time)) / 2.0);
    expectHeldAt(last[middle].row);
}
