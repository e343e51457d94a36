// Transfers against servers that misbehave on purpose: they drip, never end, answer too much,
// or meet content that spells the multipart boundary. Every transfer must end, quickly with
// the shortened low-speed window, with the right code and reason, and never lose bytes.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Network/TransferLimits.h"
#include "Network/UploadFileSource.h"
#include "Network/WinINetDowner.h"
#include "Network/WinINetPoster.h"
#include "tests/support/LoopbackUploadServer.h"
#include "tests/unit/network/LoopbackServers.h"
#include "tests/unit/network/SignalRecorder.h"

namespace {

const std::string kFixedBoundary = "---------------------------7da1d41060a1a";

// A one-second low-speed window for the test's duration.
class ShortLimits {
  public:
    explicit ShortLimits(int64_t maxResponse = 10485760) : saved_(GetTransferLimits()) {
        TransferLimits limits;
        limits.lowSpeedWindowMs = 1000;
        limits.lowSpeedBytesPerSecond = 1024;
        limits.uploadResponseDeadlineMs = 5000;
        limits.downloadDeadlineMs = 5000;
        limits.maxUploadResponseBytes = maxResponse;
        SetTransferLimits(limits);
    }
    ~ShortLimits() { SetTransferLimits(saved_); }

  private:
    TransferLimits saved_;
};

boost::shared_array<char> Bytes(const std::string& text) {
    boost::shared_array<char> data(new char[text.size() + 1]());
    std::copy(text.begin(), text.end(), data.get());
    return data;
}

std::string TempFile(const std::string& name, const std::string& content) {
    const std::string path = "/tmp/quillon-hostile-" + std::to_string(getpid()) + "-" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

template <class Ready>
bool WaitFor(Ready ready, int ms = 15000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Sends `bytes` one at a time, every `gapMs`, until done or the peer is gone.
void Drip(RawServer& server, int socket, const std::string& bytes, int gapMs) {
    for (char c : bytes) {
        if (server.Stopping() || send(socket, &c, 1, MSG_NOSIGNAL) != 1) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
}

const std::string kDrippedHeaders =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n" + std::string(4000, 'X') + ": y\r\n\r\nok";

// Whatever finished the upload: the errors and the reason.
struct Ended {
    std::vector<unsigned int> errors;
    int completions = 0;
    TransferFailure failure;
    double seconds = 0;
};

Ended UploadAndWait(WinINetPoster& poster, const std::function<bool()>& post) {
    SignalRecorder recorder;
    recorder.Watch(poster);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(post());
    EXPECT_TRUE(WaitFor([&] { return !recorder.Errors().empty() || recorder.Completions(); }));
    EXPECT_TRUE(poster.WaitUntilIdle(15000));
    Ended ended;
    ended.seconds = SecondsSince(start);
    ended.errors = recorder.Errors();
    ended.completions = recorder.Completions();
    ended.failure = poster.GetLastFailure();
    return ended;
}

TEST(HostileServerTest, DrippedAnswersTimeOutInsteadOfHoldingTheUploadOpen) {
    ShortLimits limits;
    // Headers at a byte per 20 ms (50 bytes/s), and a body at 1 byte/s: neither may hold
    // the upload beyond about one window.
    for (const bool dripHeaders : {true, false}) {
        RawServer server([&](int socket) {
            RawServer::ReadRequest(socket);
            if (dripHeaders) {
                Drip(server, socket, kDrippedHeaders, 20);
            } else {
                RawServer::WriteAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
                Drip(server, socket, std::string(100000, 'a'), 1000);
            }
        });
        WinINetPoster poster;
        poster.SetPostUrl(server.Url("/up"));
        const Ended ended =
            UploadAndWait(poster, [&] { return poster.Post(Bytes("abc"), 3, L".txt"); });
        EXPECT_EQ(ended.errors, std::vector<unsigned int>{2}) << dripHeaders;
        EXPECT_EQ(ended.completions, 0);
        EXPECT_EQ(ended.failure.kind, TransferFailure::kTimedOut) << dripHeaders;
        EXPECT_LT(ended.seconds, 4.0);
    }
}

TEST(HostileServerTest, DrippedDownloadTimesOutWithItsCode) {
    ShortLimits limits;
    RawServer server([&](int socket) {
        RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket,
                            "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n"
                            "Content-Length: 10000000\r\n\r\n");
        Drip(server, socket, std::string(10000000, 'a'), 1000);
    });
    WinINetDowner downer;
    SignalRecorder recorder;
    recorder.Watch(downer);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(downer.Download(server.Url("/a.png")));
    ASSERT_TRUE(WaitFor([&] { return !recorder.Errors().empty(); }));
    EXPECT_LT(SecondsSince(start), 4.0);
    EXPECT_EQ(recorder.Errors(), std::vector<unsigned int>{12});
    EXPECT_EQ(downer.GetLastFailure().kind, TransferFailure::kTimedOut);
}

TEST(HostileServerTest, EndlessAnswerToAnUploadIsCutAtTheLimit) {
    ShortLimits limits(1 << 20);
    std::atomic<int64_t> written{0};
    RawServer server([&](int socket) {
        RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n");
        const std::string block(65536, 'z');
        while (!server.Stopping() && written.load() < (int64_t(1) << 30)) {
            if (send(socket, block.data(), block.size(), MSG_NOSIGNAL) <= 0) return;
            written += static_cast<int64_t>(block.size());
        }
    });
    WinINetPoster poster;
    poster.SetPostUrl(server.Url("/up"));
    const Ended ended =
        UploadAndWait(poster, [&] { return poster.Post(Bytes("abc"), 3, L".txt"); });
    EXPECT_EQ(ended.errors, std::vector<unsigned int>{2});
    EXPECT_EQ(ended.failure.kind, TransferFailure::kResponseTooLarge);
    EXPECT_EQ(poster.GetResponse(), "");
    // Read no further than the limit and what was already on its way.
    EXPECT_LT(written.load(), int64_t(64) << 20);
}

TEST(HostileServerTest, StopDuringADripEndsSilentlyAndAtOnce) {
    // The default 60-second window: only the stop can end this upload in time.
    RawServer server([&](int socket) {
        RawServer::ReadRequest(socket);
        Drip(server, socket, kDrippedHeaders, 100);
    });
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl(server.Url("/up"));
    ASSERT_TRUE(poster.Post(Bytes("abc"), 3, L".txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto stopped = std::chrono::steady_clock::now();
    poster.Stop();
    EXPECT_TRUE(poster.WaitUntilIdle(2000));
    EXPECT_LT(SecondsSince(stopped), 1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(recorder.Errors().empty());
    EXPECT_EQ(recorder.Completions(), 0);
}

TEST(HostileServerTest, ContentSpellingTheBoundaryArrivesWhole) {
    // A file from disk whose bytes hold the delimiter (and the boundary at its very start),
    // then in-memory bytes with a field value that holds it: cpp-httplib's parser must see
    // every byte, so the body used another boundary, and said so in Content-Type.
    LoopbackUploadServer server;
    std::string file = "--" + kFixedBoundary + "\r\n";
    for (int i = 0; file.size() < 2048; ++i)
        file += std::string(i % 7, 'q') + "\r\n--" + kFixedBoundary + (i % 2 ? "--\r\n" : "\r\n");
    file.resize(2048);
    const std::string path = TempFile("boundary.bin", file);

    WinINetPoster poster;
    poster.SetPostUrl(server.url());
    Ended ended = UploadAndWait(
        poster, [&] { return poster.PostFile(std::wstring(path.begin(), path.end()), L".bin"); });
    EXPECT_EQ(ended.completions, 1);

    FormFields fields = MakeFormFields();
    (*fields)["note"] = "a\r\n--" + kFixedBoundary + "--\r\nb";
    poster.SetFields(fields);
    ended = UploadAndWait(poster, [&] { return poster.Post(Bytes("plain"), 5, L".txt"); });
    EXPECT_EQ(ended.completions, 1);

    const std::vector<LoopbackUploadServer::Upload> uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].content, file);
    EXPECT_EQ(uploads[1].content, "plain");
    EXPECT_EQ(uploads[1].fields.at("note"), (*fields)["note"]);
    std::remove(path.c_str());
}

TEST(HostileServerTest, BoundarySplitAcrossFilePiecesIsFound) {
    const std::string text = "xx\r\n--" + kFixedBoundary + "yy";
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        BoundaryChoice boundary(kFixedBoundary);
        boundary.Feed(text.data(), cut);
        boundary.Feed(text.data() + cut, text.size() - cut);
        EXPECT_NE(boundary.Chosen(), kFixedBoundary) << cut;
        EXPECT_FALSE(boundary.Chosen().empty());
    }
    BoundaryChoice clean(kFixedBoundary);
    clean.Feed(text.data(), 36);
    clean.Feed(text.data() + 37, text.size() - 37);
    EXPECT_EQ(clean.Chosen(), kFixedBoundary);
}

TEST(HostileServerTest, FileOverThe32BitCountIsRefusedBeforeAnyConnection) {
    const std::string path = TempFile("sparse.bin", "");
    ASSERT_EQ(truncate(path.c_str(), int64_t(3) << 30), 0);
    std::atomic<int> connections{0};
    RawServer server([&](int) { ++connections; });
    WinINetPoster poster;
    poster.SetPostUrl(server.Url("/up"));
    const Ended ended = UploadAndWait(
        poster, [&] { return poster.PostFile(std::wstring(path.begin(), path.end()), L".bin"); });
    EXPECT_EQ(ended.errors, std::vector<unsigned int>{2});
    EXPECT_EQ(ended.failure.kind, TransferFailure::kFileTooLarge);
    EXPECT_EQ(ended.failure.value, int64_t(3) << 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(connections.load(), 0);
    std::remove(path.c_str());
}

TEST(HostileServerTest, FileChangedAfterItsScanIsNotSentAsScanned) {
    const std::string original(300000, 'a');
    const std::string path = TempFile("changing.bin", original);
    const std::wstring wide(path.begin(), path.end());
    // Changed in place at the end (same size), and cut short.
    for (const bool shrink : {false, true}) {
        TempFile("changing.bin", original);
        UploadFileSource source(wide);
        BoundaryChoice boundary(kFixedBoundary);
        ASSERT_TRUE(source.Open());
        ASSERT_TRUE(source.Scan(boundary));
        if (shrink) {
            ASSERT_EQ(truncate(path.c_str(), 200000), 0);
        } else {
            std::FILE* f = std::fopen(path.c_str(), "r+b");
            std::fseek(f, 299999, SEEK_SET);
            std::fputc('b', f);
            std::fclose(f);
        }
        std::vector<char> chunk(131072);
        EXPECT_TRUE(source.Read(chunk.data(), chunk.size())) << shrink;
        const bool second = source.Read(chunk.data(), chunk.size());
        const bool last = second && source.Read(chunk.data(), 300000 - 2 * 131072);
        EXPECT_FALSE(last) << shrink;
        EXPECT_EQ(source.Failure().kind, TransferFailure::kFileChanged);
    }
    std::remove(path.c_str());
}

}  // namespace
