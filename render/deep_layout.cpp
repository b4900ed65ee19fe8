#include "render/deep_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void addDouble(double value, std::vector<uint32_t>& words)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    words.push_back(static_cast<uint32_t>(bits));
    words.push_back(static_cast<uint32_t>(bits >> 32));
}

constexpr int noTinyAhead = 1 << 24;
constexpr int zeroExponent = -(1 << 24);  // the program's zeroStep

long long tinyBits(bool wide)
{
    return wide ? -960 : -100;
}

// Z_m as the mantissas a program reads, with an exponent where |Z| is
// below 2^tinyBits (floats flush what is smaller, and the program's
// floatexp step takes over there); elsewhere the steps to the next such Z
// (`ahead`), so that the program's plain steps stop before it.
void addStep(const ReferenceOrbit& orbit, const BlaTable& table, int m, int ahead, bool wide, std::vector<uint32_t>& words)
{
    const ComplexExp z = referenceAt(orbit, m);
    const bool zero = z.re == 0 && z.im == 0;
    const bool tiny = zero || z.e < tinyBits(wide);
    const long long e = zero ? zeroExponent : tiny ? z.e : ahead;
    const double re = reAt(z, tiny ? z.e : 0), im = imAt(z, tiny ? z.e : 0);
    const float log2r = m < orbit.end ? table.log2Radius[size_t(m)] : -INFINITY;
    if (wide) {
        addDouble(re, words);
        addDouble(im, words);
        words.insert(words.end(), {uint32_t(int32_t(e)), bitsOf(log2r), 0u, 0u});
        return;
    }
    words.insert(words.end(), {bitsOf(float(re)), bitsOf(float(im)), uint32_t(int32_t(e)), bitsOf(log2r)});
}

// Per step, how many steps on the next tiny Z lies (noTinyAhead: none).
std::vector<int> stepsToTiny(const ReferenceOrbit& orbit, bool wide)
{
    std::vector<int> ahead(size_t(orbit.end) + 1, noTinyAhead);
    int next = -1;
    for (int m = orbit.end; m >= 0; --m) {
        if (next >= 0) ahead[size_t(m)] = std::min(noTinyAhead, next - m);
        const double larger = std::max(std::fabs(orbit.re[size_t(m)]), std::fabs(orbit.im[size_t(m)]));
        const bool tiny = larger < std::ldexp(1.0, int(tinyBits(wide))) || referenceAt(orbit, m).e < tinyBits(wide);
        if (tiny) next = m;
    }
    return ahead;
}

// Pads to whole rows; at least one, so that an empty table is a texture too.
int padRows(std::vector<uint32_t>& words)
{
    const int rows = textureRows(words.size() / 4);
    words.resize(size_t(rows) * deepTextureWidth * 4, 0u);
    return rows;
}

template <typename T>
void drop(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

}  // namespace

DeepPixel deepPixel(const DeepScene& scene, TargetPlace place)
{
    DeepPixel p;
    p.stride = std::max(1, place.stride);
    p.offset[0] = place.originX + 0.5 - 0.5 * scene.width;
    p.offset[1] = place.originY + 0.5 - 0.5 * scene.height;
    const FloatExp w = scene.pixelWidth, h = scene.pixelHeight;
    p.exponent = int(std::max<long long>(w.e, h.e));
    p.size[0] = std::ldexp(w.m, int(std::max<long long>(w.e - p.exponent, -2000)));
    p.size[1] = std::ldexp(h.m, int(std::max<long long>(h.e - p.exponent, -2000)));
    return p;
}

int layoutBytesPerStep(bool wide)
{
    return (wide ? 32 : 16) + int(sizeof(JumpNode)) / 2;
}

int textureRows(size_t texels)
{
    return static_cast<int>(std::max<size_t>(1, (texels + deepTextureWidth - 1) / deepTextureWidth));
}

DeepLayout layoutScene(DeepScene& scene, bool release)
{
    DeepLayout layout;
    layout.wide = scene.format.wide;
    size_t steps = 0, nodes = 0;
    for (int r = 0; r < scene.references; ++r) steps += size_t(scene.orbits[r].end) + 1, nodes += scene.tables[r].nodes.size();
    layout.orbit.reserve(size_t(textureRows(steps * (layout.wide ? 2 : 1))) * deepTextureWidth * 4);
    layout.jumps.reserve(size_t(textureRows(2 * nodes)) * deepTextureWidth * 4);
    for (int r = 0; r < scene.references; ++r) {
        ReferenceOrbit& orbit = scene.orbits[r];
        BlaTable& table = scene.tables[r];
        layout.refStart[r] = static_cast<int>(layout.orbit.size() / (layout.wide ? 8 : 4));
        layout.refEnd[r] = orbit.end;
        layout.jumpStart[r] = static_cast<int>(layout.jumps.size() / 8);
        layout.jumpOrigin[r] = table.origin;
        const std::vector<int> ahead = stepsToTiny(orbit, layout.wide);
        for (int m = 0; m <= orbit.end; ++m) addStep(orbit, table, m, ahead[size_t(m)], layout.wide, layout.orbit);
        const size_t at = layout.jumps.size();
        layout.jumps.resize(at + table.nodes.size() * 8);
        if (!table.nodes.empty()) std::memcpy(&layout.jumps[at], table.nodes.data(), table.nodes.size() * sizeof(JumpNode));
        layout.widest = std::max(layout.widest, table.widest);
        if (release) drop(orbit.re), drop(orbit.im), drop(table.log2Radius), drop(table.nodes);
    }
    layout.orbitRows = padRows(layout.orbit);
    layout.jumpRows = padRows(layout.jumps);
    return layout;
}
