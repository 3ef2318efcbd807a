// A resampler from whatever a decoder gives to stereo at one rate and sample format, for the
// capture's music and the songs that kelvaro-new reads.
#pragma once

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

struct SwrContext;

// Makes `*resampler` take frames like `frame` (its rate, format and channels; a layout the file
// leaves unspecified counts as the default one for its channel count). False when it can't.
bool openStereoResampler(SwrContext** resampler, AVSampleFormat format, int rate,
                         const AVFrame& frame);
