// The reference's side of the viewer's colour mapping: where a count lands
// on the table, worked out from the rule as stated, not from the viewer's
// code.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace fx {

// The viewer's colour mapping from a picture's smallest border count m, its
// limit and a sample of its escaping counts: s = log((mu - mu0) / k + 1) /
// log((mu1 - mu0) / k + 1), clamped. Up to m = 3: mu0 = m - 3 (at least 0),
// mu1 the limit, k = 1. From there t = (m - 3) / 8 (at most 1) of the way:
// the margin m - mu0 (3 down to 1 as m goes from 3 to 11) towards an
// eighth of the band from m to the sample's 99th percentile p where that is
// less; mu1 in log(mu - mu0 + 1) from the limit to p; log k from 0 to the
// log of the k that puts the sample's median a (from mu0) in the middle,
// a^2 / (b - 2a) with b = mu1 - mu0, kept within 1 .. 16 b.
struct Mapping {
    double mu0 = 0, mu1 = 0, k = 1;
    double at(double mu) const
    {
        return mu < 0 ? 1.0 : std::clamp(std::log(std::max(mu - mu0, 0.0) / k + 1) / std::log((mu1 - mu0) / k + 1), 0.0, 1.0);
    }
};
inline Mapping mappingFor(double m, double limit, std::vector<float> sample)
{
    const double margin = 3 - 2 * std::clamp((m - 3) / 8, 0.0, 1.0);
    Mapping map{std::max(0.0, m - margin), limit, 1};
    const double t = std::clamp((m - 3) / 8, 0.0, 1.0);
    sample.erase(std::remove_if(sample.begin(), sample.end(), [](float c) { return c < 0; }), sample.end());
    if (t <= 0 || sample.empty()) return map;
    std::sort(sample.begin(), sample.end());
    const double p = std::min<double>(sample[size_t(0.99 * double(sample.size() - 1) + 0.5)], limit);
    const double median = sample[size_t(0.5 * double(sample.size() - 1) + 0.5)];
    const double own = m - map.mu0;
    map.mu0 = std::max(0.0, m - (1 - t) * own - t * std::min(own, std::max(p - m, 0.0) / 8));
    if (p <= map.mu0) return map;
    map.mu1 = std::min(limit, map.mu0 - 1 + std::exp((1 - t) * std::log(limit - map.mu0 + 1) + t * std::log(p - map.mu0 + 1)));
    const double a = std::min(median, map.mu1) - map.mu0, b = map.mu1 - map.mu0, straight = std::max(1.0, 16 * b);
    map.k = std::exp(t * std::log(a > 0 && b > 2 * a ? std::clamp(a * a / (b - 2 * a), 1.0, straight) : straight));
    return map;
}

}  // namespace fx
