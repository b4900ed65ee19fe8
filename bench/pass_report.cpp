// The pass benchmark's figures, one per line, tagged with the view.
#include "bench/pass_report.h"

#include <cstdio>

namespace bench {
namespace {

enum { product, textbook, earlyExit, textbookAtLimit, earlyExitAtLimit, firstCandidate };

const Counts& countsOf(const ViewCounts& c, size_t program)
{
    const Counts* all[] = {&c.product, &c.textbook, &c.earlyExit, &c.textbookAtLimit, &c.earlyExitAtLimit};
    return *all[program];
}

void reportTimes(const char* tag, const char* who, const std::vector<double>& times)
{
    const auto [fast, slow] = std::minmax_element(times.begin(), times.end());
    std::printf("[%s] %s median ms per pass: %.2f\n", tag, who, median(times));
    std::printf("[%s] %s fastest, slowest ms per pass: %.2f %.2f\n", tag, who, *fast, *slow);
}

void reportCounts(const char* tag, const char* who, const Counts& c, double ms)
{
    std::printf("[%s] %s iterations per pass (CPU float reference): %lld\n", tag, who, c.iterations);
    std::printf("[%s] %s iterations per second: %.3g\n", tag, who, c.iterations / (ms / 1000.0));
    std::printf("[%s] %s iterations per pass on pixels that never escape: %lld\n", tag, who, c.atLimit);
    std::printf("[%s] %s iterations per pass with each 4x4 block at its slowest pixel: %lld\n", tag, who,
                c.blockIterations);
    std::printf("[%s] %s escaping pixels resolved: %ld\n", tag, who, c.resolved);
}

double missedPercent(const ViewCounts& c)
{
    return c.deepEscaped ? 100.0 * double(c.deepEscaped - c.product.resolved) / double(c.deepEscaped) : 0.0;
}

void reportDetail(const char* tag, const ViewResult& r)
{
    const ViewCounts& c = r.counts;
    std::printf("[%s] escaping pixels in a double reference at the product's limit: %ld\n", tag, c.deepEscaped);
    std::printf("[%s] product escaping pixels missed: %ld (%.3f%%)\n", tag, c.deepEscaped - c.product.resolved,
                missedPercent(c));
    std::printf("[%s] product escaping pixels stopped as interior before the limit: %ld\n", tag, c.stoppedEscaping);
    for (size_t k = textbook; k < firstCandidate; ++k) {
        std::printf("[%s] product speed-up over %s (median ms ratio): %.2f\n", tag, r.programs[k].name.c_str(),
                    r.ms(k) / r.ms(product));
    }
}

void reportCandidate(const char* tag, const ViewResult& r, size_t k)
{
    const char* who = r.programs[k].name.c_str();
    std::printf("[%s] %s speed-up over the product: %.2f\n", tag, who, r.ms(product) / r.ms(k));
    std::printf("[%s] %s speed-up over the early-exit loop at limit: %.2f\n", tag, who,
                r.ms(earlyExitAtLimit) / r.ms(k));
    std::printf("[%s] %s pixels off the product's picture by more than 2/255: %ld\n", tag, who, r.differing[k]);
}

// Ratios are of medians, and once of the fastest passes, which a shared
// machine's load disturbs least; "resolved" and "missed" against the double
// reference at the product's limit.
void tableRow(const ViewResult& r)
{
    const ViewCounts& c = r.counts;
    std::printf("| %s | %d | %.1f | %.1f / %.1f | %.1f / %.1f | %.2f (%.2f) | %.2f | %.2f | %ld / %ld / %ld | %.3f%% |\n",
                r.view.name.c_str(), r.steps, r.ms(product), r.ms(earlyExit), r.ms(earlyExitAtLimit), r.ms(textbook),
                r.ms(textbookAtLimit), r.ms(earlyExitAtLimit) / r.ms(product),
                r.fastest(earlyExitAtLimit) / r.fastest(product), r.ms(textbookAtLimit) / r.ms(product),
                r.ms(earlyExit) / r.ms(product), c.product.resolved, c.earlyExitAtLimit.resolved, c.deepEscaped,
                missedPercent(c));
}

bool named(const ViewResult& r, const char* part) { return r.view.name.find(part) != std::string::npos; }

void targetLine(const ViewResult& r, const char* what, bool met)
{
    std::printf("target [%s] %s: %s\n", r.view.name.c_str(), what, met ? "met" : "NOT met");
}

void reportTargets(const ViewResult& r)
{
    const ViewCounts& c = r.counts;
    const double overEarlyExit = r.ms(earlyExitAtLimit) / r.ms(product);
    targetLine(r, "at least as fast as the early-exit loop at limit", overEarlyExit >= 1.0);
    targetLine(r, "resolves at least as many escaping pixels", c.product.resolved >= c.earlyExitAtLimit.resolved);
    targetLine(r, "misses at most 0.1% of the double reference's escaping pixels", missedPercent(c) <= 0.1);
    targetLine(r, "stops no escaping pixel as interior", c.stoppedEscaping == 0);
    if (named(r, "c=-0.8+0.156i")) targetLine(r, "beats the early-exit loop of 256 steps", r.ms(earlyExit) > r.ms(product));
    if (named(r, "minibrot") || named(r, "rabbit")) {
        targetLine(r, "at least 3x the early-exit loop at limit", overEarlyExit >= 3.0);
        targetLine(r, "at least 5x the textbook loop at limit", r.ms(textbookAtLimit) / r.ms(product) >= 5.0);
    }
}

}  // namespace

void reportView(const View& v, const std::vector<float>& limits, float nominal, int steps)
{
    const char* tag = v.name.c_str();
    const auto [lo, hi] = std::minmax_element(limits.begin(), limits.end());
    std::printf("[%s] view real: %.9g .. %.9g\n", tag, v.left, v.right);
    std::printf("[%s] view imaginary: %.9g .. %.9g\n", tag, v.bottom, v.top);
    if (v.julia) std::printf("[%s] julia constant: %g %+gi\n", tag, v.cr, v.ci);
    std::printf("[%s] product iteration limit (median over pixels): %d\n", tag, steps);
    std::printf("[%s] product iteration limit min, max over pixels: %.0f %.0f\n", tag, *lo, *hi);
    std::printf("[%s] product iteration limit by the formula at the exact footprint: %.0f\n", tag, nominal);
}

void reportResult(const ViewResult& r, bool withCounts)
{
    const char* tag = r.view.name.c_str();
    for (size_t k = 0; k < r.programs.size(); ++k) {
        const char* who = r.programs[k].name.c_str();
        reportTimes(tag, who, r.times[k]);
        if (withCounts && k < firstCandidate) reportCounts(tag, who, countsOf(r.counts, k), r.ms(k));
        if (withCounts && k >= firstCandidate) reportCandidate(tag, r, k);
    }
    if (withCounts) reportDetail(tag, r);
}

void reportSummary(const std::vector<ViewResult>& results)
{
    std::printf("\n| view | limit | product ms | early-exit ms (256 / at limit) | textbook ms (256 / at limit) "
                "| x early-exit at limit (fastest passes) | x textbook at limit | x early-exit 256 "
                "| escaping resolved (product / early-exit at limit / double) | missed |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const ViewResult& r : results) tableRow(r);
    std::printf("\n");
    for (const ViewResult& r : results) reportTargets(r);
}

}  // namespace bench
