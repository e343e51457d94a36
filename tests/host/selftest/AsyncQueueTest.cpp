// NPN_PluginThreadAsyncCall: callable from any thread, run only by the main thread's pump.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestHost.h"

namespace testhost {
namespace {

struct Recorder {
    std::thread::id main;
    std::vector<std::pair<int, int>> seen;  // (worker, sequence), touched on the main thread only
    int off_main = 0;
};

struct Post {
    Recorder* recorder;
    int worker;
    int sequence;
};

void Record(void* data) {
    Post* post = static_cast<Post*>(data);
    if (std::this_thread::get_id() != post->recorder->main) ++post->recorder->off_main;
    post->recorder->seen.emplace_back(post->worker, post->sequence);
}

TEST(AsyncQueueTest, CallsFromWorkersRunOnTheMainThreadInEachWorkersOrder) {
    TestHost host;
    NPNetscapeFuncs* browser = TestHost::BrowserFunctions();
    Recorder recorder{std::this_thread::get_id(), {}, 0};
    constexpr int kWorkers = 4;
    constexpr int kPosts = 50;
    std::vector<Post> posts;
    for (int w = 0; w < kWorkers; ++w)
        for (int s = 0; s < kPosts; ++s) posts.push_back(Post{&recorder, w, s});

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int s = 0; s < kPosts; ++s)
                browser->pluginthreadasynccall(nullptr, &Record, &posts[w * kPosts + s]);
        });
    for (std::thread& worker : workers) worker.join();

    EXPECT_TRUE(recorder.seen.empty());  // nothing runs until the test pumps
    EXPECT_EQ(host.PendingAsyncCalls(), size_t{kWorkers * kPosts});
    EXPECT_EQ(host.RunPending(), size_t{kWorkers * kPosts});
    EXPECT_EQ(host.PendingAsyncCalls(), 0u);
    EXPECT_EQ(recorder.off_main, 0);

    std::vector<int> next(kWorkers, 0);
    for (const auto& [worker, sequence] : recorder.seen) EXPECT_EQ(sequence, next[worker]++);
    EXPECT_EQ(next, std::vector<int>(kWorkers, kPosts));
}

TEST(AsyncQueueTest, RunUntilWaitsForALateCallAndGivesUpAtTheTimeout) {
    TestHost host;
    Recorder recorder{std::this_thread::get_id(), {}, 0};
    Post post{&recorder, 0, 0};
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        TestHost::BrowserFunctions()->pluginthreadasynccall(nullptr, &Record, &post);
    });
    EXPECT_TRUE(host.RunUntil([&] { return !recorder.seen.empty(); }));
    late.join();
    EXPECT_EQ(recorder.off_main, 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(host.RunUntil([] { return false; }, std::chrono::milliseconds(60)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST(AsyncQueueTest, OnlyTheMainThreadCanPump) {
    TestHost host;
    Recorder recorder{std::this_thread::get_id(), {}, 0};
    Post post{&recorder, 0, 0};
    TestHost::BrowserFunctions()->pluginthreadasynccall(nullptr, &Record, &post);

    size_t ran_elsewhere = 99;
    std::thread other([&] { ran_elsewhere = host.RunPending(); });
    other.join();
    EXPECT_EQ(ran_elsewhere, 0u);
    EXPECT_EQ(host.Violations().size(), 1u);
    EXPECT_EQ(host.RunPending(), 1u);
    EXPECT_EQ(recorder.off_main, 0);
}

void Repost(void* data) {
    auto* count = static_cast<std::atomic<int>*>(data);
    if (++*count < 3) TestHost::BrowserFunctions()->pluginthreadasynccall(nullptr, &Repost, data);
}

TEST(AsyncQueueTest, CallsQueuedDuringAPumpRunInTheNextOne) {
    TestHost host;
    std::atomic<int> count{0};
    TestHost::BrowserFunctions()->pluginthreadasynccall(nullptr, &Repost, &count);
    EXPECT_EQ(host.RunPending(), 1u);
    EXPECT_EQ(host.PendingAsyncCalls(), 1u);
    EXPECT_TRUE(host.RunUntil([&] { return count == 3; }));
}

TEST(AsyncQueueTest, CallsAfterTheHostEndedAreDropped) {
    std::atomic<int> count{0};
    { TestHost host; }
    TestHost::BrowserFunctions()->pluginthreadasynccall(nullptr, &Repost, &count);
    TestHost next;
    EXPECT_EQ(next.PendingAsyncCalls(), 0u);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace testhost
