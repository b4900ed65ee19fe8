// A whole picture of any size, drawn offscreen in tiles with the viewer's
// own programs and passes, handed out row by row. Used by fraktale-render;
// needs a current GL context whose entry points GLEW has loaded.
#pragma once

#include "deep/location.h"

#include <functional>
#include <string>
#include <vector>

struct PictureRequest {
    bool julia = false;
    Location location;            // centre and real-axis width; the height follows the shape
    Big constantRe, constantIm;   // the Julia constant at the precision it was given
    int width = 800, height = 800;  // in samples: the caller averages N x N of them into a pixel
    std::vector<float> table;     // 512 RGBA texels, the transfer function's colour table
    std::string glslFolder;       // where the .glsl files are
    int limit = 0;                // the iteration limit given; 0: it follows the view (and only
                                  // the perturbation path takes one, so it draws every view then)
    // The size of the context's own framebuffer: tiles of exactly that
    // size are drawn there (see useHeadlessSurface), others into a
    // framebuffer object.
    int surfaceWidth = 0, surfaceHeight = 0;
    // The largest tile side, 0 for the GL's largest up to 2048; tests make
    // it small to draw a picture in many tiles and strips.
    int tileSide = 0;
};

// The tiles a picture of width x height samples is cut into (the edge
// tiles smaller): from the width alone, the GL's limits and `side` (0 for
// the GL's largest up to 2048), so that the same samples are cut alike at
// any number of samples per pixel.
struct PictureTiles {
    int width = 0, height = 0;
};
PictureTiles pictureTiles(int width, int height, int side = 0);

// Receives sample row `row` (0 at the top) as width x 3 bytes of RGB;
// false stops the picture.
using RowSink = std::function<bool(int row, const unsigned char* rgb)>;
// Told the share of samples done so far, 0 to 1: after every tile, and
// within a deep tile after every band of rows (render/parts.h).
using Progress = std::function<void(double done)>;

// Draws the picture and hands every row to `sink`, top to bottom. The
// samples do not depend on the tiling: a picture equals the same view drawn
// at another size and cut to the same samples. False with `error` set (one
// German line) when GL lacks what the view needs, a program does not build
// or the sink refused a row.
bool renderPicture(const PictureRequest& request, const RowSink& sink, const Progress& progress, std::string& error);
