#include "render/deep_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int rowsFor(size_t texels)
{
    return static_cast<int>((texels + deepTextureWidth - 1) / deepTextureWidth);
}

void addOrbit(const ReferenceOrbit& orbit, const BlaTable& table, double pixelsPerUnit, std::vector<float>& texels)
{
    for (int m = 0; m <= orbit.end; ++m) {
        const double radius = std::min(table.topRadius[size_t(m)] * pixelsPerUnit, deepRadiusCap);
        texels.insert(texels.end(), {float(orbit.re[size_t(m)]), float(orbit.im[size_t(m)]), float(radius),
                                     float(table.topLevel[size_t(m)])});
    }
}

void addWords(double value, std::vector<uint32_t>& words)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    words.push_back(static_cast<uint32_t>(bits));
    words.push_back(static_cast<uint32_t>(bits >> 32));
}

void addNode(const BlaNode& node, bool doubles, DeepLayout& layout)
{
    if (!doubles) {
        layout.jumps.insert(layout.jumps.end(), {float(node.ar), float(node.ai), float(node.br), float(node.bi)});
        return;
    }
    for (double v : {node.ar, node.ai, node.br, node.bi}) addWords(v, layout.jumpWords);
}

}  // namespace

DeepLayout layoutScene(const DeepScene& scene)
{
    DeepLayout layout;
    const double pixel = std::min(scene.pixelWidth, scene.pixelHeight);
    layout.pixelsPerUnit = std::ldexp(1.0, -std::ilogb(pixel));
    int nodes = 0;
    for (int r = 0; r < scene.references; ++r) {
        layout.refStart[r] = static_cast<int>(layout.orbit.size() / 4);
        layout.refEnd[r] = scene.orbits[r].end;
        addOrbit(scene.orbits[r], scene.tables[r], layout.pixelsPerUnit, layout.orbit);
        const std::vector<std::vector<BlaNode>>& levels = scene.tables[r].levels;
        for (size_t l = 1; l < levels.size(); ++l) {
            layout.levelStart[blaLevels * r + int(l)] = nodes;
            for (const BlaNode& node : levels[l]) addNode(node, scene.doubles, layout);
            nodes += static_cast<int>(levels[l].size());
        }
    }
    layout.orbit.resize(size_t(rowsFor(layout.orbit.size() / 4)) * deepTextureWidth * 4, 0.0f);
    layout.orbitRows = rowsFor(layout.orbit.size() / 4);
    const size_t jumpTexels = scene.doubles ? size_t(2 * nodes) : size_t(nodes);
    layout.jumpRows = std::max(1, rowsFor(jumpTexels));
    if (scene.doubles) layout.jumpWords.resize(size_t(layout.jumpRows) * deepTextureWidth * 4, 0);
    else layout.jumps.resize(size_t(layout.jumpRows) * deepTextureWidth * 4, 0.0f);
    return layout;
}
