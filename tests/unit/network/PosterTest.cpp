// Uploads through the poster to real loopback servers: the exact request on the wire, a
// multipart parser that is not ours, progress, the failure codes, stop and lifetime.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "Network/WinINetPoster.h"
#include "tests/unit/network/LoopbackServers.h"
#include "tests/unit/network/SignalRecorder.h"

namespace {

const std::string kBoundary = "---------------------------7da1d41060a1a";
const uint32_t kWaitMs = 20000;

boost::shared_array<char> Bytes(const std::string& text) {
    boost::shared_array<char> data(new char[text.size() + 1]());
    std::copy(text.begin(), text.end(), data.get());
    return data;
}

std::string Reply(const std::string& status, const std::string& body,
                  const std::string& contentType = "text/plain") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

// One upload to the raw server, which records the request and answers `reply`.
struct RecordedUpload {
    std::string request;
    std::vector<unsigned int> errors;
    int completions = 0;
    std::string response;
};

RecordedUpload UploadTo(const std::string& reply, const std::string& cookie,
                        const FormFields& fields, const std::string& content,
                        const std::wstring& extension) {
    RecordedUpload result;
    std::mutex mutex;
    RawServer server([&](int socket) {
        const std::string request = RawServer::ReadRequest(socket);
        {
            std::lock_guard<std::mutex> lock(mutex);
            result.request = request;
        }
        RawServer::WriteAll(socket, reply);
    });
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl(server.Url("/up?x=1"));
    poster.SetCookie(cookie);
    poster.SetFields(fields);
    EXPECT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), extension));
    EXPECT_TRUE(poster.WaitUntilIdle(kWaitMs));
    std::lock_guard<std::mutex> lock(mutex);
    result.errors = recorder.Errors();
    result.completions = recorder.Completions();
    result.response = poster.GetResponse();
    return result;
}

TEST(PosterWireTest, RequestBytesOnTheWire) {
    FormFields fields = MakeFormFields();
    (*fields)["b"] = "2";
    (*fields)["a"] = "1";
    (*fields)["B"] = "3";
    const RecordedUpload upload =
        UploadTo(Reply("200 OK", "done"), "sid=42", fields, "123456789", L".PNG");
    EXPECT_EQ(upload.completions, 1);
    EXPECT_TRUE(upload.errors.empty());
    EXPECT_EQ(upload.response, "done");

    const std::string& request = upload.request;
    EXPECT_EQ(request.compare(0, 25, "POST /up?x=1 HTTP/1.1\r\nHo"), 0) << request;
    EXPECT_NE(request.find("\r\nUser-Agent: Velloran7\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nCookie: sid=42\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nContent-Type: multipart/form-data; boundary=" + kBoundary + "\r\n"),
              std::string::npos);
    EXPECT_EQ(request.find("Expect:"), std::string::npos);

    const std::string body =
        "--" + kBoundary +
        "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"2639f4cb.png\"\r\n"
        "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: binary\r\n\r\n"
        "123456789\r\n"
        "--" +
        kBoundary +
        "\r\nContent-Disposition: form-data; name=\"B\"\r\n\r\n3\r\n"
        "--" +
        kBoundary +
        "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
        "--" +
        kBoundary +
        "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n2\r\n"
        "--" +
        kBoundary + "--\r\n";
    const size_t bodyStart = request.find("\r\n\r\n") + 4;
    EXPECT_EQ(request.substr(bodyStart), body);
    EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
}

TEST(PosterWireTest, NoCookieLineWithoutCookieAndEmptyFileStillSent) {
    const RecordedUpload upload =
        UploadTo(Reply("200 OK", "ok"), "", MakeFormFields(), "", L".jpg");
    EXPECT_EQ(upload.completions, 1);
    EXPECT_EQ(upload.request.find("Cookie"), std::string::npos);
    const std::string tail =
        "filename=\"00000000.jpg\"\r\nContent-Type: application/octet-stream"
        "\r\nContent-Transfer-Encoding: binary\r\n\r\n\r\n--" +
        kBoundary + "--\r\n";
    ASSERT_GE(upload.request.size(), tail.size());
    EXPECT_EQ(upload.request.substr(upload.request.size() - tail.size()), tail);
}

TEST(PosterWireTest, ResponseTextIsNormalisedOnlyForUtf8ContentType) {
    const std::string illFormed = "ok\xFFz";
    EXPECT_EQ(UploadTo(Reply("200 OK", illFormed, "text/plain; charset=utf-8"), "",
                       MakeFormFields(), "x", L".png")
                  .response,
              "ok\xEF\xBF\xBDz");
    EXPECT_EQ(UploadTo(Reply("200 OK", illFormed, "text/plain; charset=UTF-8"), "",
                       MakeFormFields(), "x", L".png")
                  .response,
              illFormed);
    // A NUL byte ends what is kept of the piece it arrives in.
    EXPECT_EQ(
        UploadTo(Reply("200 OK", std::string("ab\0cd", 5)), "", MakeFormFields(), "x", L".png")
            .response,
        "ab");
}

TEST(PosterServerTest, MultipartParserOfAnotherServerAcceptsTheUpload) {
    httplib::Server server;
    std::mutex mutex;
    std::string fileName, fileContent, fileType, field;
    server.Post("/upload", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> lock(mutex);
        const httplib::MultipartFormData file = request.get_file_value("file");
        fileName = file.filename;
        fileContent = file.content;
        fileType = file.content_type;
        field = request.get_file_value("album").content;
        response.set_content("http://127.0.0.1/files/" + file.filename, "text/plain");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    recorder.WatchProgress(poster);
    FormFields fields = MakeFormFields();
    (*fields)["album"] = "\xE5\x9B\xBE";  // bytes pass unchanged
    poster.SetFields(fields);
    poster.SetPostUrl("http://127.0.0.1:" + std::to_string(port) + "/upload");
    ASSERT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), L".bin"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    server.stop();
    listener.join();

    EXPECT_EQ(recorder.Completions(), 1);
    std::lock_guard<std::mutex> lock(mutex);
    const std::wstring sentName = poster.GetFileName();
    EXPECT_EQ(fileName, std::string(sentName.begin(), sentName.end()));
    EXPECT_EQ(fileType, "application/octet-stream");
    EXPECT_TRUE(fileContent == content);
    EXPECT_EQ(field, "\xE5\x9B\xBE");
    EXPECT_EQ(poster.GetResponse(), "http://127.0.0.1/files/" + fileName);
    EXPECT_EQ(poster.GetPosted(), static_cast<int32_t>(content.size()));
    EXPECT_EQ(poster.GetPercent(), "100%");
}

TEST(PosterProgressTest, NotificationsAddUpToTheBytesOnTheWire) {
    std::atomic<size_t> received{0};
    RawServer server([&](int socket) {
        const std::string request = RawServer::ReadRequest(socket);
        received.store(request.size());
        RawServer::WriteAll(socket, Reply("200 OK", "ok"));
    });
    const std::string content(1000000, 'q');
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    recorder.WatchProgress(poster);
    std::atomic<bool> overran{false};
    recorder.onProgress = [&] {
        if (poster.GetPosted() > static_cast<int32_t>(content.size())) overran.store(true);
    };
    poster.SetPostUrl(server.Url("/"));
    ASSERT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), L".txt"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));

    EXPECT_EQ(recorder.Completions(), 1);
    const std::vector<unsigned long> progress = recorder.Progress();
    EXPECT_GT(progress.size(), 2u);
    EXPECT_EQ(std::accumulate(progress.begin(), progress.end(), 0ul), received.load());
    EXPECT_FALSE(overran.load());
    EXPECT_EQ(poster.GetPosted(), static_cast<int32_t>(content.size()));
    EXPECT_EQ(poster.GetPercent(), "100%");
}

TEST(PosterFailureTest, StatusOtherThan200FailsAndKeepsTheLastResponse) {
    std::atomic<int> answer{0};
    const std::string replies[] = {Reply("200 OK", "first"), Reply("201 Created", "second"),
                                   Reply("500 Server Error", "third")};
    RawServer server([&](int socket) {
        RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket, replies[answer.fetch_add(1)]);
    });
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl(server.Url("/"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(poster.Post(Bytes("data"), 4, L".txt"));
        ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    }
    EXPECT_EQ(recorder.Completions(), 1);
    EXPECT_EQ(recorder.Errors(), (std::vector<unsigned int>{2, 2}));
    EXPECT_EQ(poster.GetResponse(), "first");
}

TEST(PosterFailureTest, RefusedConnectionAndUnsplittableAddressGiveError2) {
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/");
    ASSERT_TRUE(poster.Post(Bytes("data"), 4, L".txt"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    poster.SetPostUrl("127.0.0.1/upload");
    ASSERT_TRUE(poster.Post(Bytes("data"), 4, L".txt"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    EXPECT_EQ(recorder.Errors(), (std::vector<unsigned int>{2, 2}));
    EXPECT_EQ(recorder.Completions(), 0);
}

TEST(PosterFailureTest, HeadersThatCannotBeSentGive1Then2) {
    // The server takes the connection and drops it: the secure request never goes out.
    RawServer server([](int socket) { RawServer::Abort(socket); });
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
    ASSERT_TRUE(poster.Post(Bytes("data"), 4, L".txt"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    EXPECT_EQ(recorder.Errors(), (std::vector<unsigned int>{1, 2}));
}

TEST(PosterFailureTest, ServerClosingMidBodyGivesError2) {
    RawServer server([](int socket) {
        char buffer[65536];
        size_t got = 0;
        while (got < 200000) {
            const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        RawServer::Abort(socket);
    });
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl(server.Url("/"));
    const std::string content(8000000, 'm');
    ASSERT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), L".bin"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    EXPECT_EQ(recorder.Errors(), (std::vector<unsigned int>{2}));
    EXPECT_EQ(recorder.Completions(), 0);
}

// A server that reads the request slowly, until the test ends.
RawServer::Handler SlowReader(RawServer*& self) {
    return [&self](int socket) {
        char buffer[4096];
        while (!self->Stopping()) {
            if (recv(socket, buffer, sizeof buffer, MSG_DONTWAIT) == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
}

TEST(PosterStopTest, StopDuringTheBodyEndsWithoutASignal) {
    RawServer* self = nullptr;
    RawServer server(SlowReader(self));
    self = &server;
    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    recorder.WatchProgress(poster);
    recorder.onProgress = [&] {
        if (poster.GetPosted() > 0) poster.Stop();
    };
    poster.SetPostUrl(server.Url("/"));
    const std::string content(20000000, 's');
    ASSERT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), L".bin"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    EXPECT_TRUE(recorder.Errors().empty());
    EXPECT_EQ(recorder.Completions(), 0);
    EXPECT_GT(poster.GetPosted(), 0);
    EXPECT_LT(poster.GetPosted(), static_cast<int32_t>(content.size()));
}

TEST(PosterLifetimeTest, SecondPostIsRefusedAndDestructionWaitsForTheWorker) {
    RawServer* self = nullptr;
    RawServer server(SlowReader(self));
    self = &server;
    SignalRecorder recorder;
    {
        WinINetPoster poster;
        recorder.Watch(poster);
        poster.SetPostUrl(server.Url("/"));
        const std::string content(20000000, 'l');
        ASSERT_TRUE(poster.Post(Bytes(content), static_cast<int32_t>(content.size()), L".bin"));
        EXPECT_FALSE(poster.Post(Bytes("other"), 5, L".txt"));
        EXPECT_TRUE(poster.IsBusy());
        // Changing the address now does not reach the running upload.
        poster.SetPostUrl("http://127.0.0.1:1/");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }  // the destructor stops the upload and returns once the worker has
    EXPECT_TRUE(recorder.Errors().empty());
    EXPECT_EQ(recorder.Completions(), 0);
}

TEST(PosterHttpsTest, SelfSignedServerIsAccepted) {
    const SelfSignedCertificate certificate = MakeSelfSignedCertificate();
    ASSERT_FALSE(certificate.certificate.empty()) << "openssl could not make a certificate";
    httplib::SSLServer server(certificate.certificate.c_str(), certificate.key.c_str());
    ASSERT_TRUE(server.is_valid());
    server.Post("/upload", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content("got " + request.get_file_value("file").content, "text/plain");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

    WinINetPoster poster;
    SignalRecorder recorder;
    recorder.Watch(poster);
    poster.SetPostUrl("https://localhost:" + std::to_string(port) + "/upload");
    ASSERT_TRUE(poster.Post(Bytes("secret"), 6, L".txt"));
    ASSERT_TRUE(poster.WaitUntilIdle(kWaitMs));
    server.stop();
    listener.join();
    std::system(("rm -rf " + certificate.folder).c_str());
    EXPECT_EQ(recorder.Completions(), 1);
    EXPECT_EQ(poster.GetResponse(), "got secret");
}

}  // namespace
