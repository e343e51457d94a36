// quillon serve against clients of the open internet: slow, idle, oversized and path-probing
// requests must neither block the others nor reach what the server did not store.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "ServeProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

httplib::Client ClientOf(const ServeProcess& server) {
    httplib::Client client("127.0.0.1", server.Port());
    client.set_connection_timeout(2, 0);
    client.set_read_timeout(2, 0);
    client.set_write_timeout(2, 0);
    return client;
}

std::string Upload(const ServeProcess& server, const std::string& name, const std::string& bytes,
                   int* status) {
    httplib::Client client = ClientOf(server);
    const httplib::MultipartFormDataItems items = {
        {"file", bytes, name, "application/octet-stream"}, {"id", "7", "", ""}};
    const httplib::Result result = client.Post("/upload", items);
    *status = result ? result->status : 0;
    return result ? result->body : "";
}

TEST(ServeTest, TricklingAndIdleClientsNeitherStarveOthersNorOutliveTheirDeadlines) {
    // Fewer workers than tricklers, and fewer connections allowed than idle clients.
    ServeProcess server({"--header-timeout", "2", "--idle-timeout", "2", "--workers", "4",
                         "--max-connections", "150"});
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) idle.push_back(ConnectTo(server.Port()));

    // Each trickler sends a header byte every 300 ms and notes when the server cut it off.
    const std::string head = "POST /upload HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: aaaaaaaaaa";
    std::vector<double> cutAfter(20, -1);
    std::vector<std::thread> tricklers;
    for (int i = 0; i < 20; ++i) {
        tricklers.emplace_back([&, i] {
            const int fd = ConnectTo(server.Port());
            const Clock::time_point start = Clock::now();
            for (size_t k = 0; SecondsSince(start) < 6; ++k) {
                bool closed = false;
                if (!SendText(fd, std::string(1, head[k % head.size()])) ||
                    (ReadUntilClosed(fd, 0.3, &closed), closed)) {
                    cutAfter[i] = SecondsSince(start);
                    break;
                }
            }
            close(fd);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const Clock::time_point start = Clock::now();
    int status = 0;
    const std::string png = "\x89PNG\r\n\x1a\n-bytes";
    const std::string address = Upload(server, "a1b2c3d4.png", png, &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(address, "http://127.0.0.1:" + std::to_string(server.Port()) + "/files/a1b2c3d4.png");
    httplib::Client client = ClientOf(server);
    const httplib::Result download = client.Get("/files/a1b2c3d4.png");
    EXPECT_TRUE(download && download->status == 200 && download->body == png &&
                download->get_header_value("Content-Type") == "image/png");
    EXPECT_LT(SecondsSince(start), 1.0);

    for (std::thread& t : tricklers) t.join();
    // A byte every 300 ms does not stretch the header deadline of 2 s.
    for (double seconds : cutAfter) {
        EXPECT_GT(seconds, 1.5);
        EXPECT_LT(seconds, 3.5);
    }
    // The idle ones are gone by now: dropped for newer ones or at their idle deadline.
    size_t open = 0;
    for (int fd : idle) {
        bool closed = false;
        ReadUntilClosed(fd, 1.0, &closed);
        open += closed ? 0 : 1;
        close(fd);
    }
    EXPECT_EQ(open, 0u);
}

TEST(ServeTest, OnlyStoredRegularFilesAreServedAndPipesDoNotBlock) {
    char outside[] = "/tmp/quillon-fifo-XXXXXX";
    ASSERT_TRUE(mkdtemp(outside));
    const std::string fifo = std::string(outside) + "/pipe.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ServeProcess server({});
    ASSERT_EQ(mkfifo((server.Folder() + "/late.png").c_str(), 0644), 0);
    int status = 0;
    Upload(server, "swapped.png", "png", &status);
    ASSERT_EQ(status, 200);
    // A stored name that something else has replaced by a pipe since.
    ASSERT_EQ(unlink((server.Folder() + "/swapped.png").c_str()), 0);
    ASSERT_EQ(mkfifo((server.Folder() + "/swapped.png").c_str(), 0644), 0);
    Upload(server, "kept.txt", "kept", &status);
    ASSERT_EQ(status, 200);

    httplib::Client client = ClientOf(server);
    std::string encodedFifo;
    for (char c : fifo) encodedFifo += c == '/' ? std::string("%2F") : std::string(1, c);
    const std::string escape = "/files/..%2F..%2F" + fifo.substr(fifo.rfind("quillon-fifo"));
    for (const std::string& target :
         {"/files/" + encodedFifo, escape, std::string("/files/late.png"),
          std::string("/files/swapped.png"), std::string("/files/.upload-x")}) {
        const Clock::time_point start = Clock::now();
        const httplib::Result result = client.Get(target.c_str());
        ASSERT_TRUE(result) << target;
        EXPECT_EQ(result->status, 404) << target;
        EXPECT_LT(SecondsSince(start), 1.0) << target;
    }
    const httplib::Result kept = client.Get("/files/kept.txt");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->body, "kept");
    EXPECT_EQ(Upload(server, "../escape.png", "x", &status), "bad file name\n");
    EXPECT_EQ(status, 400);
    unlink(fifo.c_str());
    rmdir(outside);
}

TEST(ServeTest, OversizedRequestsAreRefusedAndBodiesStreamToDisk) {
    ServeProcess server({"--max-header-bytes", "4096", "--max-body-bytes", "25165824"});
    const long before = server.PeakResidentKiB();

    int fd = ConnectTo(server.Port());
    SendText(fd, "GET /files/x HTTP/1.1\r\nX-Long: " + std::string(65536, 'a'));
    bool closed = false;
    EXPECT_EQ(StatusOf(ReadUntilClosed(fd, 5, &closed)), 431);
    EXPECT_TRUE(closed);
    close(fd);

    // A declared 256 MiB body is refused at its header while the client goes on sending.
    fd = ConnectTo(server.Port());
    SendText(fd,
             "POST /upload HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\n"
             "Content-Length: 268435456\r\n\r\n--b\r\n");
    std::atomic<bool> stop(false);
    std::thread sender([&] {
        const std::string piece(1 << 20, 'x');
        for (int i = 0; i < 64 && !stop && SendText(fd, piece); ++i) {
        }
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(StatusOf(ReadUntilClosed(fd, 5, &closed)), 413);
    EXPECT_TRUE(closed);
    EXPECT_LT(SecondsSince(start), 3.0);
    stop = true;
    sender.join();
    close(fd);

    // An allowed 24 MB upload goes to disk, not to memory.
    std::string bytes(24000000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    int status = 0;
    Upload(server, "large.bin", bytes, &status);
    EXPECT_EQ(status, 200);
    std::ifstream stored(server.Folder() + "/large.bin", std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(stored), {}) == bytes);
#if !defined(__SANITIZE_THREAD__)  // ThreadSanitizer's own bookkeeping grows with the bytes
    EXPECT_LT(server.PeakResidentKiB() - before, 8192);
#endif
}

}  // namespace
