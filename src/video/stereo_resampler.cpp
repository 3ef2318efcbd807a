#include "video/stereo_resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

bool openStereoResampler(SwrContext** resampler, AVSampleFormat format, int rate,
                         const AVFrame& frame) {
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout inLayout = {};
    if (av_channel_layout_copy(&inLayout, &frame.ch_layout) < 0) return false;
    if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, inLayout.nb_channels);
    int result = swr_alloc_set_opts2(resampler, &stereo, format, rate, &inLayout,
                                     AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (result >= 0) result = swr_init(*resampler);
    return result >= 0;
}
