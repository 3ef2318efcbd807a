#include "video/music_feed.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "video/av_error.h"
#include "video/stereo_resampler.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

struct MusicFeed {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* queue = nullptr;  // resampled samples not handed out yet
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    int streamIndex = -1;
    int sampleRate = 0;
    int inRate = 0, inFormat = -1, inChannels = 0;  // what the resampler was set up for
    int64_t skip = 0;  // resampled samples before the start time, still to drop
    bool decodedAny = false;
    bool draining = false;  // the demuxer is done; the decoder is giving what it holds
    bool ended = false;     // nothing more will come
    std::vector<float> converted[2];
};

void MusicFeedCloser::operator()(MusicFeed* feed) const {
    swr_free(&feed->resampler);
    if (feed->queue != nullptr) av_audio_fifo_free(feed->queue);
    av_packet_free(&feed->packet);
    av_frame_free(&feed->decoded);
    avcodec_free_context(&feed->decoder);
    avformat_close_input(&feed->format);
    delete feed;
}

namespace {

// Queues resampled samples, dropping those before the start time. No input drains what the
// resampler still holds.
void resample(MusicFeed& feed, const AVFrame* input) {
    const int inCount = input != nullptr ? input->nb_samples : 0;
    for (;;) {
        const int room = std::max(swr_get_out_samples(feed.resampler, inCount), 0) + 32;
        for (std::vector<float>& plane : feed.converted)
            if (int(plane.size()) < room) plane.resize(size_t(room));
        uint8_t* out[2] = {reinterpret_cast<uint8_t*>(feed.converted[0].data()),
                           reinterpret_cast<uint8_t*>(feed.converted[1].data())};
        const int count = swr_convert(
            feed.resampler, out, room,
            input != nullptr ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
            inCount);
        if (count <= 0) return;
        const int dropped = int(std::min<int64_t>(feed.skip, count));
        feed.skip -= dropped;
        void* kept[2] = {feed.converted[0].data() + dropped, feed.converted[1].data() + dropped};
        if (count > dropped) av_audio_fifo_write(feed.queue, kept, count - dropped);
        if (input != nullptr) return;
    }
}

bool startResampler(MusicFeed& feed, const AVFrame& frame) {
    const bool opened =
        openStereoResampler(&feed.resampler, AV_SAMPLE_FMT_FLTP, feed.sampleRate, frame);
    feed.inRate = frame.sample_rate;
    feed.inFormat = frame.format;
    feed.inChannels = frame.ch_layout.nb_channels;
    return opened;
}

// Takes every frame the decoder has ready. Returns whether any came.
bool takeDecoded(MusicFeed& feed) {
    bool any = false;
    for (;;) {
        const int result = avcodec_receive_frame(feed.decoder, feed.decoded);
        if (result == AVERROR_EOF) {
            if (feed.resampler != nullptr) resample(feed, nullptr);
            feed.ended = true;
            return any;
        }
        if (result < 0) return any;  // wants input, or a damaged frame that is skipped
        if (feed.resampler == nullptr && !startResampler(feed, *feed.decoded)) {
            av_frame_unref(feed.decoded);
            feed.ended = true;
            return any;
        }
        // A change of format in the middle of the file is not worth a second resampler.
        const AVFrame& frame = *feed.decoded;
        if (frame.sample_rate == feed.inRate && frame.format == feed.inFormat &&
            frame.ch_layout.nb_channels == feed.inChannels)
            resample(feed, feed.decoded);
        av_frame_unref(feed.decoded);
        feed.decodedAny = true;
        any = true;
    }
}

// Decodes until some samples come or the music ends.
void pullMusic(MusicFeed& feed) {
    while (!feed.ended) {
        if (takeDecoded(feed) || feed.ended) return;
        if (feed.draining) {
            feed.ended = true;
            return;
        }
        if (av_read_frame(feed.format, feed.packet) < 0) {
            avcodec_send_packet(feed.decoder, nullptr);
            feed.draining = true;
            continue;
        }
        if (feed.packet->stream_index == feed.streamIndex)
            avcodec_send_packet(feed.decoder, feed.packet);
        av_packet_unref(feed.packet);
    }
}

}  // namespace

MusicFeedPtr openMusicFeed(const std::string& path, int sampleRate, double startSeconds,
                           std::string& error) {
    MusicFeedPtr feed(new MusicFeed);
    feed->sampleRate = sampleRate;
    feed->skip = std::llround(std::max(startSeconds, 0.0) * sampleRate);
    const std::string prefix = "cannot read the music " + path + ": ";
    int result = avformat_open_input(&feed->format, path.c_str(), nullptr, nullptr);
    if (result >= 0) result = avformat_find_stream_info(feed->format, nullptr);
    if (result < 0) {
        error = prefix + avErrorText(result);
        return nullptr;
    }
    const AVCodec* codec = nullptr;
    feed->streamIndex = av_find_best_stream(feed->format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (feed->streamIndex < 0) {
        error = prefix + "it holds no sound";
        return nullptr;
    }
    feed->decoder = avcodec_alloc_context3(codec);
    feed->packet = av_packet_alloc();
    feed->decoded = av_frame_alloc();
    feed->queue = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, 4096);
    if (feed->decoder == nullptr || feed->packet == nullptr || feed->decoded == nullptr ||
        feed->queue == nullptr) {
        error = prefix + avErrorText(AVERROR(ENOMEM));
        return nullptr;
    }
    result = avcodec_parameters_to_context(feed->decoder,
                                           feed->format->streams[feed->streamIndex]->codecpar);
    if (result >= 0) result = avcodec_open2(feed->decoder, codec, nullptr);
    if (result < 0) {
        error = prefix + avErrorText(result);
        return nullptr;
    }
    while (!feed->decodedAny && !feed->ended) pullMusic(*feed);
    if (!feed->decodedAny) {
        error = prefix + "no sound could be decoded from it";
        return nullptr;
    }
    return feed;
}

void readMusicFeed(MusicFeed& feed, AVFrame& frame) {
    const int wanted = frame.nb_samples;
    while (av_audio_fifo_size(feed.queue) < wanted && !feed.ended) pullMusic(feed);
    const int got =
        std::max(av_audio_fifo_read(feed.queue, reinterpret_cast<void**>(frame.data), wanted), 0);
    for (int plane = 0; plane < 2; ++plane)
        std::memset(frame.data[plane] + size_t(got) * sizeof(float), 0,
                    size_t(wanted - got) * sizeof(float));
}
