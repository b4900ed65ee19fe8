#include "render/deep_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void addDouble(double value, std::vector<uint32_t>& words)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    words.push_back(static_cast<uint32_t>(bits));
    words.push_back(static_cast<uint32_t>(bits >> 32));
}

void addOrbit(const ReferenceOrbit& orbit, const BlaTable& table, double pixelsPerUnit, std::vector<uint32_t>& words)
{
    for (int m = 0; m <= orbit.end; ++m) {
        addDouble(orbit.re[size_t(m)], words);
        addDouble(orbit.im[size_t(m)], words);
        addDouble(table.topRadius[size_t(m)] * pixelsPerUnit, words);
        words.insert(words.end(), {uint32_t(table.topLevel[size_t(m)]), 0u});
    }
}

// Pads to whole rows; at least one, so that an empty table is a texture too.
int padRows(std::vector<uint32_t>& words)
{
    const size_t row = size_t(deepTextureWidth) * 4;
    const size_t rows = std::max<size_t>(1, (words.size() + row - 1) / row);
    words.resize(rows * row, 0u);
    return static_cast<int>(rows);
}

}  // namespace

DeepLayout layoutScene(const DeepScene& scene)
{
    DeepLayout layout;
    const double pixel = std::min(scene.pixelWidth, scene.pixelHeight);
    layout.pixelsPerUnit = std::ldexp(1.0, -std::ilogb(pixel));
    int nodes = 0;
    for (int r = 0; r < scene.references; ++r) {
        layout.refStart[r] = static_cast<int>(layout.orbit.size() / 8);
        layout.refEnd[r] = scene.orbits[r].end;
        addOrbit(scene.orbits[r], scene.tables[r], layout.pixelsPerUnit, layout.orbit);
        for (double radius : scene.tables[r].topRadius)
            layout.widestJump = std::max(layout.widestJump, radius * layout.pixelsPerUnit);
        const std::vector<std::vector<BlaNode>>& levels = scene.tables[r].levels;
        for (size_t l = 1; l < levels.size(); ++l) {
            layout.levelStart[blaLevels * r + int(l)] = nodes;
            for (const BlaNode& node : levels[l])
                for (double v : {node.ar, node.ai, node.br, node.bi}) addDouble(v, layout.jumps);
            nodes += static_cast<int>(levels[l].size());
        }
    }
    layout.orbitRows = padRows(layout.orbit);
    layout.jumpRows = padRows(layout.jumps);
    return layout;
}
