// Movies read back through FFmpeg's decoders, for the tests and the movie
// benchmark: every frame of a file as 8-bit RGB, top row first, with the
// stream's codec, pixel format and frame rate. PNG files read the same way.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fx {

struct Rgb {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

struct Video {
    std::string codec, pixelFormat;
    double fps = 0;
    std::vector<Rgb> frames;
};

inline void convertFrame(const AVFrame* f, Video& video)
{
    Rgb out{f->width, f->height, std::vector<unsigned char>(size_t(f->width) * f->height * 3)};
    SwsContext* s = sws_getContext(f->width, f->height, AVPixelFormat(f->format), f->width, f->height, AV_PIX_FMT_RGB24,
                                   SWS_BICUBIC, nullptr, nullptr, nullptr);
    uint8_t* planes[1] = {out.rgb.data()};
    const int strides[1] = {3 * f->width};
    sws_scale(s, f->data, f->linesize, 0, f->height, planes, strides);
    sws_freeContext(s);
    video.frames.push_back(std::move(out));
}

inline void drain(AVCodecContext* codec, AVFrame* frame, Video& video)
{
    while (avcodec_receive_frame(codec, frame) == 0) convertFrame(frame, video);
}

// False when the file does not open as a video with a decodable stream.
inline bool readVideo(const std::string& path, Video& video)
{
    video = Video{};
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
    const int index = avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    const AVCodec* decoder = index >= 0 ? avcodec_find_decoder(format->streams[index]->codecpar->codec_id) : nullptr;
    AVCodecContext* codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    bool ok = codec && avcodec_parameters_to_context(codec, format->streams[index]->codecpar) >= 0 &&
              avcodec_open2(codec, decoder, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (ok && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) drain(codec, frame, video);
        av_packet_unref(packet);
    }
    if (ok) {
        avcodec_send_packet(codec, nullptr), drain(codec, frame, video);
        video.codec = decoder->name;
        const char* name = av_get_pix_fmt_name(codec->pix_fmt);
        video.pixelFormat = name ? name : "?";
        video.fps = av_q2d(format->streams[index]->avg_frame_rate);
    }
    av_frame_free(&frame), av_packet_free(&packet), avcodec_free_context(&codec), avformat_close_input(&format);
    return ok;
}

// A PNG as RGB; empty when it does not read as 8-bit RGB.
inline Rgb readPngRgb(const std::string& path)
{
    Rgb image;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        const bool rgb = png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8;
        image.width = rgb ? int(png_get_image_width(png, info)) : 0;
        image.height = rgb ? int(png_get_image_height(png, info)) : 0;
        image.rgb.resize(size_t(image.width) * image.height * 3);
        for (int y = 0; y < image.height; ++y) png_read_row(png, &image.rgb[size_t(y) * image.width * 3], nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return image;
}

// Grey levels (Rec. 601 luma) of two pictures of one size: the mean
// difference and the share of pixels within `within` levels; a mean of -1
// when the sizes differ.
struct GreyDifference {
    double mean = -1, shareWithin = 0;
};

inline GreyDifference greyDifference(const Rgb& a, const Rgb& b, double within = 24)
{
    GreyDifference d;
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty()) return d;
    double sum = 0;
    size_t close = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        const double ga = 0.299 * a.rgb[i] + 0.587 * a.rgb[i + 1] + 0.114 * a.rgb[i + 2];
        const double gb = 0.299 * b.rgb[i] + 0.587 * b.rgb[i + 1] + 0.114 * b.rgb[i + 2];
        sum += std::fabs(ga - gb);
        close += std::fabs(ga - gb) <= within;
    }
    const double pixels = double(a.rgb.size() / 3);
    d.mean = sum / pixels;
    d.shareWithin = double(close) / pixels;
    return d;
}

}  // namespace fx
