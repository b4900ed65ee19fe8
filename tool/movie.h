// fraktale-render's zoom movies: N frames centred on the location, their
// extents geometric from --zoom-from to the location's extent (see
// tool/movie_plan.h), made from keyframes one zoom step of 2 apart. One
// reference orbit, computed for the deepest keyframe at its precision,
// serves every keyframe. Each keyframe is drawn once by the deep programs
// as counts and kept in the folder beside the output (tool/keyframe_store.h)
// until the movie is complete, so an interrupted movie goes on from them;
// the frames between are made from two keyframes on the GPU and coloured
// as the tool colours a picture, with mu0 and the limit interpolated
// between the keyframes' so that colours change smoothly. Encoding and
// writing run on the writer thread while the next frames are drawn.
#pragma once

#include "render/picture.h"
#include "tool/options.h"

#include <string>

// Writes the movie `options` asks for, of the view, constant, colours and
// GL surface in `request` (width and height are the frame's samples). False
// with `error` (one German line); the output is untouched then, the
// keyframes drawn so far kept.
bool renderMovie(const RenderOptions& options, const PictureRequest& request, std::string& error);
