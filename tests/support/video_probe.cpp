#include "video_probe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "video/av_error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* decoders[2] = {};  // picture, sound
    int streams[2] = {-1, -1};
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    std::function<void(const AVPacket&)> onPicturePacket;  // each one read, in file order

    ~Decoding() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        for (AVCodecContext*& decoder : decoders) avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }
};

bool fail(const std::string& path, const std::string& reason, std::string& error) {
    error = "Cannot read the video " + path + ": " + reason;
    return false;
}

bool openDecoding(const std::string& path, Decoding& decoding, std::string& error) {
    av_log_set_level(AV_LOG_ERROR);
    int result = avformat_open_input(&decoding.format, path.c_str(), nullptr, nullptr);
    if (result >= 0) result = avformat_find_stream_info(decoding.format, nullptr);
    if (result < 0) return fail(path, avErrorText(result), error);
    const AVMediaType types[2] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO};
    for (int kind = 0; kind < 2; ++kind) {
        for (unsigned i = 0; i < decoding.format->nb_streams; ++i) {
            if (decoding.format->streams[i]->codecpar->codec_type != types[kind]) continue;
            decoding.streams[kind] = int(i);
            break;
        }
        if (decoding.streams[kind] < 0) continue;
        const AVCodecParameters* parameters =
            decoding.format->streams[decoding.streams[kind]]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        if (codec == nullptr) return fail(path, "no decoder for a track", error);
        decoding.decoders[kind] = avcodec_alloc_context3(codec);
        if (decoding.decoders[kind] == nullptr) return fail(path, "out of memory", error);
        // One thread: reading back must give the same pictures on every machine.
        decoding.decoders[kind]->thread_count = 1;
        result = avcodec_parameters_to_context(decoding.decoders[kind], parameters);
        if (result >= 0) result = avcodec_open2(decoding.decoders[kind], codec, nullptr);
        if (result < 0) return fail(path, avErrorText(result), error);
    }
    decoding.packet = av_packet_alloc();
    decoding.frame = av_frame_alloc();
    if (decoding.packet == nullptr || decoding.frame == nullptr)
        return fail(path, "out of memory", error);
    return true;
}

// Calls `use` with each decoded frame and its kind (0 picture, 1 sound) until it returns false
// or the file ends.
using FrameUse = std::function<bool(const AVFrame&, int)>;

// Takes what a decoder has ready. Returns false to stop.
bool drain(Decoding& decoding, int kind, const FrameUse& use) {
    for (;;) {
        const int result = avcodec_receive_frame(decoding.decoders[kind], decoding.frame);
        if (result < 0) return true;
        const bool more = use(*decoding.frame, kind);
        av_frame_unref(decoding.frame);
        if (!more) return false;
    }
}

bool decodeAll(const std::string& path, Decoding& decoding, const FrameUse& use,
               std::string& error) {
    // A track nobody looks at is not decoded.
    for (int kind = 0; kind < 2; ++kind)
        if (decoding.decoders[kind] == nullptr) decoding.streams[kind] = -1;
    for (;;) {
        const int result = av_read_frame(decoding.format, decoding.packet);
        if (result == AVERROR_EOF) break;
        if (result < 0) return fail(path, avErrorText(result), error);
        int kind = -1;
        for (int k = 0; k < 2; ++k)
            if (decoding.packet->stream_index == decoding.streams[k]) kind = k;
        if (kind == 0 && decoding.onPicturePacket) decoding.onPicturePacket(*decoding.packet);
        if (kind >= 0) avcodec_send_packet(decoding.decoders[kind], decoding.packet);
        av_packet_unref(decoding.packet);
        if (kind >= 0 && !drain(decoding, kind, use)) return true;
    }
    for (int kind = 0; kind < 2; ++kind) {
        if (decoding.decoders[kind] == nullptr) continue;
        avcodec_send_packet(decoding.decoders[kind], nullptr);
        if (!drain(decoding, kind, use)) return true;
    }
    return true;
}

double sampleAt(const AVFrame& frame, int channel, int index) {
    const auto format = AVSampleFormat(frame.format);
    const bool planar = av_sample_fmt_is_planar(format);
    const uint8_t* base = frame.extended_data[planar ? channel : 0];
    const int at = planar ? index : index * frame.ch_layout.nb_channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_FLT:
            return reinterpret_cast<const float*>(base)[at];
        case AV_SAMPLE_FMT_DBL:
            return reinterpret_cast<const double*>(base)[at];
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const int16_t*>(base)[at] / 32768.0;
        case AV_SAMPLE_FMT_S32:
            return reinterpret_cast<const int32_t*>(base)[at] / 2147483648.0;
        default:
            return 0.0;
    }
}

// Where the top-level 'moov' and 'mdat' boxes start.
bool indexBeforeData(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    int64_t at = 0, moov = -1, mdat = -1;
    unsigned char head[16];
    while (std::fseek(file, long(at), SEEK_SET) == 0 && std::fread(head, 1, 8, file) == 8) {
        uint64_t size = (uint64_t(head[0]) << 24) | (uint64_t(head[1]) << 16) |
                        (uint64_t(head[2]) << 8) | head[3];
        if (size == 1) {
            if (std::fread(head + 8, 1, 8, file) != 8) break;
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | head[i];
        }
        const std::string type(reinterpret_cast<char*>(head + 4), 4);
        if (type == "moov" && moov < 0) moov = at;
        if (type == "mdat" && mdat < 0) mdat = at;
        if (size < 8) break;  // 0 runs to the end of the file
        at += int64_t(size);
    }
    std::fclose(file);
    return moov >= 0 && mdat >= 0 && moov < mdat;
}

}  // namespace

bool probeVideo(const std::string& path, VideoProbe& probe, std::string& error) {
    probe = VideoProbe{};
    Decoding decoding;
    if (!openDecoding(path, decoding, error)) return false;
    probe.container = decoding.format->iformat->name;
    for (unsigned i = 0; i < decoding.format->nb_streams; ++i) {
        const AVMediaType type = decoding.format->streams[i]->codecpar->codec_type;
        probe.videoStreams += type == AVMEDIA_TYPE_VIDEO;
        probe.audioStreams += type == AVMEDIA_TYPE_AUDIO;
    }
    if (decoding.streams[0] >= 0) {
        const AVStream* stream = decoding.format->streams[decoding.streams[0]];
        probe.videoCodec = avcodec_get_name(stream->codecpar->codec_id);
        const char* name = av_get_pix_fmt_name(AVPixelFormat(stream->codecpar->format));
        probe.pixelFormat = name != nullptr ? name : "";
        probe.width = stream->codecpar->width;
        probe.height = stream->codecpar->height;
        probe.framesPerSecond = av_q2d(stream->avg_frame_rate);
        probe.colourMatrix = av_color_space_name(stream->codecpar->color_space);
        probe.colourPrimaries = av_color_primaries_name(stream->codecpar->color_primaries);
        probe.colourTransfer = av_color_transfer_name(stream->codecpar->color_trc);
        if (stream->duration != AV_NOPTS_VALUE)
            probe.videoDuration = double(stream->duration) * av_q2d(stream->time_base);
    }
    if (decoding.streams[1] >= 0) {
        const AVCodecParameters* parameters =
            decoding.format->streams[decoding.streams[1]]->codecpar;
        probe.audioCodec = avcodec_get_name(parameters->codec_id);
        probe.sampleRate = parameters->sample_rate;
        probe.channels = parameters->ch_layout.nb_channels;
        const AVStream* stream = decoding.format->streams[decoding.streams[1]];
        if (stream->duration != AV_NOPTS_VALUE)
            probe.audioDuration = double(stream->duration) * av_q2d(stream->time_base);
    }
    if (decoding.format->duration != AV_NOPTS_VALUE)
        probe.duration = double(decoding.format->duration) / AV_TIME_BASE;
    for (unsigned i = 0; i < decoding.format->nb_streams; ++i)
        probe.defaultTracks +=
            (decoding.format->streams[i]->disposition & AV_DISPOSITION_DEFAULT) != 0;
    int sinceKeyframe = 0;
    decoding.onPicturePacket = [&](const AVPacket& packet) {
        if (packet.flags & AV_PKT_FLAG_KEY) sinceKeyframe = 0;
        probe.longestKeyframeGap = std::max(probe.longestKeyframeGap, ++sinceKeyframe);
    };
    const AVRational pictureTime = decoding.streams[0] >= 0
                                       ? decoding.format->streams[decoding.streams[0]]->time_base
                                       : AVRational{1, 1};
    const AVRational soundTime = decoding.streams[1] >= 0
                                     ? decoding.format->streams[decoding.streams[1]]->time_base
                                     : AVRational{1, 1};

    double squares = 0.0;
    int64_t values = 0;
    const bool read = decodeAll(
        path, decoding,
        [&](const AVFrame& frame, int kind) {
            if (kind == 0) {
                if (probe.frameCount++ == 0 && frame.best_effort_timestamp != AV_NOPTS_VALUE)
                    probe.videoStart = double(frame.best_effort_timestamp) * av_q2d(pictureTime);
                return true;
            }
            if (probe.audioSamples == 0 && frame.best_effort_timestamp != AV_NOPTS_VALUE)
                probe.audioStart = double(frame.best_effort_timestamp) * av_q2d(soundTime);
            probe.audioSamples += frame.nb_samples;
            for (int channel = 0; channel < frame.ch_layout.nb_channels; ++channel)
                for (int i = 0; i < frame.nb_samples; ++i) {
                    const double value = sampleAt(frame, channel, i);
                    squares += value * value;
                    ++values;
                }
            return true;
        },
        error);
    if (!read) return false;
    if (values > 0) probe.audioRms = std::sqrt(squares / double(values));
    if (probe.audioDuration == 0.0 && probe.sampleRate > 0)
        probe.audioDuration = double(probe.audioSamples) / probe.sampleRate;
    probe.indexAtFront = indexBeforeData(path);
    return true;
}

namespace {

bool toRgb(const AVFrame& frame, std::vector<uint8_t>& rgb) {
    SwsContext* scaler = sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format),
                                        frame.width, frame.height, AV_PIX_FMT_RGB24,
                                        SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                        nullptr, nullptr, nullptr);
    if (scaler == nullptr) return false;
    sws_setColorspaceDetails(scaler, sws_getCoefficients(frame.colorspace),
                             frame.color_range == AVCOL_RANGE_JPEG,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    rgb.resize(size_t(frame.width) * size_t(frame.height) * 3);
    uint8_t* out[1] = {rgb.data()};
    const int outStride[1] = {frame.width * 3};
    const bool converted = sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, out,
                                     outStride) == frame.height;
    sws_freeContext(scaler);
    return converted;
}

// The first picture that `wanted` accepts, as RGB.
bool decodePicture(const std::string& path, Decoding& decoding,
                   const std::function<bool(const AVFrame&)>& wanted, const std::string& missing,
                   std::vector<uint8_t>& rgb, std::string& error) {
    bool converted = false;
    const bool read = decodeAll(
        path, decoding,
        [&](const AVFrame& frame, int kind) {
            if (kind != 0 || !wanted(frame)) return true;
            converted = toRgb(frame, rgb);
            return false;
        },
        error);
    if (!read) return false;
    if (!converted) {
        rgb.clear();
        return fail(path, missing, error);
    }
    return true;
}

// Opens the file for its pictures alone: the sound's decoder goes.
bool openPictures(const std::string& path, Decoding& decoding, std::string& error) {
    if (!openDecoding(path, decoding, error)) return false;
    if (decoding.streams[0] < 0) return fail(path, "it holds no pictures", error);
    avcodec_free_context(&decoding.decoders[1]);
    return true;
}

}  // namespace

bool decodeVideoFrame(const std::string& path, int index, std::vector<uint8_t>& rgb,
                      std::string& error) {
    rgb.clear();
    Decoding decoding;
    if (!openPictures(path, decoding, error)) return false;
    int seen = 0;
    return decodePicture(
        path, decoding, [&](const AVFrame&) { return seen++ == index; },
        "it has no picture " + std::to_string(index), rgb, error);
}

bool decodeVideoFrameAt(const std::string& path, double seconds, std::vector<uint8_t>& rgb,
                        std::string& error) {
    rgb.clear();
    Decoding decoding;
    if (!openPictures(path, decoding, error)) return false;
    const AVStream* stream = decoding.format->streams[decoding.streams[0]];
    const int64_t target = int64_t(std::llround(seconds / av_q2d(stream->time_base)));
    const int result = av_seek_frame(decoding.format, stream->index, target, AVSEEK_FLAG_BACKWARD);
    if (result < 0) return fail(path, avErrorText(result), error);
    // Within a millisecond, the finest time base a container here keeps.
    return decodePicture(
        path, decoding,
        [&](const AVFrame& frame) {
            return frame.best_effort_timestamp != AV_NOPTS_VALUE &&
                   double(frame.best_effort_timestamp) * av_q2d(stream->time_base) >=
                       seconds - 1e-3;
        },
        "it has no picture at " + std::to_string(seconds) + " s", rgb, error);
}

bool decodeVideoAudio(const std::string& path, std::vector<float>& samples, std::string& error) {
    samples.clear();
    Decoding decoding;
    if (!openDecoding(path, decoding, error)) return false;
    if (decoding.streams[1] < 0) return fail(path, "it holds no sound", error);
    avcodec_free_context(&decoding.decoders[0]);
    return decodeAll(
        path, decoding,
        [&](const AVFrame& frame, int kind) {
            if (kind == 1)
                for (int i = 0; i < frame.nb_samples; ++i)
                    samples.push_back(float(sampleAt(frame, 0, i)));
            return true;
        },
        error);
}
