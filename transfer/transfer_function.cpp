// The transfer function's model: life cycle, default points, picking and the
// stable sort. Everything here is plain arithmetic on the point list except
// initialise, which also creates the menus and the texture.
#include "transfer/transfer_function.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <algorithm>

namespace {

const ControlPoint mandelbrotDefaults[] = {
    {0.0f, 0.5f, 0, 0, 0},
    {1.0f, 0.5f, 1, 1, 1},
};

const ControlPoint juliaDefaults[] = {
    {0.0f, 0.5f, 0, 0, 0},
    {0.05f, 0.5f, 1, 1, 0},
    {1.0f, 0.5f, 0, 0, 0},
};

}  // namespace

void TransferFunction::initialise(int number, void (*menuCallback)(int))
{
    windowNumber = number;
    windowId = glutGetWindow();
    createMenus(menuCallback);
    texture = 0;
    glGenTextures(1, &texture);
    initialiseModel(number);
}

void TransferFunction::initialiseModel(int number)
{
    windowNumber = number;
    colourDialogPending = false;
    pickRadius = 5;
    sampledRed.assign(tableSize, 0.0f);
    sampledGreen.assign(tableSize, 0.0f);
    sampledBlue.assign(tableSize, 0.0f);
    colourTable.assign(tableSize * 4, 0.0f);
    points.clear();
    // Each default point is added with a full rebuild, as any edit is.
    if (number == 1) {
        for (const ControlPoint& p : mandelbrotDefaults) addPoint(p.x, p.red, p.green, p.blue);
    } else {
        for (const ControlPoint& p : juliaDefaults) addPoint(p.x, p.red, p.green, p.blue);
    }
    hoverIndex = -1;
    dragIndex = -1;
}

void TransferFunction::destroy()
{
    points.clear();
    points.shrink_to_fit();
    sampledRed = {};
    sampledGreen = {};
    sampledBlue = {};
    colourTable = {};
}

void TransferFunction::addPoint(float x, float red, float green, float blue)
{
    points.push_back(ControlPoint{x, 0.5f, red, green, blue});
    rebuild();
}

void TransferFunction::removePoint(int index)
{
    if (index < 0 || index >= static_cast<int>(points.size())) return;
    points.erase(points.begin() + index);
}

bool TransferFunction::isInnerPoint(int index) const
{
    return index > 0 && index < static_cast<int>(points.size()) - 1;
}

int TransferFunction::hoverPick(float x) const
{
    const float h = pickRadius / 512.0f;
    const float lo = x - h;
    const float hi = x + h;
    for (size_t i = 0; i < points.size(); ++i) {
        if (lo < points[i].x && points[i].x < hi) return static_cast<int>(i);
    }
    return -1;
}

int TransferFunction::pressPick(float x, float y)
{
    const float h = pickRadius / 512.0f;
    const float v = static_cast<float>(pickRadius * 0.05);
    const float xLo = x - h, xHi = x + h;
    const float yLo = y - v, yHi = y + v;
    int found = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const ControlPoint& p = points[i];
        if (xLo < p.x && p.x < xHi && yLo < p.y && p.y < yHi) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) return -1;
    if (isInnerPoint(found)) {
        dragMin = points[found - 1].x + 1.0f / 256.0f;
        dragMax = points[found + 1].x - 1.0f / 256.0f;
    } else {
        dragMin = dragMax = points[found].x;
    }
    return found;
}

// Stable: points of equal x keep their list order, which decides the colour
// at a hard edge. (A loaded file may hold many points, so no quadratic sort.)
void TransferFunction::sortPoints()
{
    std::stable_sort(points.begin(), points.end(),
                     [](const ControlPoint& a, const ControlPoint& b) { return a.x < b.x; });
}

void TransferFunction::rebuild()
{
    sortPoints();
    sampleChannels();
    uploadTable();
}
