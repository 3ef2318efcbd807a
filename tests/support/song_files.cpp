#include "song_files.h"

#include <cmath>

#include "mp3/mp3_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace {

struct Encoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;
    ~Encoding() {
        swr_free(&resampler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&encoder);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

const char* encoderName(SongFormat format) {
    switch (format) {
        case SongFormat::Wav:
            return "pcm_s16le";
        case SongFormat::Flac:
            return "flac";
        case SongFormat::OggVorbis:
            return "libvorbis";
        case SongFormat::M4aAac:
            return "aac";
        case SongFormat::Mp3:
            break;
    }
    return "";
}

bool drain(Encoding& e, bool flush) {
    if (avcodec_send_frame(e.encoder, flush ? nullptr : e.frame) < 0) return false;
    for (;;) {
        const int result = avcodec_receive_packet(e.encoder, e.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
        if (result < 0) return false;
        av_packet_rescale_ts(e.packet, e.encoder->time_base, e.stream->time_base);
        e.packet->stream_index = 0;
        if (av_interleaved_write_frame(e.format, e.packet) < 0) return false;
    }
}

bool encode(const std::string& path, SongFormat songFormat, const std::vector<int16_t>& samples,
            int sampleRate) {
    Encoding e;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName(songFormat));
    if (codec == nullptr ||
        avformat_alloc_output_context2(&e.format, nullptr, nullptr, path.c_str()) < 0)
        return false;
    e.encoder = avcodec_alloc_context3(codec);
    e.stream = avformat_new_stream(e.format, nullptr);
    if (e.encoder == nullptr || e.stream == nullptr) return false;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&e.encoder->ch_layout, &stereo);
    e.encoder->sample_rate = sampleRate;
    e.encoder->sample_fmt =
        codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    e.encoder->bit_rate = 128000;
    e.encoder->time_base = AVRational{1, sampleRate};
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER)
        e.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(e.encoder, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(e.stream->codecpar, e.encoder) < 0)
        return false;
    e.stream->time_base = e.encoder->time_base;
    if (avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(e.format, nullptr) < 0)
        return false;
    if (swr_alloc_set_opts2(&e.resampler, &stereo, e.encoder->sample_fmt, sampleRate, &stereo,
                            AV_SAMPLE_FMT_S16, sampleRate, 0, nullptr) < 0 ||
        swr_init(e.resampler) < 0)
        return false;
    const int frameSize = e.encoder->frame_size > 0 ? e.encoder->frame_size : 1024;
    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    if (e.frame == nullptr || e.packet == nullptr) return false;
    const int64_t total = int64_t(samples.size() / 2);
    for (int64_t at = 0; at < total; at += frameSize) {
        const int count = int(std::min<int64_t>(frameSize, total - at));
        av_frame_unref(e.frame);
        e.frame->nb_samples = count;
        e.frame->format = e.encoder->sample_fmt;
        e.frame->sample_rate = sampleRate;
        av_channel_layout_copy(&e.frame->ch_layout, &stereo);
        if (av_frame_get_buffer(e.frame, 0) < 0) return false;
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples.data() + 2 * at)};
        if (swr_convert(e.resampler, e.frame->data, count, in, count) != count) return false;
        e.frame->pts = at;
        if (!drain(e, false)) return false;
    }
    return drain(e, true) && av_write_trailer(e.format) == 0;
}

}  // namespace

const char* songExtension(SongFormat format) {
    switch (format) {
        case SongFormat::Wav:
            return ".wav";
        case SongFormat::Flac:
            return ".flac";
        case SongFormat::OggVorbis:
            return ".ogg";
        case SongFormat::M4aAac:
            return ".m4a";
        case SongFormat::Mp3:
            break;
    }
    return ".mp3";
}

std::vector<int16_t> songSamples(double seconds, int sampleRate) {
    const size_t frames = size_t(seconds * sampleRate);
    std::vector<int16_t> samples(frames * 2);
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const double root = 220.0 * std::pow(2.0, double(int(t) % 5) / 12.0);
        const double left = std::sin(2.0 * pi * root * t) + 0.5 * std::sin(3.0 * pi * root * t);
        const double right = std::sin(2.0 * pi * root * t) + 0.5 * std::sin(2.5 * pi * root * t);
        samples[2 * i] = int16_t(std::lround(6000.0 * left));
        samples[2 * i + 1] = int16_t(std::lround(6000.0 * right));
    }
    return samples;
}

bool writeSong(const std::string& path, SongFormat format, double seconds, std::string& error,
               int sampleRate) {
    const std::vector<int16_t> samples = songSamples(seconds, sampleRate);
    if (format == SongFormat::Mp3 ? writeMp3(path, samples, sampleRate, 96)
                                  : encode(path, format, samples, sampleRate))
        return true;
    error = "can't write the song " + path;
    return false;
}
