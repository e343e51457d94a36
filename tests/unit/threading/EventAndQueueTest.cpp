#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "threading/EventHandler.h"
#include "threading/MsgQueue.h"
#include "threading/Worker.h"

namespace {

using Korvane::Threading::EventHandler;

TEST(EventHandler, SetBeforeWaitReleasesOnceThenResetsItself) {
    EventHandler event;
    event.Set();
    EXPECT_TRUE(event.WaitFor(0));
    EXPECT_FALSE(event.WaitFor(30)) << "automatic reset: a second wait blocks";
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.WaitFor(10));
}

TEST(EventHandler, WaitReturnsWhenAnotherThreadSets) {
    EventHandler event;
    std::thread setter([&] { event.Set(); });
    event.Wait();
    setter.join();
    SUCCEED();
}

std::vector<std::string> Drain(MsgQueue& queue) {
    std::vector<std::string> seen;
    queue.Process([&](const MsgQueue::Entry& e) { seen.push_back(*e); });
    return seen;
}

TEST(MsgQueue, ProcessHandlesInOrderAndRemovesWhatItHandled) {
    MsgQueue queue;
    queue.Push("a");
    queue.Push("b");
    EXPECT_EQ(Drain(queue), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(queue.Size(), 0u);
    queue.Push("c");
    queue.Clear();
    EXPECT_TRUE(Drain(queue).empty());
}

TEST(MsgQueue, PushFromTheHandlerOnTheSameThreadStaysForTheNextProcess) {
    MsgQueue queue;
    queue.Push("first");
    std::vector<std::string> seen;
    queue.Process([&](const MsgQueue::Entry& e) {
        seen.push_back(*e);
        queue.Push("pushed during delivery");  // re-entrant lock: must not block
    });
    EXPECT_EQ(seen, std::vector<std::string>{"first"});
    EXPECT_EQ(Drain(queue), std::vector<std::string>{"pushed during delivery"});
}

TEST(MsgQueue, PushesFromOtherThreadsDuringProcessAreNeverLost) {
    MsgQueue queue;
    const int kThreads = 4;
    const int kPerThread = 500;
    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kPerThread; ++i)
                queue.Push(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    go = true;
    std::vector<std::string> seen;
    std::vector<int> next(kThreads, 0);
    auto consume = [&] {
        queue.Process([&](const MsgQueue::Entry& e) {
            const int t = std::stoi(e->substr(0, e->find(':')));
            const int i = std::stoi(e->substr(e->find(':') + 1));
            EXPECT_EQ(i, next[t]) << "each thread's texts arrive in its order";
            next[t] = i + 1;
            seen.push_back(*e);
        });
    };
    while (seen.size() < static_cast<size_t>(kThreads * kPerThread)) {
        consume();
        std::this_thread::yield();
    }
    for (std::thread& p : producers) p.join();
    consume();
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kPerThread));
}

TEST(Worker, DetachedWorkerRunsAndSignals) {
    EventHandler done;
    std::atomic<int> value{0};
    Korvane::Threading::StartDetachedWorker([&] {
        value = 42;
        done.Set();
    });
    ASSERT_TRUE(done.WaitFor(5000));
    EXPECT_EQ(value, 42);
}

}  // namespace
