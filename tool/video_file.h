// An H.264 movie in an MP4 file, encoded through FFmpeg's libraries frame
// by frame as the frames come: 8-bit RGB frames in, yuv420p (the 4:2:0
// colours every player takes) out, written into a temporary file beside the
// target that replaces it only once the last frame and the index are in
// (platform/safe_write; guarded, so SIGINT, SIGTERM and SIGHUP remove it).
//
// Encoder settings: libx264 at CRF 18 (fractal detail survives), preset
// "fast" (a 480 x 270 frame costs a few milliseconds, next to the frames'
// drawing), the index at the front ("faststart") so that playback can start
// while a file still downloads. Width and height must be even.
#pragma once

#include <string>

struct VideoFile;  // FFmpeg's state (video_file.cpp)

// Null with `error` (one German line) when the file cannot be made or the
// encoder cannot start; nothing is left behind then.
VideoFile* openVideo(const std::string& path, int width, int height, double fps, std::string& error);
// Encodes the next frame, width x height x 3 bytes, top row first.
bool addVideoFrame(VideoFile* video, const unsigned char* rgb, std::string& error);
// Flushes the encoder, writes the index and puts the file in place; frees
// the state either way. False with `error` when anything failed (the target
// untouched then).
bool finishVideo(VideoFile* video, std::string& error);
// Removes whatever was written and frees the state; harmless on null.
void abandonVideo(VideoFile* video);
