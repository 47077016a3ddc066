// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/decode_runner.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

// What a worker posts through: the runner while it lives, null after. Posting happens
// under the lock, so the runner cannot go away between the check and the post, and
// QObject drops events still queued for an object that is destroyed.
struct DecodeMailbox {
    std::mutex lock;
    DecodeRunner* runner;
};

struct DecodeJob {
    std::atomic<bool> cancel{false};
};

namespace {

// Every live worker's job, so that the end of the process can stop them all.
struct Workers {
    std::mutex lock;
    std::condition_variable ended;
    std::vector<std::shared_ptr<DecodeJob>> jobs;
};

Workers& AllWorkers()
{
    static Workers workers;
    return workers;
}

template <typename Delivery>
void Post(const std::shared_ptr<DecodeMailbox>& box, Delivery delivery)
{
    const std::lock_guard guard(box->lock);
    if (box->runner == nullptr) return;
    DecodeRunner* runner = box->runner;
    QMetaObject::invokeMethod(
        runner, [runner, delivery = std::move(delivery)]() mutable { delivery(*runner); },
        Qt::QueuedConnection);
}

} // namespace

// Every field is copied by name below; a field added to Capture changes its size and
// stops the build here until it is copied too (checked where the layout is known).
static_assert(sizeof(void*) != 8 || sizeof(Capture) == 312,
              "Capture changed: copy the new field in SnapshotCapture");

Capture SnapshotCapture(const Capture& capture)
{
    Capture copy{};
    copy.filePath = capture.filePath;
    copy.model = capture.model;
    copy.hDivisions = capture.hDivisions;
    copy.vDivisions = capture.vDivisions;
    copy.timePerDiv = capture.timePerDiv;
    copy.triggerMode = capture.triggerMode;
    copy.triggerSourceKind = capture.triggerSourceKind;
    copy.triggerSourceChannel = capture.triggerSourceChannel;
    copy.triggerCoupling = capture.triggerCoupling;
    copy.triggerLevel = capture.triggerLevel;
    copy.triggerOffset = capture.triggerOffset;
    copy.triggerType = capture.triggerType;
    copy.edgeSlope = capture.edgeSlope;
    copy.pulsePolarity = capture.pulsePolarity;
    copy.pulseCondition = capture.pulseCondition;
    copy.pulseWidth = capture.pulseWidth;
    copy.triggerIndex = capture.triggerIndex;
    copy.settingsRows = capture.settingsRows;
    copy.samplesPerChannel = capture.samplesPerChannel;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        copy.present[slot] = capture.present[slot];
        copy.voltsPerDiv[slot] = capture.voltsPerDiv[slot];
        copy.coupling[slot] = capture.coupling[slot];
        copy.probeFactor[slot] = capture.probeFactor[slot];
        copy.inverted[slot] = capture.inverted[slot];
        copy.bandwidthLimit[slot] = capture.bandwidthLimit[slot];
        copy.offsetDiv[slot] = capture.offsetDiv[slot];
        copy.channelRows[slot] = capture.channelRows[slot];
        copy.missing[slot] = capture.missing[slot];
    }
    if (capture.samplesPerChannel <= 0) return copy;
    if (!AllocateSamples(copy)) {
        copy.samplesPerChannel = 0;
        return copy;
    }
    const auto count = static_cast<size_t>(capture.samplesPerChannel);
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.samples[slot] != nullptr)
            std::memcpy(copy.samples[slot], capture.samples[slot], count * sizeof(double));
    }
    return copy;
}

DecodeRunner::DecodeRunner(QObject* parent)
    : QObject(parent), mailbox(std::make_shared<DecodeMailbox>())
{
    mailbox->runner = this;
}

DecodeRunner::~DecodeRunner()
{
    Cancel();
    const std::lock_guard guard(mailbox->lock);
    mailbox->runner = nullptr;
}

void DecodeRunner::Cancel()
{
    if (currentJob) currentJob->cancel = true;
    pending.reset();
    running = false;
    ++generation; // whatever is still queued for the old number is dropped on arrival
}

int32_t DecodeRunner::Start(const Capture& capture, const DecodeRequest& request)
{
    Cancel();
    running = true;
    // The snapshot is taken now: the capture may change or go before the decode starts.
    pending = Pending{SnapshotCapture(capture), request, generation};
    // One worker at a time: while cursors are dragged, each Start only replaces what is
    // pending, and the cancelled worker hands over when it ends, instead of a pile of
    // threads queueing for the library.
    if (!currentJob) Launch();
    return generation;
}

void DecodeRunner::Launch()
{
    if (!pending) return;
    auto job = std::make_shared<DecodeJob>();
    currentJob = job;
    Workers& workers = AllWorkers();
    {
        const std::lock_guard guard(workers.lock);
        workers.jobs.push_back(job);
    }
    std::thread worker([box = mailbox, job, work = std::move(*pending)]() {
        const int32_t number = work.number;
        int32_t lastPercent = -1;
        const DecodeProgress progress = [&](double done) {
            if (job->cancel) return false;
            const auto percent =
                static_cast<int32_t>(std::lround(std::clamp(done, 0.0, 1.0) * 100));
            if (percent != lastPercent) {
                lastPercent = percent;
                Post(box, [number, done](DecodeRunner& runner) {
                    if (runner.running && runner.generation == number) Q_EMIT runner.Progress(done);
                });
            }
            return !job->cancel.load();
        };
        DecodeResult result{};
        if (!job->cancel) result = DecodeCapture(work.capture, work.request, progress);
        Post(box, [number, job, result = std::move(result)](DecodeRunner& runner) {
            runner.WorkerEnded(job.get(), number, result);
        });
        Workers& all = AllWorkers();
        const std::lock_guard guard(all.lock);
        std::erase(all.jobs, job);
        all.ended.notify_all();
    });
    worker.detach();
    pending.reset();
}

void DecodeRunner::WorkerEnded(const DecodeJob* job, int32_t number, const DecodeResult& result)
{
    if (job != currentJob.get()) return;
    const bool cancelled = job->cancel.load();
    currentJob.reset();
    if (!cancelled && running && number == generation) {
        running = false;
        Q_EMIT Finished(number, result);
    }
    if (pending) Launch();
}

void DecodeRunner::FinishAllWorkers()
{
    Workers& workers = AllWorkers();
    std::unique_lock guard(workers.lock);
    for (const std::shared_ptr<DecodeJob>& job : workers.jobs)
        job->cancel = true;
    workers.ended.wait(guard, [&] { return workers.jobs.empty(); });
}
