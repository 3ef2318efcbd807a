// kelvaro-new as a user runs it: a song in each format a user may bring made into a whole show
// folder, drawings made into figures in their slots, and the songs, pictures, folders and
// command lines it refuses without writing anything.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "drawings.h"
#include "files/atomic_file.h"
#include "merge/rest_rows.h"
#include "merge/row_files.h"
#include "scene/show_facts.h"
#include "scene/timeline.h"
#include "show_folder.h"
#include "song_files.h"
#include "video/song_decoder.h"

namespace {

const std::string program = KELVARO_NEW_BIN;

std::string bytesOf(const std::string& path) {
    std::string bytes, error;
    readWholeFile(path, bytes, error);
    return bytes;
}

// The folder names kelvaro-new writes, and their files.
void expectCompleteShow(const std::string& show) {
    EXPECT_EQ(namesIn(show),
              (std::set<std::string>{"quimet", "kiv", "vastel", "doranek", "pilou", "logo",
                                     "anim.txt", "tavel.mp3", "timeline.txt"}));
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        const std::string folder = show + "/" + sceneSlots[slot].directory;
        std::set<std::string> files{"bkg.png"};
        if (sceneSlots[slot].boneCount > 0) {
            files.insert({"mesh.obj", "tex.png"});
            for (uint32_t b = 0; b < sceneSlots[slot].boneCount; ++b) {
                char name[32];
                std::snprintf(name, sizeof name, "bone_%02u.png", b);
                files.insert(name);
            }
        }
        EXPECT_EQ(namesIn(folder), files) << folder;
    }
}

struct SongCase {
    SongFormat format;
    const char* name;  // the song's file name: an MP3 is told by its content
    bool demoFigures;  // kiv from a drawing, the others the demo's; else all from the drawing
    bool replacing;    // over a folder that is there, with --replace
};

class NewShowSongs : public testing::TestWithParam<SongCase> {};

TEST_P(NewShowSongs, MakeACompleteShowTimedToTheSong) {
    const SongCase& c = GetParam();
    TempFolder work;
    std::string error;
    ASSERT_TRUE(writeSong(work.file(c.name), c.format, 31.0, error)) << error;
    saveDrawing(work.file("stick.png"), paintDrawing(240, 240, stickFigure(240, 7)));
    if (c.replacing) {
        makeFolder(work.file("show"));
        writeTextFile(work.file("show/old.txt"), "the old show\n");
    }
    std::string arguments = "--title 'A Test' --credits 'Music: tones' --figure kiv=stick.png";
    if (!c.demoFigures)
        arguments += " --figure 2=stick.png --figure doranek=stick.png --figure pilou=stick.png";
    if (c.replacing) arguments += " --replace";
    const CommandResult r =
        runCommand(work.path(), program + " " + arguments + " " + c.name + " show", 60);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("wrote the show show"), std::string::npos) << r.err;
    const std::string show = work.file("show");
    expectCompleteShow(show);
    if (c.replacing) {
        EXPECT_EQ(readTextFile(work.file("show~/old.txt")), "the old show\n");
        EXPECT_NE(r.err.find("is kept as show~"), std::string::npos) << r.err;
    }

    // The timeline follows the song's length.
    Song song, music;
    ASSERT_TRUE(decodeSong(work.file(c.name), song, error)) << error;
    Timeline timeline{};
    ASSERT_TRUE(readTimeline(show, timeline, error)) << error;
    const double end = song.seconds - 2.0;
    const double first = 1.0 + std::min(8.0, (end - 1.0) / 5.0);
    EXPECT_EQ(timeline.fadeStart, 0.0f);
    EXPECT_EQ(timeline.fadeEnd, 1.0f);
    EXPECT_NEAR(timeline.end, end, 0.001);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(timeline.sections[i], first + (end - first) * i / 4.0, 0.001) << i;

    // The script shows each figure at rest in its section, and closes at the end.
    RowFile script;
    ASSERT_TRUE(readRowFile(show + "/anim.txt", script, error)) << error;
    ASSERT_EQ(script.rows.size(), 5u);
    for (int slot = 1; slot <= 5; ++slot) {
        const Keyframe& row = script.rows[size_t(slot - 1)].row;
        const int figure = std::min(slot, 4);
        RestPin pin;
        ASSERT_TRUE(
            readRestPin(show + "/" + sceneSlots[figure].directory + "/mesh.obj", pin, error))
            << error;
        EXPECT_EQ(row.scene, figure);
        EXPECT_FLOAT_EQ(row.time, slot <= 4 ? timeline.sections[slot - 1] : timeline.end);
        EXPECT_EQ(row.vertex, pin.vertex);
        EXPECT_FLOAT_EQ(row.x, pin.x);
        EXPECT_FLOAT_EQ(row.y, pin.y);
    }

    // The music is the song: an MP3 byte for byte, anything else encoded to its length.
    ASSERT_TRUE(decodeSong(show + "/tavel.mp3", music, error)) << error;
    EXPECT_TRUE(music.mp3);
    EXPECT_NEAR(music.seconds, song.seconds, 0.1);
    if (c.format == SongFormat::Mp3) {
        EXPECT_EQ(bytesOf(show + "/tavel.mp3"), bytesOf(work.file(c.name)));
    }

    // The drawing's figure is in kiv; the slots not named hold the demo's own figure.
    const std::string demo = std::string(KELVARO_BINARY_DIR) + "/show/";
    EXPECT_NE(bytesOf(show + "/kiv/mesh.obj"), bytesOf(demo + "kiv/mesh.obj"));
    EXPECT_EQ(bytesOf(show + "/vastel/mesh.obj") == bytesOf(demo + "vastel/mesh.obj"),
              c.demoFigures);
    EXPECT_EQ(bytesOf(show + "/pilou/bkg.png"), bytesOf(demo + "pilou/bkg.png"));
}

std::string songCaseName(const testing::TestParamInfo<SongCase>& info) {
    const char* const names[] = {"Wav", "Flac", "OggVorbis", "M4aAac", "Mp3"};
    return names[int(info.param.format)];
}

INSTANTIATE_TEST_SUITE_P(EachFormat, NewShowSongs,
                         testing::Values(SongCase{SongFormat::Wav, "song.wav", true, false},
                                         SongCase{SongFormat::Flac, "song.flac", false, true},
                                         SongCase{SongFormat::OggVorbis, "song.ogg", false, false},
                                         SongCase{SongFormat::M4aAac, "song.m4a", false, false},
                                         SongCase{SongFormat::Mp3, "song.sound", false, false}),
                         songCaseName);

TEST(NewShowProgram, HelpAndRefusalsWriteNothing) {
    TempFolder work;
    std::string error;
    ASSERT_TRUE(writeSong(work.file("song.wav"), SongFormat::Wav, 31.0, error)) << error;
    ASSERT_TRUE(writeSong(work.file("short.wav"), SongFormat::Wav, 29.0, error)) << error;
    writeTextFile(work.file("words.png"), "not a picture\n");
    writeTextFile(work.file("words.mp3"), "not a song\n");
    makeFolder(work.file("there"));
    writeTextFile(work.file("there/old.txt"), "kept\n");
    const std::set<std::string> before = namesIn(work.path());
    const struct {
        std::string arguments;
        int exit;
        std::string err;  // a part of it
    } cases[] = {
        {"--help", 0, ""},
        {"short.wav show", 1, "lasts 29 s: a show needs at least 30 s"},
        {"words.mp3 show", 1, "can't read the song words.mp3"},
        {"missing.ogg show", 1, "can't read the song missing.ogg"},
        {"--figure kiv=words.png song.wav show", 1, "the figure of kiv from words.png"},
        {"--background logo=words.png song.wav show", 1, "the background of logo"},
        {"song.wav there", 1, "there is there already: add --replace"},
        {"--figure quimet=words.png song.wav show", 2, "no slot 'quimet'"},
        {"--figure kiv=a.png --figure 1=b.png song.wav show", 2, "twice"},
        {"--background 6=words.png song.wav show", 2, "no slot '6'"},
        {"--figure kiv song.wav show", 2, "SLOT=PICTURE"},
        {"--title", 2, "--title needs a value"},
        {"--loud song.wav show", 2, "unknown option --loud"},
        {"song.wav", 2, "give a SONG and a FOLDER"},
    };
    for (const auto& c : cases) {
        const CommandResult r = runCommand(work.path(), program + " " + c.arguments, 60);
        EXPECT_EQ(r.exitCode, c.exit) << c.arguments << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.arguments << "\n" << r.err;
        const std::string ending = c.exit == 2   ? "Try 'kelvaro-new --help'"
                                   : c.exit == 1 ? "nothing was written"
                                                 : "";
        EXPECT_NE(r.err.find(ending), std::string::npos) << c.arguments << "\n" << r.err;
        if (c.arguments == "--help")
            EXPECT_EQ(r.out.rfind("Usage: kelvaro-new", 0), 0u) << r.out;
        else
            EXPECT_EQ(r.out, "") << c.arguments;
        EXPECT_EQ(namesIn(work.path()), before) << c.arguments;
    }
    EXPECT_EQ(namesIn(work.file("there")), std::set<std::string>{"old.txt"});
}

TEST(NewShowProgram, ClicksWriteTheSongAsAWavFileOrNothing) {
    TempFolder work;
    std::string error;
    ASSERT_TRUE(writeSong(work.file("song.ogg"), SongFormat::OggVorbis, 12.0, error)) << error;
    const struct {
        std::string arguments;
        int exit;
        std::string err;  // a part of it
    } cases[] = {
        {"--clicks clicks.wav song.ogg", 0, "wrote clicks.wav: beat: 60.00 beats a minute"},
        {"--clicks clicks.wav missing.ogg", 1, "can't read the song missing.ogg"},
        {"--clicks clicks.wav song.ogg show", 2, "no FOLDER"},
        {"--clicks clicks.wav --title A song.ogg", 2, "--clicks writes no show"},
        {"song.ogg --clicks", 2, "--clicks needs a value"},
    };
    for (const auto& c : cases) {
        const CommandResult r = runCommand(work.path(), program + " " + c.arguments, 60);
        EXPECT_EQ(r.exitCode, c.exit) << c.arguments << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.arguments << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.arguments;
        if (c.exit != 0) continue;
        // 16-bit stereo at 44.1 kHz, as long as the song.
        const std::string wav = bytesOf(work.file("clicks.wav"));
        ASSERT_GT(wav.size(), 44u);
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(wav[22], 2);
        EXPECT_EQ(wav[34], 16);
        Song song;
        ASSERT_TRUE(decodeSong(work.file("clicks.wav"), song, error)) << error;
        EXPECT_NEAR(song.seconds, 12.0, 0.05);
        std::remove(work.file("clicks.wav").c_str());
    }
    EXPECT_EQ(namesIn(work.path()), std::set<std::string>{"song.ogg"});
}

}  // namespace
