// Turns the sorted control points into the 512-texel colour table: each
// segment between two neighbouring points is blended on its own with a
// cubic smoothstep, so every point's colour is reached with zero slope.
#include "transfer/transfer_function.h"

void sampleAt(const std::vector<ControlPoint>& points, float x, float rgb[3])
{
    if (points.empty()) {
        // Only a loaded file can leave no points; the table is then black.
        rgb[0] = rgb[1] = rgb[2] = 0.0f;
        return;
    }
    const ControlPoint* p = &points.front();
    const ControlPoint* q = p;
    float t = 0.0f;
    if (x > points.front().x) {
        p = q = &points.back();
        for (size_t k = 1; k < points.size(); ++k) {
            if (points[k - 1].x < x && x <= points[k].x) {
                p = &points[k - 1];
                q = &points[k];
                t = static_cast<float>((double(x) - p->x) / (double(q->x) - p->x));
                break;
            }
        }
    }
    const float t2 = t * t;
    const float t3 = t * t2;
    const double wq = 3.0 * t2 - 2.0 * t3;
    const double wp = 2.0 * t3 - 3.0 * t2 + 1.0;
    rgb[0] = static_cast<float>(wq * q->red + wp * p->red);
    rgb[1] = static_cast<float>(wq * q->green + wp * p->green);
    rgb[2] = static_cast<float>(wq * q->blue + wp * p->blue);
}

void TransferFunction::sampleChannels()
{
    sampledRed.resize(tableSize);
    sampledGreen.resize(tableSize);
    sampledBlue.resize(tableSize);
    for (int i = 0; i < tableSize; ++i) {
        float rgb[3];
        sampleAt(points, i * (1.0f / tableSize), rgb);
        sampledRed[i] = rgb[0];
        sampledGreen[i] = rgb[1];
        sampledBlue[i] = rgb[2];
    }
}

void TransferFunction::fillColourTable()
{
    colourTable.resize(tableSize * 4);
    for (int i = 0; i < tableSize; ++i) {
        colourTable[4 * i + 0] = sampledRed[i];
        colourTable[4 * i + 1] = sampledGreen[i];
        colourTable[4 * i + 2] = sampledBlue[i];
        colourTable[4 * i + 3] = 1.0f;
    }
}
