// FFmpeg's parts: libavformat's MP4 muxer writing through our own I/O into
// the temporary file's descriptor, libx264 through libavcodec, libswscale
// for RGB to yuv420p. Each frame gets the next presentation time in the
// stream's time base (1 / fps rounded to a rational).
//
// The muxer's "faststart" moves the index to the front once the file is
// written, reading it back by name: the name it gets is the temporary
// file's, which is where the data are.
#include "tool/video_file.h"
#include "platform/safe_write.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

struct VideoFile {
    std::string path;
    SafeWrite write;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* scale = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int64_t next = 0;  // the next frame's presentation time
    bool headerWritten = false;
};

namespace {

int writePacket(void* opaque, uint8_t* data, int size)
{
    return writeAll(static_cast<VideoFile*>(opaque)->write.fd, data, size_t(size)) ? size : AVERROR(EIO);
}

int64_t seekFile(void* opaque, int64_t offset, int whence)
{
    const int fd = static_cast<VideoFile*>(opaque)->write.fd;
    if (whence == AVSEEK_SIZE) {
        const off_t here = lseek(fd, 0, SEEK_CUR), end = lseek(fd, 0, SEEK_END);
        lseek(fd, here, SEEK_SET);
        return end;
    }
    return lseek(fd, offset, whence & ~AVSEEK_FORCE);
}

void freeState(VideoFile* v)
{
    if (v->format) {
        if (v->io) avio_context_free(&v->io);
        avformat_free_context(v->format);
    }
    avcodec_free_context(&v->codec);
    sws_freeContext(v->scale);
    av_frame_free(&v->frame);
    av_packet_free(&v->packet);
    delete v;
}

bool startCodec(VideoFile* v, int width, int height, double fps)
{
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264 || !(v->codec = avcodec_alloc_context3(h264))) return false;
    v->codec->width = width;
    v->codec->height = height;
    v->codec->pix_fmt = AV_PIX_FMT_YUV420P;
    v->codec->framerate = av_d2q(fps, 100000);
    v->codec->time_base = av_inv_q(v->codec->framerate);
    if (v->format->oformat->flags & AVFMT_GLOBALHEADER) v->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(v->codec->priv_data, "preset", "fast", 0);
    av_opt_set(v->codec->priv_data, "crf", "16", 0);
    if (avcodec_open2(v->codec, h264, nullptr) < 0) return false;
    v->stream = avformat_new_stream(v->format, nullptr);
    if (!v->stream || avcodec_parameters_from_context(v->stream->codecpar, v->codec) < 0) return false;
    v->stream->time_base = v->codec->time_base;
    v->stream->avg_frame_rate = v->codec->framerate;
    v->frame = av_frame_alloc();
    v->packet = av_packet_alloc();
    if (!v->frame || !v->packet) return false;
    v->frame->format = AV_PIX_FMT_YUV420P, v->frame->width = width, v->frame->height = height;
    v->scale = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                              nullptr, nullptr);
    return v->scale && av_frame_get_buffer(v->frame, 0) >= 0;
}

bool startMuxer(VideoFile* v, int width, int height, double fps, bool& encoder)
{
    if (avformat_alloc_output_context2(&v->format, nullptr, "mp4", v->write.writePath.c_str()) < 0) return false;
    unsigned char* buffer = static_cast<unsigned char*>(av_malloc(1 << 16));
    v->io = buffer ? avio_alloc_context(buffer, 1 << 16, 1, v, nullptr, writePacket, seekFile) : nullptr;
    if (!v->io) return av_free(buffer), false;
    v->format->pb = v->io;
    v->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (!(encoder = startCodec(v, width, height, fps))) return false;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const bool ok = avformat_write_header(v->format, &options) >= 0;
    av_dict_free(&options);
    return v->headerWritten = ok;
}

// Hands `frame` (null: the end) to the encoder and everything it gives back to the muxer.
bool encode(VideoFile* v, AVFrame* frame)
{
    if (avcodec_send_frame(v->codec, frame) < 0) return false;
    for (;;) {
        const int got = avcodec_receive_packet(v->codec, v->packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        av_packet_rescale_ts(v->packet, v->codec->time_base, v->stream->time_base);
        v->packet->stream_index = v->stream->index;
        if (av_interleaved_write_frame(v->format, v->packet) < 0) return false;
    }
}

bool writeFailed(VideoFile* v, std::string& error)
{
    return error = "Fehler beim Schreiben von '" + v->path + "'", false;
}

}  // namespace

VideoFile* openVideo(const std::string& path, int width, int height, double fps, std::string& error)
{
    av_log_set_level(AV_LOG_QUIET);  // the one German line says what failed
    VideoFile* v = new VideoFile;
    v->path = path;
    if (!beginSafeWrite(path, v->write) || !guardSafeWrite(v->write)) {
        abandonVideo(v);
        return error = "'" + path + "' l\xC3\xA4sst sich nicht anlegen", nullptr;
    }
    bool encoder = true;
    if (!startMuxer(v, width, height, fps, encoder)) {
        abandonVideo(v);
        return error = encoder ? "'" + path + "' l\xC3\xA4sst sich nicht anlegen" : "kein H.264-Encoder (libx264) in FFmpeg", nullptr;
    }
    return v;
}

bool addVideoFrame(VideoFile* v, const unsigned char* rgb, std::string& error)
{
    if (av_frame_make_writable(v->frame) < 0) return writeFailed(v, error);
    const uint8_t* planes[1] = {rgb};
    const int strides[1] = {3 * v->codec->width};
    sws_scale(v->scale, planes, strides, 0, v->codec->height, v->frame->data, v->frame->linesize);
    v->frame->pts = v->next++;
    return encode(v, v->frame) || writeFailed(v, error);
}

bool finishVideo(VideoFile* v, std::string& error)
{
    bool ok = encode(v, nullptr) && av_write_trailer(v->format) == 0;
    if (ok) avio_flush(v->io);
    ok = ok && v->io->error == 0 && commitSafeWrite(v->write);
    if (!ok) writeFailed(v, error), abortSafeWrite(v->write);
    freeState(v);
    return ok;
}

void abandonVideo(VideoFile* v)
{
    if (!v) return;
    abortSafeWrite(v->write);
    freeState(v);
}
