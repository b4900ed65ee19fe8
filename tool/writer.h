// A writer thread: encoding and writing files while the drawing thread
// goes on with the next part, since GL stays on the thread whose context is
// current and the encoders need no GL. Jobs run one at a time in the order
// they were handed over; the queue holds at most `capacity` bytes of their
// data, so a writer slower than the drawing holds the drawing back instead
// of filling memory. After a job fails the rest are dropped and every later
// hand-over says so: the drawing stops at its next one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Does its work; false with `error` (one German line) when it failed.
using WriterJob = std::function<bool(std::string& error)>;

struct Writer {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<WriterJob, size_t>> jobs;  // with their bytes
    size_t queued = 0, capacity = 0;
    bool closing = false, failed = false;
    std::string error;  // of the first job that failed
    std::thread thread;
};

void startWriter(Writer& writer, size_t capacity);
// Hands a job over that holds `bytes` of data, waiting while the queue is
// full (a job larger than the whole capacity waits for an empty queue).
// False, and the job dropped, once some job has failed.
bool handOver(Writer& writer, WriterJob job, size_t bytes);
// Waits until every job has run and ends the thread; false with the first
// failure's line in `error`. Needed before the Writer goes away.
bool finishWriter(Writer& writer, std::string& error);
