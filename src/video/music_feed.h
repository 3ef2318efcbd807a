// The show's music from a given time on, decoded and resampled to the sound track's format.
#pragma once

#include <memory>
#include <string>

struct AVFrame;

struct MusicFeed;
struct MusicFeedCloser {
    void operator()(MusicFeed* feed) const;
};
using MusicFeedPtr = std::unique_ptr<MusicFeed, MusicFeedCloser>;

// Opens `path` and checks that it holds sound, ready to give stereo samples at `sampleRate`
// from `startSeconds` into the music on. Null with a message naming the file on failure.
MusicFeedPtr openMusicFeed(const std::string& path, int sampleRate, double startSeconds,
                           std::string& error);

// Fills the next frame->nb_samples samples of a planar float stereo frame. Past the end of the
// music, and after a read error, the samples are silent; a damaged stretch is skipped.
void readMusicFeed(MusicFeed& feed, AVFrame& frame);
