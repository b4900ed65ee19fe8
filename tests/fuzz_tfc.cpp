// libFuzzer target: any bytes are rejected, the points left alone, or give
// finite points on the middle line that encode and decode to themselves.
#include "transfer/transfer_function.h"

#include <cmath>
#include <cstdint>

static void check(bool condition) { if (!condition) __builtin_trap(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check(fromStoredForm(toStoredForm(bytes)) == bytes);
    const std::vector<ControlPoint> sentinel = {ControlPoint{0.25f, 0.5f, 1, 0, 1}};
    std::vector<ControlPoint> points = sentinel, again;
    // The stored form holds every float bit for bit.
    if (!decodeTfc(bytes, points)) return check(encodeTfc(points) == encodeTfc(sentinel)), 0;
    // Every point takes 20 bytes of the content after the 4-byte count.
    check(points.size() <= (size >= 4 ? (size - 4) / 20 : 0));
    for (const ControlPoint& p : points)
        check(std::isfinite(p.x) && std::isfinite(p.red) && std::isfinite(p.green) && std::isfinite(p.blue) && p.y == 0.5f);
    const std::string encoded = encodeTfc(points);
    check(fromStoredForm(encoded).size() == 4 + 20 * points.size());
    check(decodeTfc(encoded, again) && encodeTfc(again) == encoded);
    return 0;
}
