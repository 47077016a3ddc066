// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/shared_work.h"

#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Outlives the call when the pool thread starts late: it then finds no part left and only
// touches this.
struct Parts {
    const std::function<void(int32_t)>* work = nullptr;
    int32_t count = 0;
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> done{0};
    std::mutex mutex;
    std::condition_variable finished;

    void Drain()
    {
        for (int32_t part = next.fetch_add(1); part < count; part = next.fetch_add(1)) {
            (*work)(part);
            if (done.fetch_add(1) + 1 == count) {
                const std::lock_guard<std::mutex> lock(mutex);
                finished.notify_all();
            }
        }
    }
};

} // namespace

void ShareWork(int32_t parts, const std::function<void(int32_t)>& work)
{
    if (parts <= 0) return;
    if (parts == 1) {
        work(0);
        return;
    }
    auto shared = std::make_shared<Parts>();
    shared->work = &work;
    shared->count = parts;
    QThreadPool::globalInstance()->start([shared] { shared->Drain(); });
    shared->Drain();
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->finished.wait(lock, [&] { return shared->done.load() == parts; });
}
