#include "video/song_decoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "video/av_error.h"
#include "video/stereo_resampler.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace {

struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoder = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    int inRate = 0, inFormat = -1, inChannels = 0;  // what the resampler was set up for
    bool decodedAny = false;

    ~Decoding() {
        swr_free(&resampler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }
};

bool startResampler(Decoding& decoding, const AVFrame& frame) {
    const bool opened =
        openStereoResampler(&decoding.resampler, AV_SAMPLE_FMT_S16, songSampleRate, frame);
    decoding.inRate = frame.sample_rate;
    decoding.inFormat = frame.format;
    decoding.inChannels = frame.ch_layout.nb_channels;
    return opened;
}

// Appends the resampled samples of `input`; no input drains what the resampler still holds.
void resample(Decoding& decoding, const AVFrame* input, std::vector<int16_t>& samples) {
    const int inCount = input != nullptr ? input->nb_samples : 0;
    for (;;) {
        const int room = std::max(swr_get_out_samples(decoding.resampler, inCount), 0) + 32;
        const size_t at = samples.size();
        samples.resize(at + size_t(room) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data() + at)};
        const int count = swr_convert(
            decoding.resampler, out, room,
            input != nullptr ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
            inCount);
        samples.resize(at + size_t(std::max(count, 0)) * 2);
        if (count <= 0 || input != nullptr) return;
    }
}

// Takes every frame the decoder has ready; false once a resampler can't be set up.
bool takeDecoded(Decoding& decoding, std::vector<int16_t>& samples) {
    for (;;) {
        if (avcodec_receive_frame(decoding.decoder, decoding.frame) < 0) return true;
        const AVFrame& frame = *decoding.frame;
        if (decoding.resampler == nullptr && !startResampler(decoding, frame)) {
            av_frame_unref(decoding.frame);
            return false;
        }
        // A change of format in the middle of a file is not worth a second resampler.
        if (frame.sample_rate == decoding.inRate && frame.format == decoding.inFormat &&
            frame.ch_layout.nb_channels == decoding.inChannels) {
            resample(decoding, decoding.frame, samples);
            decoding.decodedAny = true;
        }
        av_frame_unref(decoding.frame);
    }
}

}  // namespace

bool decodeSong(const std::string& path, Song& song, std::string& error) {
    const std::string prefix = "can't read the song " + path + ": ";
    // FFmpeg's own warnings (timestamps of a Vorbis stream's first samples) mean nothing to
    // whoever brings the song; a file that can't be read gets a message of ours.
    av_log_set_level(AV_LOG_ERROR);
    Decoding decoding;
    int result = avformat_open_input(&decoding.format, path.c_str(), nullptr, nullptr);
    if (result >= 0) result = avformat_find_stream_info(decoding.format, nullptr);
    if (result < 0) {
        error = prefix + avErrorText(result);
        return false;
    }
    const AVCodec* codec = nullptr;
    decoding.stream = av_find_best_stream(decoding.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (decoding.stream < 0) {
        error = prefix + "it holds no sound";
        return false;
    }
    decoding.decoder = avcodec_alloc_context3(codec);
    decoding.packet = av_packet_alloc();
    decoding.frame = av_frame_alloc();
    if (decoding.decoder == nullptr || decoding.packet == nullptr || decoding.frame == nullptr) {
        error = prefix + avErrorText(AVERROR(ENOMEM));
        return false;
    }
    result = avcodec_parameters_to_context(decoding.decoder,
                                           decoding.format->streams[decoding.stream]->codecpar);
    if (result >= 0) result = avcodec_open2(decoding.decoder, codec, nullptr);
    if (result < 0) {
        error = prefix + avErrorText(result);
        return false;
    }
    std::vector<int16_t> samples;
    bool going = true;
    while (going && av_read_frame(decoding.format, decoding.packet) >= 0) {
        if (decoding.packet->stream_index == decoding.stream)
            avcodec_send_packet(decoding.decoder, decoding.packet);  // a damaged packet: skipped
        av_packet_unref(decoding.packet);
        going = takeDecoded(decoding, samples);
    }
    if (going) {
        avcodec_send_packet(decoding.decoder, nullptr);
        going = takeDecoded(decoding, samples);
    }
    if (!going) {
        error = prefix + "its sound format can't be converted";
        return false;
    }
    if (!decoding.decodedAny) {
        error = prefix + "no sound could be decoded from it";
        return false;
    }
    resample(decoding, nullptr, samples);
    song.samples = std::move(samples);
    song.seconds = double(song.samples.size() / 2) / songSampleRate;
    song.mp3 = std::strcmp(decoding.format->iformat->name, "mp3") == 0;
    return true;
}
