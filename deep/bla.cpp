#include "deep/bla.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

struct Map {
    ComplexExp a, b;
    FloatExp radius;
    bool valid = false;  // lies within the orbit (lands before its last step)
};

struct Builder {
    const ReferenceOrbit& orbit;
    bool withDc;
    FloatExp dcMax, epsilon;
    BlaTable& table;
    FloatExp least;  // a jump kept must reach at least this far

    Map single(int m) const
    {
        Map s;
        s.a = complexExp(2, 0) * referenceAt(orbit, m);
        s.b = withDc ? complexExp(1, 0) : ComplexExp{};
        const FloatExp size = magnitude(s.a);
        s.radius = isZero(size) ? FloatExp{} : maxOf(FloatExp{}, epsilon * size - magnitude(s.b) * dcMax / size);
        s.valid = true;
        return s;
    }

    // x, then y.
    Map merge(const Map& x, const Map& y) const
    {
        Map z;
        z.a = y.a * x.a;
        z.b = y.a * x.b + y.b;
        const FloatExp ax = magnitude(x.a);
        const FloatExp reach = isZero(ax) ? FloatExp{} : (y.radius - magnitude(x.b) * dcMax) / ax;
        z.radius = maxOf(FloatExp{}, minOf(x.radius, reach));
        z.valid = true;
        return z;
    }

    void keep(int m, int steps, const Map& map)
    {
        const double log2r = log2Of(map.radius);
        // Rounded down, so that the float never promises more than the map.
        const float r = std::nextafter(float(log2r), -INFINITY);
        table.log2Radius[size_t(m)] = r;
        table.widest = std::max(table.widest, r);
        JumpNode& node = table.nodes[size_t(m - table.origin) / 2];
        const auto exponent = [](long long e) { return int32_t(std::clamp<long long>(e, INT32_MIN / 2, INT32_MAX / 2)); };
        node = JumpNode{float(map.a.re), float(map.a.im), float(map.b.re), float(map.b.im), exponent(map.a.e),
                        exponent(map.b.e), steps, 0};
    }

    // Block j of level l: its map where it lands before the orbit's last
    // step, after its sub-blocks' maps are kept.
    Map visit(int l, long long j)
    {
        const long long first = table.origin + (j << l);
        if (first >= orbit.end) return Map{};
        if (l == 0) return single(int(first));
        const Map left = visit(l - 1, 2 * j), right = visit(l - 1, 2 * j + 1);
        if (!left.valid || !right.valid || first + (1LL << l) >= orbit.end) return Map{};
        const Map map = merge(left, right);
        if (least < map.radius) keep(int(first), 1 << l, map);
        return map;
    }

    // From the origin, the longest run of steps (landing before the last
    // step) that every pixel can take at its first step: radius at least
    // dcMax. It replaces the tree's jump there unless that one is longer
    // by more than the share of the picture it serves (its radius against
    // dcMax, squared: an area) makes up for.
    void firstRun()
    {
        const int origin = table.origin;
        Map run;
        int steps = 0;
        for (; origin + steps + 1 < orbit.end; ++steps) {
            const Map next = steps == 0 ? single(origin) : merge(run, single(origin + steps));
            if (next.radius < dcMax || isZero(next.radius)) break;
            run = next;
        }
        if (steps < 2) return;
        const JumpNode& tree = table.nodes[0];
        const double share = std::min(1.0, std::exp2(2 * (double(table.log2Radius[size_t(origin)]) - log2Of(dcMax))));
        if (tree.steps * share > steps) return;
        keep(origin, steps, run);
    }
};

}  // namespace

BlaTable buildBla(const ReferenceOrbit& orbit, bool withDc, FloatExp dcMax, double epsilon)
{
    BlaTable t;
    t.origin = orbit.end > 0 && orbit.re[0] == 0 && orbit.im[0] == 0 ? 1 : 0;
    t.log2Radius.assign(size_t(orbit.end), -INFINITY);
    t.nodes.assign(size_t(std::max(0, orbit.end - t.origin + 1)) / 2, JumpNode{});
    int top = 0;
    while ((1LL << top) < orbit.end) ++top;
    // A jump that only a pixel 1/256 of the picture's half-diagonal from
    // the reference could take (and only at its first steps) is of no use:
    // a shorter one with a wider radius serves more pixels.
    Builder builder{orbit, withDc, dcMax, floatExp(epsilon), t, dcMax * floatExp(1.0 / 256)};
    builder.visit(top, 0);
    builder.firstRun();
    return t;
}

int firstJumpSteps(const BlaTable& table, FloatExp delta0)
{
    // A Mandelbrot pixel's first step is exact: d1 = dc.
    const int m = table.origin;
    if (int(table.log2Radius.size()) <= m || !(table.log2Radius[size_t(m)] > log2Of(delta0))) return 0;
    return table.nodes[0].steps;
}
