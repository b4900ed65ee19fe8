#include "deep/scene_job.h"

#include <thread>

std::shared_ptr<SceneJob> startSceneJob(const DeepRequest& request, SceneFinish finish)
{
    auto job = std::make_shared<SceneJob>();
    job->request = request;
    // Detached: nobody waits for a cancelled job, and the job lives as long
    // as either side still holds it.
    std::thread([job, finish = std::move(finish)] {
        job->ok = prepareScene(job->request, &job->cancel, job->scene, &job->progress);
        if (job->ok && finish && !job->cancel.load()) finish(job->scene);
        job->done.store(true, std::memory_order_release);
    }).detach();
    return job;
}
