#include "video/video_writer.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/atomic_file.h"
#include "video/av_error.h"
#include "video/bt709_conversion.h"
#include "video/music_feed.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <libyuv/convert.h>

namespace {

const int MAX_WIDTH = 3840;
const int MAX_HEIGHT = 2160;
const int MAX_FRAMES_PER_SECOND = 240;
const int SOUND_RATE = 44100;
const int SOUND_BIT_RATE = 192000;
// A fixed count rather than one per core: x264 gives the same pictures for the same frames only
// with the same number of threads, and the capture must not depend on the machine. Three keep
// two cores busy while one thread waits on the lookahead.
const int ENCODER_THREADS = 3;

struct Container {
    const char* ending;
    const char* muxer;
};
const Container CONTAINERS[] = {
    {".mp4", "mp4"}, {".m4v", "mp4"}, {".mov", "mov"}, {".mkv", "matroska"}};

// The container of a name's ending, in either case; none for a name that is only an ending.
const Container* containerFor(const std::string& path) {
    for (const Container& container : CONTAINERS) {
        const size_t length = std::strlen(container.ending);
        if (path.size() > length &&
            strcasecmp(path.c_str() + path.size() - length, container.ending) == 0)
            return &container;
    }
    return nullptr;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

struct VideoWriter {
    VideoOptions options;
    int frameLimit = 0;
    AtomicFile file;      // removed unless the video is finished
    bool closed = false;  // finished or given up
    std::string failure;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    MusicFeedPtr music;
    int64_t soundSamplesSent = 0;
    VideoStats stats;
};

namespace {

void releaseEncoding(VideoWriter& writer) {
    avcodec_free_context(&writer.video);
    avcodec_free_context(&writer.audio);
    av_frame_free(&writer.picture);
    av_frame_free(&writer.sound);
    av_packet_free(&writer.packet);
    writer.music.reset();
    if (writer.format != nullptr) {
        if (writer.format->pb != nullptr) avio_closep(&writer.format->pb);
        avformat_free_context(writer.format);
        writer.format = nullptr;
    }
}

void discard(VideoWriter& writer) {
    releaseEncoding(writer);
    abandonAtomicFile(writer.file);
    writer.closed = true;
}

std::string messageFor(const VideoWriter& writer, const std::string& reason) {
    return "Cannot write the video " + writer.options.outputPath + ": " + reason;
}

// Gives the output up and remembers why.
bool fail(VideoWriter& writer, const std::string& reason, std::string& error) {
    discard(writer);
    writer.failure = messageFor(writer, reason);
    error = writer.failure;
    return false;
}

bool failCode(VideoWriter& writer, const std::string& what, int code, std::string& error) {
    return fail(writer, what + ": " + avErrorText(code), error);
}

// Sends a frame (null: the end) to an encoder and writes out every packet it has ready.
int encode(VideoWriter& writer, AVCodecContext* encoder, AVStream* stream, const AVFrame* frame) {
    int result = avcodec_send_frame(encoder, frame);
    while (result >= 0) {
        result = avcodec_receive_packet(encoder, writer.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
        if (result < 0) break;
        av_packet_rescale_ts(writer.packet, encoder->time_base, stream->time_base);
        writer.packet->stream_index = stream->index;
        result = av_interleaved_write_frame(writer.format, writer.packet);
    }
    return result;
}

int sendSound(VideoWriter& writer, int samples) {
    writer.sound->nb_samples = writer.audio->frame_size;
    const int result = av_frame_make_writable(writer.sound);
    if (result < 0) return result;
    writer.sound->nb_samples = samples;
    readMusicFeed(*writer.music, *writer.sound);
    writer.sound->pts = writer.soundSamplesSent;
    writer.soundSamplesSent += samples;
    return encode(writer, writer.audio, writer.audioStream, writer.sound);
}

const char* checkOptions(const VideoOptions& options) {
    if (options.outputPath.empty()) return "no file name given";
    if (containerFor(options.outputPath) == nullptr)
        return "the name must end in .mp4, .m4v, .mov or .mkv";
    if (options.width <= 0 || options.height <= 0 || options.width > MAX_WIDTH ||
        options.height > MAX_HEIGHT || options.width % 2 != 0 || options.height % 2 != 0)
        return "the picture size must be even and at most 3840 x 2160";
    if (options.framesPerSecond <= 0 || options.framesPerSecond > MAX_FRAMES_PER_SECOND)
        return "the frame rate must be from 1 to 240 frames per second";
    if (options.bytesPerPixel != 3 && options.bytesPerPixel != 4)
        return "frames must have 3 or 4 bytes a pixel";
    if (!(options.fromSeconds >= 0.0) || !(options.toSeconds > options.fromSeconds) ||
        !std::isfinite(options.toSeconds))
        return "the span of show time is empty";
    if (options.crf < 0 || options.crf > 51) return "the quality (crf) must be from 0 to 51";
    if (!(options.keyintSeconds >= MIN_KEYINT_SECONDS) ||
        !(options.keyintSeconds <= MAX_KEYINT_SECONDS))
        return "the keyframes must lie 0.5 to 10 seconds apart";
    return nullptr;
}

// Reserves a fresh name in the output's folder, so that the final rename cannot cross file
// systems and two captures never share a temporary file. FFmpeg writes it by name.
bool createTempFile(VideoWriter& writer, std::string& error) {
    std::string reason;
    if (!beginAtomicFile(writer.options.outputPath, writer.file, reason))
        return fail(writer, std::string("cannot create a file beside it: ") + strerror(errno),
                    error);
    close(writer.file.fd);
    writer.file.fd = -1;
    return true;
}

bool openPictures(VideoWriter& writer, std::string& error) {
    const VideoOptions& options = writer.options;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return fail(writer, "this FFmpeg has no libx264 encoder", error);
    writer.video = avcodec_alloc_context3(codec);
    writer.picture = av_frame_alloc();
    if (writer.video == nullptr || writer.picture == nullptr)
        return failCode(writer, "out of memory", AVERROR(ENOMEM), error);
    AVCodecContext& video = *writer.video;
    video.width = options.width;
    video.height = options.height;
    video.time_base = AVRational{1, options.framesPerSecond};
    video.framerate = AVRational{options.framesPerSecond, 1};
    video.pix_fmt = AV_PIX_FMT_YUV420P;
    // The colours themselves are BT.709's (sRGB's) at every size; the matrix is the one players
    // assume for the size when a file has no tags, and the tags say so for those that read them.
    video.color_range = AVCOL_RANGE_MPEG;
    video.colorspace =
        usesBt709(options.width, options.height) ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    video.color_primaries = AVCOL_PRI_BT709;
    video.color_trc = AVCOL_TRC_BT709;
    video.thread_count = ENCODER_THREADS;
    video.gop_size =
        std::max(1, int(std::floor(options.keyintSeconds * options.framesPerSecond + 1e-9)));
    if (writer.format->oformat->flags & AVFMT_GLOBALHEADER)
        video.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "preset", options.preset.c_str(), 0);
    av_dict_set_int(&settings, "crf", options.crf, 0);
    int result = avcodec_open2(&video, codec, &settings);
    av_dict_free(&settings);
    if (result < 0)
        return failCode(writer, "cannot start H.264 encoding with preset " + options.preset, result,
                        error);

    writer.videoStream = avformat_new_stream(writer.format, nullptr);
    if (writer.videoStream == nullptr)
        return failCode(writer, "out of memory", AVERROR(ENOMEM), error);
    result = avcodec_parameters_from_context(writer.videoStream->codecpar, &video);
    if (result < 0) return failCode(writer, "cannot set up the picture track", result, error);
    writer.videoStream->time_base = video.time_base;
    writer.videoStream->avg_frame_rate = video.framerate;
    writer.videoStream->disposition = AV_DISPOSITION_DEFAULT;

    writer.picture->format = AV_PIX_FMT_YUV420P;
    writer.picture->width = options.width;
    writer.picture->height = options.height;
    result = av_frame_get_buffer(writer.picture, 0);
    if (result < 0) return failCode(writer, "out of memory", result, error);
    return true;
}

bool openSound(VideoWriter& writer, std::string& error) {
    std::string reason;
    writer.music =
        openMusicFeed(writer.options.musicPath, SOUND_RATE, writer.options.fromSeconds, reason);
    if (writer.music == nullptr) return fail(writer, reason, error);

    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) return fail(writer, "this FFmpeg has no AAC encoder", error);
    writer.audio = avcodec_alloc_context3(codec);
    writer.sound = av_frame_alloc();
    if (writer.audio == nullptr || writer.sound == nullptr)
        return failCode(writer, "out of memory", AVERROR(ENOMEM), error);
    AVCodecContext& audio = *writer.audio;
    audio.sample_fmt = AV_SAMPLE_FMT_FLTP;
    audio.sample_rate = SOUND_RATE;
    audio.ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    audio.bit_rate = SOUND_BIT_RATE;
    audio.time_base = AVRational{1, SOUND_RATE};
    if (writer.format->oformat->flags & AVFMT_GLOBALHEADER)
        audio.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(&audio, codec, nullptr);
    if (result < 0) return failCode(writer, "cannot start AAC encoding", result, error);

    writer.audioStream = avformat_new_stream(writer.format, nullptr);
    if (writer.audioStream == nullptr)
        return failCode(writer, "out of memory", AVERROR(ENOMEM), error);
    result = avcodec_parameters_from_context(writer.audioStream->codecpar, &audio);
    if (result < 0) return failCode(writer, "cannot set up the sound track", result, error);
    writer.audioStream->time_base = audio.time_base;
    writer.audioStream->disposition = AV_DISPOSITION_DEFAULT;

    writer.sound->format = AV_SAMPLE_FMT_FLTP;
    writer.sound->sample_rate = SOUND_RATE;
    writer.sound->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    writer.sound->nb_samples = audio.frame_size;
    result = av_frame_get_buffer(writer.sound, 0);
    if (result < 0) return failCode(writer, "out of memory", result, error);
    return true;
}

bool reportWriteError(VideoWriter& writer, const std::string& what, int result,
                      std::string& error) {
    if (result >= 0 && writer.format->pb != nullptr) result = writer.format->pb->error;
    if (result >= 0) return true;
    return failCode(writer, what + " " + writer.file.temporary, result, error);
}

bool readyForFrame(VideoWriter& writer, std::string& error) {
    if (writer.closed) {
        error =
            writer.failure.empty() ? messageFor(writer, "it is already closed") : writer.failure;
        return false;
    }
    if (writer.stats.framesWritten >= writer.frameLimit)
        return fail(
            writer,
            "a frame came after all " + std::to_string(writer.frameLimit) + " frames of the span",
            error);
    return true;
}

// Encodes the converted picture as the next frame, with the sound up to its end.
bool encodePicture(VideoWriter& writer, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    writer.picture->pts = writer.stats.framesWritten;
    int result = encode(writer, writer.video, writer.videoStream, writer.picture);
    if (!reportWriteError(writer, "cannot write a frame to", result, error)) return false;
    ++writer.stats.framesWritten;

    // The sound keeps pace with the pictures, so the muxer never holds much of either.
    if (writer.music != nullptr) {
        const int64_t soundEnd =
            av_rescale(writer.stats.framesWritten, SOUND_RATE, writer.options.framesPerSecond);
        while (writer.soundSamplesSent + writer.audio->frame_size <= soundEnd) {
            result = sendSound(writer, writer.audio->frame_size);
            if (!reportWriteError(writer, "cannot write sound to", result, error)) return false;
        }
    }
    writer.stats.encodeSeconds += secondsSince(start);
    writer.stats.bytesWritten = avio_tell(writer.format->pb);
    return true;
}

}  // namespace

void VideoWriterCloser::operator()(VideoWriter* writer) const {
    discard(*writer);
    delete writer;
}

const char* const VIDEO_FILE_ENDINGS = ".mp4, .m4v, .mov or .mkv";

bool isVideoFileName(const std::string& path) {
    return containerFor(path) != nullptr;
}

bool usesBt709(int width, int height) {
    return width >= 1280 || height >= 720;
}

int videoFrameCount(const VideoOptions& options) {
    if (options.framesPerSecond <= 0 || !(options.toSeconds > options.fromSeconds)) return 0;
    const double frames = (options.toSeconds - options.fromSeconds) * options.framesPerSecond;
    // A span of whole frames given in decimal seconds lands a hair off the integer.
    const double whole = std::round(frames);
    return int(std::fabs(frames - whole) < 1e-6 ? whole : std::ceil(frames));
}

VideoWriterPtr openVideo(const VideoOptions& options, std::string& error) {
    VideoWriterPtr writer(new VideoWriter);
    writer->options = options;
    if (const char* reason = checkOptions(options)) {
        fail(*writer, reason, error);
        return nullptr;
    }
    writer->frameLimit = videoFrameCount(options);
    // Only failures are worth a line on stderr beside the capture's progress.
    av_log_set_level(AV_LOG_ERROR);
    if (!createTempFile(*writer, error)) return nullptr;

    const Container& container = *containerFor(options.outputPath);
    int result = avformat_alloc_output_context2(&writer->format, nullptr, container.muxer,
                                                writer->file.temporary.c_str());
    writer->packet = av_packet_alloc();
    if (result < 0 || writer->packet == nullptr) {
        failCode(*writer, std::string("cannot set up ") + container.muxer + " writing",
                 result < 0 ? result : AVERROR(ENOMEM), error);
        return nullptr;
    }
    if (std::strcmp(container.muxer, "matroska") == 0) {
        // Matroska draws its file's and tracks' identifiers at random unless told to be
        // bit-exact; MP4 and MOV have none.
        writer->format->flags |= AVFMT_FLAG_BITEXACT;
        // The AAC encoder's first packet, its start-up, comes 1024 samples before 0. MP4 and MOV
        // skip it by an edit list; this Matroska writer marks a codec delay for Opus only and
        // would otherwise shift both tracks later by it, the pictures off show time less --from.
        // Left before 0, the start-up is where players do not play it.
        writer->format->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    }
    if (!openPictures(*writer, error)) return nullptr;
    if (!options.musicPath.empty() && !openSound(*writer, error)) return nullptr;

    result = avio_open(&writer->format->pb, writer->file.temporary.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        failCode(*writer, "cannot open " + writer->file.temporary, result, error);
        return nullptr;
    }
    // The index goes in front once the file is complete, so players can start before the end
    // has arrived. Matroska keeps its own index where players find it.
    AVDictionary* settings = nullptr;
    if (std::strcmp(container.muxer, "matroska") != 0)
        av_dict_set(&settings, "movflags", "+faststart", 0);
    result = avformat_write_header(writer->format, &settings);
    av_dict_free(&settings);
    if (!reportWriteError(*writer, "cannot write to", result, error)) return nullptr;
    return writer;
}

bool writeVideoFrame(VideoWriter& writer, const uint8_t* pixels, int rowStride,
                     std::string& error) {
    if (!readyForFrame(writer, error)) return false;
    const VideoOptions& options = writer.options;
    if (pixels == nullptr || rowStride < options.width * options.bytesPerPixel)
        return fail(writer, "a frame came with no pixels or rows too short", error);

    const auto start = std::chrono::steady_clock::now();
    int result = av_frame_make_writable(writer.picture);
    if (result < 0) return failCode(writer, "out of memory", result, error);
    // GL gives the bottom row first; a negative height reads the rows upwards.
    AVFrame& picture = *writer.picture;
    bool converted = false;
    if (usesBt709(options.width, options.height)) {
        converted =
            rgbToBt709I420(pixels, rowStride, options.bytesPerPixel, picture.data[0],
                           picture.linesize[0], picture.data[1], picture.linesize[1],
                           picture.data[2], picture.linesize[2], options.width, -options.height);
    } else {
        // libyuv's "ABGR" and "RAW" are R, G, B(, A) in memory order.
        const auto convert = options.bytesPerPixel == 4 ? &libyuv::ABGRToI420 : &libyuv::RAWToI420;
        converted = convert(pixels, rowStride, picture.data[0], picture.linesize[0],
                            picture.data[1], picture.linesize[1], picture.data[2],
                            picture.linesize[2], options.width, -options.height) == 0;
    }
    if (!converted) return fail(writer, "the colour conversion failed", error);
    writer.stats.convertSeconds += secondsSince(start);
    return encodePicture(writer, error);
}

bool repeatVideoFrame(VideoWriter& writer, std::string& error) {
    if (!readyForFrame(writer, error)) return false;
    if (writer.stats.framesWritten == 0) return fail(writer, "no frame came to repeat", error);
    // The encoder copied the picture in; it is still ours, unchanged.
    return encodePicture(writer, error);
}

bool finishVideo(VideoWriter& writer, std::string& error) {
    if (writer.closed) {
        error =
            writer.failure.empty() ? messageFor(writer, "it is already closed") : writer.failure;
        return false;
    }
    if (writer.stats.framesWritten == 0) return fail(writer, "no frame was given", error);
    const auto start = std::chrono::steady_clock::now();
    int result = 0;
    if (writer.music != nullptr) {
        // The sound stops exactly where the last frame ends.
        const int64_t soundEnd =
            av_rescale(writer.stats.framesWritten, SOUND_RATE, writer.options.framesPerSecond);
        const bool shortLast = writer.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        while (result >= 0 && writer.soundSamplesSent < soundEnd) {
            const int64_t left = soundEnd - writer.soundSamplesSent;
            result =
                sendSound(writer, shortLast ? int(std::min<int64_t>(left, writer.audio->frame_size))
                                            : writer.audio->frame_size);
        }
        if (result >= 0) result = encode(writer, writer.audio, writer.audioStream, nullptr);
    }
    if (result >= 0) result = encode(writer, writer.video, writer.videoStream, nullptr);
    if (!reportWriteError(writer, "cannot write to", result, error)) return false;
    result = av_write_trailer(writer.format);
    if (!reportWriteError(writer, "cannot complete", result, error)) return false;
    result = avio_closep(&writer.format->pb);
    if (result < 0)
        return failCode(writer, "cannot complete " + writer.file.temporary, result, error);
    std::string reason;
    if (!commitAtomicFile(writer.file, reason))
        return fail(writer, "cannot put it in place: " + reason, error);
    struct stat info;
    if (stat(writer.options.outputPath.c_str(), &info) == 0)
        writer.stats.bytesWritten = info.st_size;
    writer.stats.encodeSeconds += secondsSince(start);
    discard(writer);
    return true;
}

void abandonVideo(VideoWriter& writer) {
    discard(writer);
}

VideoStats videoStats(const VideoWriter& writer) {
    return writer.stats;
}
