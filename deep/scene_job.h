// A deep picture's scene computed on a worker thread, so that the viewer's
// main loop never waits for a reference orbit. The main thread owns the
// request it started and looks at `done` between passes; starting another
// picture cancels this one, whose thread then stops within a few hundred
// orbit steps and drops its share of the job.
#pragma once

#include "deep/deep_picture.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

struct SceneJob {
    DeepRequest request;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::atomic<double> progress{0};  // of the reference orbits, 0 .. 1
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool ok = false;  // read only once done
    DeepScene scene;
};

// Work on the scene that belongs on the worker too, handed down by the
// layer that draws it (laying out a million-step orbit for the GPU takes
// hundreds of milliseconds); run only for a scene that was made.
using SceneFinish = std::function<void(DeepScene&)>;

// Starts computing the scene of `request` on a thread of its own.
std::shared_ptr<SceneJob> startSceneJob(const DeepRequest& request, SceneFinish finish = {});
