// Reads back a written video: what it holds, one picture, its sound. For the tests of the video
// layer and of the capture program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VideoProbe {
    std::string container;  // FFmpeg's name of the file's format, e.g. "matroska,webm"
    int videoStreams = 0;
    int audioStreams = 0;
    // The first picture track.
    std::string videoCodec;   // FFmpeg's short name, e.g. "h264"
    std::string pixelFormat;  // e.g. "yuv420p"
    int width = 0;
    int height = 0;
    double framesPerSecond = 0.0;
    int frameCount = 0;          // pictures decoded
    double videoDuration = 0.0;  // seconds, as the track says
    double videoStart = -1.0;    // the first picture's time in seconds, as a player shows it
    int longestKeyframeGap = 0;  // most pictures from one keyframe to the next (or the end)
    // FFmpeg's names of the colour tags, e.g. "bt709" and "smpte170m"
    std::string colourMatrix, colourPrimaries, colourTransfer;
    // The first sound track.
    std::string audioCodec;  // e.g. "aac"
    int sampleRate = 0;
    int channels = 0;
    // Per channel, decoded: the encoder's priming is left out, but the padding of the last AAC
    // frame (under 1024 samples) is counted.
    int64_t audioSamples = 0;
    double audioStart = 0.0;  // the first decoded sound's time, seconds; below 0 before the video
    double audioDuration = 0.0;  // seconds, as the track says (players stop there)
    double audioRms = 0.0;       // over all channels, full scale 1
    double duration = 0.0;       // of the whole file, seconds
    int defaultTracks = 0;       // tracks flagged to be played by default
    bool indexAtFront = false;   // the MP4 'moov' box comes before 'mdat'
};

// Every call returns false with a message naming the file and the reason when it fails.

// Decodes the whole file once to count pictures and measure the sound.
bool probeVideo(const std::string& path, VideoProbe& probe, std::string& error);

// Picture `index` (from 0) of the first picture track as RGB, 3 bytes a pixel, top row first,
// rows of width * 3 bytes.
bool decodeVideoFrame(const std::string& path, int index, std::vector<uint8_t>& rgb,
                      std::string& error);

// The first picture at or after `seconds` of file time, found by seeking as a player does.
bool decodeVideoFrameAt(const std::string& path, double seconds, std::vector<uint8_t>& rgb,
                        std::string& error);

// The first channel of the first sound track, full scale 1, at the track's sample rate.
bool decodeVideoAudio(const std::string& path, std::vector<float>& samples, std::string& error);
