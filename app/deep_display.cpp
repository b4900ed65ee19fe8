#include "app/deep_display.h"
#include "app/navigation.h"
#include "render/progressive.h"
#include "screenshot/screenshot.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr unsigned pollMs = 10;

bool polling = false;

// A reference orbit that takes longer than a second says how far it is,
// once a second, per window.
struct Report {
    const SceneJob* job = nullptr;
    double lastSecond = 0;
};
Report reports[2];

void reportProgress(Report& report, const SceneJob& job)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.started).count();
    if (report.job != &job) report = Report{&job, 0};
    if (seconds < report.lastSecond + 1) return;
    report.lastSecond = seconds;
    std::printf("\nReferenzbahn: %d %%", int(100 * job.progress.load(std::memory_order_relaxed)));
}

ShowState shown[2];

// Both windows at work share the main loop's round.
double budgetFor(const FractalWindow& w)
{
    const FractalWindow& other = &w == &mandelbrotWindow ? juliaWindow : mandelbrotWindow;
    const bool otherBusy = other.picture && !pictureFinished(*other.picture) &&
                           other.picture->stage != ProgressivePicture::Stage::none;
    return otherBusy ? passBudgetMs / 2 : passBudgetMs;
}

DeepRequest requestFor(const FractalWindow& w, bool isJulia)
{
    DeepRequest r;
    r.julia = isJulia;
    r.view = w.deep ? w.deepView : deepFromFloat(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height);
    if (isJulia) r.constantRe = juliaRe, r.constantIm = juliaIm;
    r.width = w.width;
    r.height = w.height;
    r.limit = givenIterations;
    return r;
}

ProgressivePicture& pictureOf(FractalWindow& w)
{
    if (!w.picture) w.picture = std::make_shared<ProgressivePicture>();
    return *w.picture;
}

void pollScenes(int)
{
    polling = false;
    for (FractalWindow* w : {&mandelbrotWindow, &juliaWindow}) {
        if (!w->picture || !waitingForScene(*w->picture)) continue;
        const bool ready = w->picture->job && w->picture->job->done.load();
        if (w->picture->job && !ready) reportProgress(reports[w == &juliaWindow], *w->picture->job);
        if (ready) requestWork(*w);
        else if (!polling) polling = true, glutTimerFunc(pollMs, pollScenes, 0);
    }
}

}  // namespace

bool drawsDeep(const FractalWindow& w, bool isJulia)
{
    if (!deepAvailable || w.width <= 0 || w.height <= 0) return false;
    return w.deep || givenIterations > 0 || !floatResolvesView(w.viewLeft, w.viewRight, w.viewBottom, w.viewTop, w.width, w.height, isJulia,
                                        juliaCr, juliaCi);
}

DeepPass deepFractal(FractalWindow& w, bool isJulia, bool asked)
{
    ProgressivePicture& p = pictureOf(w);
    const DeepRequest request = requestFor(w, isJulia);
    const bool starts = !drawsRequest(p, request);
    if (starts) {
        // Held, and zoomed back out of, at any depth; drawn down to double's range.
        if (!deepDrawable(request.view, request.width, request.height))
            std::printf("\nZu tief zum Zeichnen: Bildpunkte unter 2^-%d (die Ansicht bleibt, zur\xC3\xBC" "ck geht es mit dem Rad).",
                        deepDepthBits);
        startPicture(p, request);
    }
    DeepPass pass;
    pass.more = advancePicture(p, budgetFor(w));
    pass.show = showDue(p, shown[isJulia ? 1 : 0], asked || starts);
    if (!pass.show) return pass;
    showPicture(p, w.transferFunction.texture, w.width, w.height, asked);
    // A screenshot saves the finished picture; until then the request waits.
    if (w.screenshotRequested && pictureFinished(p)) {
        saveScreenshot(w.width, w.height);
        w.screenshotRequested = false;
    }
    return pass;
}

void continueDeep(FractalWindow& w)
{
    if (!w.picture || !waitingForScene(*w.picture)) {
        requestWork(w);
        return;
    }
    if (!polling) {
        polling = true;
        glutTimerFunc(pollMs, pollScenes, 0);
    }
}

void stopDeepWork()
{
    for (FractalWindow* w : {&mandelbrotWindow, &juliaWindow})
        if (w->picture && w->picture->job) w->picture->job->cancel = true;
}
