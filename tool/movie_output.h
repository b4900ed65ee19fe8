// A zoom movie's frames on their way out, on the writer thread: N x N
// samples averaged into pixels, then the frame encoded into the MP4 or
// written as the next numbered PNG file (each through a temporary file).
#pragma once

#include "tool/options.h"
#include "tool/video_file.h"

#include <string>
#include <vector>

struct MovieOutput {
    const RenderOptions* options = nullptr;
    VideoFile* video = nullptr;  // an MP4's encoder, else null
    int framesWritten = 0;
};

// Opens the MP4, or checks that the PNG files' folder takes files; false
// with `error` (one German line), nothing left behind.
bool openMovieOutput(MovieOutput& out, const RenderOptions& options, std::string& error);
// The next frame: options.width N x options.height N samples, RGB, top row first.
bool writeMovieFrame(MovieOutput& out, const std::vector<unsigned char>& samples, std::string& error);
// Puts the MP4 in place (PNG files are in place as they come).
bool finishMovieOutput(MovieOutput& out, std::string& error);
void abandonMovieOutput(MovieOutput& out);
