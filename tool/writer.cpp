// The writer thread's loop. A job runs outside the lock, so the drawing
// thread can hand the next one over meanwhile; its bytes leave the count
// only once it has run, which bounds what is held, not just what waits.
#include "tool/writer.h"

namespace {

void serve(Writer& w)
{
    std::unique_lock<std::mutex> lock(w.mutex);
    for (;;) {
        w.changed.wait(lock, [&] { return w.closing || !w.jobs.empty(); });
        if (w.jobs.empty()) return;
        auto [job, bytes] = std::move(w.jobs.front());
        w.jobs.pop_front();
        std::string error;
        bool ok = true;
        if (!w.failed) {
            lock.unlock();
            ok = job(error);
            job = nullptr;  // its data freed before the bytes are given back
            lock.lock();
        }
        if (!ok && !w.failed) w.failed = true, w.error = error;
        w.queued -= bytes;
        w.changed.notify_all();
    }
}

}  // namespace

void startWriter(Writer& w, size_t capacity)
{
    w.capacity = capacity;
    w.thread = std::thread(serve, std::ref(w));
}

bool handOver(Writer& w, WriterJob job, size_t bytes)
{
    std::unique_lock<std::mutex> lock(w.mutex);
    w.changed.wait(lock, [&] { return w.failed || w.queued == 0 || w.queued + bytes <= w.capacity; });
    if (w.failed) return false;
    w.jobs.emplace_back(std::move(job), bytes);
    w.queued += bytes;
    w.changed.notify_all();
    return true;
}

bool finishWriter(Writer& w, std::string& error)
{
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        w.closing = true;
        w.changed.notify_all();
    }
    if (w.thread.joinable()) w.thread.join();
    if (w.failed) error = w.error;
    return !w.failed;
}
