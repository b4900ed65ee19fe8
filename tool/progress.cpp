// Progress and final lines. The line is padded to the length of the one
// it replaces, since a carriage return alone leaves the old line's tail.
#include "tool/progress.h"

#include <cmath>
#include <cstdio>

std::string formatDuration(double seconds)
{
    const long total = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    if (total < 3600) std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return text;
}

std::string progressLine(double done, double elapsed)
{
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d %%", static_cast<int>(std::floor(std::fmin(done, 1.0) * 100)));
    const std::string rest = done > 0 ? formatDuration(elapsed * (1 - done) / done) : "?";
    return std::string(percent) + "  vergangen " + formatDuration(elapsed) + "  noch etwa " + rest;
}

std::string finalLine(const std::string& path, int width, int height, int samples, double seconds)
{
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, " geschrieben, %dx%d Pixel, %dx%d Abtastungen je Pixel, %.1f s", width, height,
                  samples, samples, seconds);
    return "fraktale-render: " + path + numbers;
}

bool progressDue(const ProgressMeter& meter, double elapsed)
{
    return meter.terminal && elapsed >= 1.0 && (meter.lastShown < 0 || elapsed - meter.lastShown >= 0.25);
}

void showProgress(ProgressMeter& meter, double done, double elapsed)
{
    if (!progressDue(meter, elapsed)) return;
    std::string line = progressLine(done, elapsed);
    const size_t length = line.size();
    if (line.size() < meter.shownLength) line.append(meter.shownLength - line.size(), ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    meter.shownLength = length;
    meter.lastShown = elapsed;
}

void clearProgress(ProgressMeter& meter)
{
    if (meter.shownLength == 0) return;
    std::fprintf(stderr, "\r%s\r", std::string(meter.shownLength, ' ').c_str());
    meter.shownLength = 0;
}
