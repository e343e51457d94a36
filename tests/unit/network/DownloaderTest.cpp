// Downloads through the downloader from real loopback servers: the body, the file name, and
// every response that must end in error 12.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "Network/WinINetDowner.h"
#include "tests/unit/network/LoopbackServers.h"
#include "tests/unit/network/SignalRecorder.h"

namespace {

const uint32_t kWaitMs = 20000;

struct Outcome {
    std::vector<unsigned int> errors;
    int completions = 0;
    std::string data;
    std::wstring fileName;
};

Outcome Fetch(const std::string& url) {
    WinINetDowner downer;
    SignalRecorder recorder;
    recorder.Watch(downer);
    EXPECT_TRUE(downer.Download(url));
    EXPECT_TRUE(downer.WaitUntilIdle(kWaitMs));
    Outcome outcome;
    outcome.errors = recorder.Errors();
    outcome.completions = recorder.Completions();
    uint32_t length = 0;
    boost::shared_array<char> data = downer.GetData(length);
    outcome.data.assign(data.get(), length);
    outcome.fileName = downer.GetFileName();
    return outcome;
}

// The raw server answers every request with `reply`.
Outcome FetchRaw(const std::string& reply, const std::string& target = "/a.png") {
    RawServer server([&reply](int socket) {
        RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket, reply);
    });
    return Fetch(server.Url(target));
}

TEST(DownloaderTest, BodyAndFileNames) {
    std::string image(2500000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13);
    httplib::Server server;
    std::string agent;
    server.Get("/img/pic.png", [&](const httplib::Request& request, httplib::Response& response) {
        agent = request.get_header_value("User-Agent");
        response.set_content(image, "image/png");
    });
    server.Get("/named", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Disposition", "attachment; filename=\"my%20pic.png\"");
        response.set_content("xyz", "image/png");
    });
    server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/named");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    const Outcome whole = Fetch(base + "/img/pic.png?w=1");
    EXPECT_EQ(whole.completions, 1);
    EXPECT_TRUE(whole.errors.empty());
    EXPECT_TRUE(whole.data == image);
    EXPECT_EQ(whole.fileName, L"pic.png?w=1");
    EXPECT_EQ(agent, "Tamberly");

    const Outcome named = Fetch(base + "/moved");
    EXPECT_EQ(named.completions, 1);
    EXPECT_EQ(named.data, "xyz");
    EXPECT_EQ(named.fileName, L"my pic.png");

    server.stop();
    listener.join();
}

TEST(DownloaderTest, ResponsesThatCannotBeDownloadedGiveError12) {
    const std::string body = "0123456789";
    const struct {
        const char* what;
        std::string reply;
    } cases[] = {
        {"no Content-Length",
         "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n\r\n" + body},
        {"Content-Length 0",
         "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 0\r\n\r\n"},
        {"no Content-Type", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n" + body},
        {"partial content",
         "HTTP/1.1 206 Partial Content\r\nContent-Type: image/png\r\nContent-Length: 10\r\n"
         "Content-Range: bytes 0-9/20\r\n\r\n" +
             body},
        {"not found",
         "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 10\r\n\r\n" + body},
        {"shorter than announced",
         "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 20\r\n\r\n" + body},
        {"larger than the maximum",
         "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 10485761\r\n\r\n" + body},
    };
    for (const auto& c : cases) {
        const Outcome outcome = FetchRaw(c.reply);
        EXPECT_EQ(outcome.errors, (std::vector<unsigned int>{12})) << c.what;
        EXPECT_EQ(outcome.completions, 0) << c.what;
    }
    const Outcome refused = Fetch("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/a.png");
    EXPECT_EQ(refused.errors, (std::vector<unsigned int>{12}));
}

TEST(DownloaderTest, OversizedBodyIsRefusedBeforeItIsRead) {
    // The server announces 2 GB and then stalls: the download must end at once, not wait.
    RawServer* self = nullptr;
    RawServer server([&self](int socket) {
        RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket,
                            "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n"
                            "Content-Length: 2000000000\r\n\r\nxx");
        while (!self->Stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    self = &server;
    const auto started = std::chrono::steady_clock::now();
    const Outcome outcome = Fetch(server.Url("/big.png"));
    EXPECT_EQ(outcome.errors, (std::vector<unsigned int>{12}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_TRUE(outcome.data.empty());
}

TEST(DownloaderTest, SelfSignedHttpsServer) {
    const SelfSignedCertificate certificate = MakeSelfSignedCertificate();
    ASSERT_FALSE(certificate.certificate.empty()) << "openssl could not make a certificate";
    httplib::SSLServer server(certificate.certificate.c_str(), certificate.key.c_str());
    server.Get("/p.gif", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("GIF89a", "image/gif");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Outcome outcome = Fetch("https://127.0.0.1:" + std::to_string(port) + "/p.gif");
    server.stop();
    listener.join();
    std::system(("rm -rf " + certificate.folder).c_str());
    EXPECT_EQ(outcome.completions, 1);
    EXPECT_EQ(outcome.data, "GIF89a");
}

}  // namespace
