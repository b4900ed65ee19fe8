// The picture from the renderer's sample rows to the finished file: rows
// averaged N x N as they come, each output row streamed into the image
// file, progress on the terminal, the final line at the end. The drawing is
// handed in (renderPicture in the program), so the path from rows to file
// is tested with rows made up for the purpose.
#pragma once

#include "render/picture.h"
#include "tool/options.h"

#include <functional>
#include <string>

// Draws width x N by height x N samples into `sink`, telling `progress`.
using DrawRows = std::function<bool(const RowSink& sink, const Progress& progress, std::string& error)>;

// Writes options.output; prints the final line on stderr. False with
// `error` (one German line) when the file cannot be made or written or the
// drawing fails; the target is untouched then.
bool writePicture(const RenderOptions& options, const DrawRows& draw, std::string& error);
