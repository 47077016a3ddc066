// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/shared_work.h"

#include <QThreadPool>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// Every part runs once, on at most two threads, whether the pool is free, every one of its
// threads is held up, or the caller is itself a pool thread.
TEST(ShareWork, RunsEveryPartOnceWhateverThePoolDoes)
{
    enum class Pool { Free, Blocked, Caller };
    struct Case {
        int32_t parts;
        Pool pool;
    };
    const Case cases[] = {{0, Pool::Free},    {1, Pool::Free},    {2, Pool::Free},
                          {15, Pool::Free},   {200, Pool::Free},  {15, Pool::Blocked},
                          {3, Pool::Blocked}, {15, Pool::Caller}, {1, Pool::Caller}};
    QThreadPool* const pool = QThreadPool::globalInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.parts << " parts, pool " << int(c.pool));
        std::vector<std::atomic<int>> calls(static_cast<size_t>(c.parts));
        std::mutex mutex;
        std::set<std::thread::id> threads;
        auto run = [&] {
            ShareWork(c.parts, [&](int32_t part) {
                ++calls[static_cast<size_t>(part)];
                const std::lock_guard<std::mutex> lock(mutex);
                threads.insert(std::this_thread::get_id());
            });
        };
        std::atomic<bool> release{false};
        std::atomic<int> held{0};
        if (c.pool == Pool::Blocked) {
            // Every thread of the pool waits until the work is done without them.
            for (int i = 0; i < pool->maxThreadCount(); ++i)
                pool->start([&] {
                    ++held;
                    while (!release)
                        std::this_thread::yield();
                });
            while (held < pool->maxThreadCount())
                std::this_thread::yield();
            run();
            release = true;
        } else if (c.pool == Pool::Caller) {
            std::atomic<bool> done{false};
            pool->start([&] {
                run();
                done = true;
            });
            while (!done)
                std::this_thread::yield();
        } else {
            run();
        }
        pool->waitForDone();
        for (int32_t part = 0; part < c.parts; ++part)
            EXPECT_EQ(calls[static_cast<size_t>(part)], 1) << "part " << part;
        EXPECT_LE(threads.size(), 2u);
    }
}

} // namespace
