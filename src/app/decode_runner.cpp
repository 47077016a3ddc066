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
static_assert(sizeof(void*) != 8 || sizeof(Capture) == 280,
              "Capture changed: copy the new field in SnapshotCapture");

Capture SnapshotCapture(const Capture& capture)
{
    Capture copy{};
    copy.filePath = capture.filePath;
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
    // Only this runner's newest job can still deliver; earlier ones were cancelled by
    // the Start that superseded them.
    if (currentJob) currentJob->cancel = true;
    currentJob.reset();
    running = false;
    ++generation; // whatever is still queued for the old number is dropped on arrival
}

int32_t DecodeRunner::Start(const Capture& capture, const DecodeRequest& request)
{
    Cancel();
    const int32_t number = generation;
    running = true;
    auto job = std::make_shared<DecodeJob>();
    currentJob = job;
    Workers& workers = AllWorkers();
    {
        const std::lock_guard guard(workers.lock);
        workers.jobs.push_back(job);
    }
    std::thread worker(
        [box = mailbox, job, number, snapshot = SnapshotCapture(capture), request]() {
            int32_t lastPercent = -1;
            const DecodeProgress progress = [&](double done) {
                if (job->cancel) return false;
                const auto percent =
                    static_cast<int32_t>(std::lround(std::clamp(done, 0.0, 1.0) * 100));
                if (percent != lastPercent) {
                    lastPercent = percent;
                    Post(box, [number, done](DecodeRunner& runner) {
                        if (runner.running && runner.generation == number)
                            Q_EMIT runner.Progress(done);
                    });
                }
                return !job->cancel.load();
            };
            DecodeResult result = DecodeCapture(snapshot, request, progress);
            if (!job->cancel) {
                Post(box, [number, result = std::move(result)](DecodeRunner& runner) {
                    if (!runner.running || runner.generation != number) return;
                    runner.running = false;
                    runner.currentJob.reset();
                    Q_EMIT runner.Finished(number, result);
                });
            }
            Workers& all = AllWorkers();
            const std::lock_guard guard(all.lock);
            std::erase(all.jobs, job);
            all.ended.notify_all();
        });
    worker.detach();
    return number;
}

void DecodeRunner::FinishAllWorkers()
{
    Workers& workers = AllWorkers();
    std::unique_lock guard(workers.lock);
    for (const std::shared_ptr<DecodeJob>& job : workers.jobs)
        job->cancel = true;
    workers.ended.wait(guard, [&] { return workers.jobs.empty(); });
}
