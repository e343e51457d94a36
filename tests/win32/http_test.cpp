// The WinINet transport against a real loopback server: a Winsock thread that reads each
// request whole (header block and Content-Length body), records the bytes and answers what
// the case scripts. Also drives the upload client, the poster and the downloader through it.
#include <winsock2.h>
// winsock2.h before windows.h (pulled in by the headers below).
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Network/HttpClient.h"
#include "Network/HttpDowner.h"
#include "Network/WinINetPoster.h"
#include "platform/http/HttpSession.h"
#include "tests/win32/Check.h"
#include "threading/EventHandler.h"

namespace {

const size_t kChunk = 131072;

class LoopbackServer {
  public:
    // Runs once per accepted connection, on the server's thread.
    typedef std::function<void(SOCKET)> Handler;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int size = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        listen(listener_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        stopping_.store(true);
        thread_.join();
        closesocket(listener_);
    }

    uint16_t Port() const { return port_; }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }
    bool Stopping() const { return stopping_.load(); }
    // The requests read so far, in arrival order.
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    // Reads the header block and as many body bytes as its Content-Length says, and records
    // the request.
    std::string ReadRequest(SOCKET s) {
        std::string bytes;
        size_t wanted = std::string::npos;
        char buffer[65536];
        while (wanted == std::string::npos || bytes.size() < wanted) {
            const int n = recv(s, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            bytes.append(buffer, n);
            const size_t end = bytes.find("\r\n\r\n");
            if (wanted == std::string::npos && end != std::string::npos) {
                wanted = end + 4 +
                         static_cast<size_t>(std::atoll(Header(bytes, "Content-Length").c_str()));
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(bytes);
        return bytes;
    }
    static void WriteAll(SOCKET s, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const int n = send(s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
    }
    // Waits without answering until the client closes the connection or the server stops.
    void Stall(SOCKET s) {
        while (!Stopping()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s, &readable);
            timeval wait = {0, 20000};
            if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
                char byte;
                if (recv(s, &byte, 1, 0) <= 0) return;
            }
        }
    }
    // The value of the first header line of that name in a request, "" without one.
    static std::string Header(const std::string& request, const std::string& name) {
        const size_t at = request.find("\r\n" + name + ": ");
        if (at == std::string::npos) return std::string();
        const size_t start = at + name.size() + 4;
        return request.substr(start, request.find("\r\n", start) - start);
    }
    static std::string Body(const std::string& request) {
        const size_t end = request.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : request.substr(end + 4);
    }

  private:
    void Serve() {
        while (!stopping_.load()) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait = {0, 20000};
            if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
            const SOCKET s = accept(listener_, nullptr, nullptr);
            if (s == INVALID_SOCKET) continue;
            handler_(s);
            shutdown(s, SD_SEND);
            closesocket(s);
        }
    }

    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

std::string Response(const std::string& statusLine, const std::string& body,
                     const std::string& extra = std::string()) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

platform::HttpRequestSetup Setup(const LoopbackServer& server, const std::string& verb,
                                 const std::string& target) {
    platform::HttpRequestSetup setup;
    setup.agent = "Velloran7";
    setup.scheme = "http";
    setup.host = "127.0.0.1";
    setup.port = server.Port();
    setup.verb = verb;
    setup.target = target;
    return setup;
}

// Reads the response body to its end; false on a transport error.
bool ReadAll(platform::HttpSession& session, std::string* body) {
    char buffer[7000];
    for (;;) {
        size_t ready = 0;
        if (!session.Available(&ready)) return false;
        if (ready == 0) return true;
        size_t got = 0;
        if (!session.Read(buffer, sizeof(buffer), &got)) return false;
        body->append(buffer, got);
    }
}

uint16_t ClosedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int size = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

int64_t Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

}  // namespace

TEST_CASE(PostBodyOfSeveralChunksArrivesWholeWithItsLengthAndHeaders) {
    LoopbackServer server([&](SOCKET s) {
        server.ReadRequest(s);
        LoopbackServer::WriteAll(s, Response("200 OK", "stored", "Content-Type: text/plain\r\n"));
    });
    const std::string body = Pattern(3 * kChunk + 4321);
    platform::HttpRequestSetup setup = Setup(server, "POST", "/up load?a=1");
    setup.headers = "X-Part: one\r\nCookie: sid=42\r\n";
    setup.bodyLength = static_cast<int64_t>(body.size());
    uint64_t sentSum = 0;
    bool sentElsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    platform::HttpSessionHooks hooks;
    hooks.sent = [&](unsigned long bytes) {
        sentSum += bytes;
        sentElsewhere = sentElsewhere || std::this_thread::get_id() != caller;
    };
    std::unique_ptr<platform::HttpSession> session = platform::OpenHttpSession(setup, hooks);
    CHECK(session != nullptr);
    if (!session) return;
    CHECK(session->Connect());
    CHECK(session->SendHeaders());
    size_t offset = 0;
    int chunks = 0;
    CHECK(session->WriteBody([&](const char** data, size_t* length) {
        *length = std::min(kChunk, body.size() - offset);
        *data = body.data() + offset;
        offset += *length;
        chunks += *length > 0;
        return true;
    }));
    CHECK_EQ(chunks, 4);
    CHECK(session->EndRequest());
    CHECK(sentSum >= body.size());
    CHECK(!sentElsewhere);
    CHECK_EQ(session->Status(), 200u);
    CHECK_EQ(session->RawHeaders().substr(0, 15), std::string("HTTP/1.1 200 OK"));
    CHECK(session->RawHeaders().find("Content-Type: text/plain\r\n") != std::string::npos);
    CHECK_EQ(session->RawHeaders().substr(session->RawHeaders().size() - 4),
             std::string("\r\n\r\n"));
    std::string answer;
    CHECK(ReadAll(*session, &answer));
    CHECK_EQ(answer, std::string("stored"));
    CHECK_EQ(session->LastError(), 0L);

    const std::vector<std::string> requests = server.Requests();
    CHECK_EQ(requests.size(), size_t(1));
    if (requests.empty()) return;
    const std::string& request = requests[0];
    CHECK_EQ(request.substr(0, request.find("\r\n")), std::string("POST /up%20load?a=1 HTTP/1.1"));
    CHECK_EQ(LoopbackServer::Header(request, "Content-Length"), std::to_string(body.size()));
    CHECK_EQ(LoopbackServer::Header(request, "X-Part"), std::string("one"));
    CHECK_EQ(LoopbackServer::Header(request, "Cookie"), std::string("sid=42"));
    CHECK_EQ(LoopbackServer::Header(request, "User-Agent"), std::string("Velloran7"));
    CHECK(LoopbackServer::Body(request) == body);
}

TEST_CASE(GetReadsTheWholeBodyAndReportsErrorStatusesAsAnswers) {
    const std::string picture = Pattern(300000);
    LoopbackServer server([&](SOCKET s) {
        const std::string request = server.ReadRequest(s);
        if (request.compare(0, 14, "GET /pic.png?v") == 0) {
            LoopbackServer::WriteAll(s, Response("200 OK", picture, "Content-Type: image/png\r\n"));
        } else if (request.compare(0, 9, "GET /gone") == 0) {
            LoopbackServer::WriteAll(s, Response("404 Not Found", "no such thing"));
        } else {
            LoopbackServer::WriteAll(s, Response("500 Internal Server Error", "broken"));
        }
    });
    struct Expected {
        const char* target;
        uint32_t status;
        std::string body;
    };
    for (const Expected& expected :
         {Expected{"/pic.png?v=2", 200, picture}, Expected{"/gone", 404, "no such thing"},
          Expected{"/fail", 500, "broken"}}) {
        std::unique_ptr<platform::HttpSession> session =
            platform::OpenHttpSession(Setup(server, "GET", expected.target), {});
        CHECK(session->Connect() && session->SendHeaders() && session->EndRequest());
        CHECK_EQ(session->Status(), expected.status);
        std::string body;
        CHECK(ReadAll(*session, &body));
        CHECK(body == expected.body);
        CHECK_EQ(session->LastError(), 0L);
    }
    const std::vector<std::string> requests = server.Requests();
    CHECK_EQ(requests.size(), size_t(3));
    if (!requests.empty()) CHECK_EQ(LoopbackServer::Body(requests[0]), std::string());
}

TEST_CASE(RedirectsAreFollowedOnlyWhenAsked) {
    LoopbackServer server([&](SOCKET s) {
        const std::string request = server.ReadRequest(s);
        if (request.compare(0, 9, "GET /old ") == 0) {
            LoopbackServer::WriteAll(s, Response("302 Found", "", "Location: /new\r\n"));
        } else {
            LoopbackServer::WriteAll(s, Response("200 OK", "moved here"));
        }
    });
    for (bool follow : {false, true}) {
        platform::HttpRequestSetup setup = Setup(server, "GET", "/old");
        setup.followRedirects = follow;
        std::unique_ptr<platform::HttpSession> session = platform::OpenHttpSession(setup, {});
        CHECK(session->Connect() && session->SendHeaders() && session->EndRequest());
        CHECK_EQ(session->Status(), follow ? 200u : 302u);
        std::string body;
        CHECK(ReadAll(*session, &body));
        CHECK_EQ(body, std::string(follow ? "moved here" : ""));
    }
}

TEST_CASE(UnreachableOrUnusableServersFailConnectWithoutHanging) {
    platform::HttpRequestSetup setup;
    setup.agent = "Velloran7";
    setup.scheme = "http";
    setup.host = "127.0.0.1";
    setup.port = ClosedPort();
    setup.verb = "POST";
    setup.bodyLength = 10;
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<platform::HttpSession> session = platform::OpenHttpSession(setup, {});
    CHECK(!session->Connect());
    CHECK(session->LastError() != 0);
    CHECK(!session->SendHeaders());
    CHECK_EQ(session->RawHeaders(), std::string());
    CHECK_EQ(session->Status(), 0u);
    session.reset();
    CHECK(Ms(started) < 10000);

    setup.scheme = "ftp";
    session = platform::OpenHttpSession(setup, {});
    CHECK(!session->Connect());
    CHECK_EQ(session->LastError(), static_cast<long>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
    setup.scheme = "http";
    setup.host.clear();
    session = platform::OpenHttpSession(setup, {});
    CHECK(!session->Connect());
    CHECK(session->LastError() != 0);
}

TEST_CASE(CancelEndsAStalledRequestPromptly) {
    LoopbackServer server([&](SOCKET s) {
        server.ReadRequest(s);
        server.Stall(s);
    });
    // A GET waits for the answer in Connect, a POST in EndRequest.
    for (const char* verb : {"GET", "POST"}) {
        std::atomic<bool> cancel{false};
        platform::HttpSessionHooks hooks;
        hooks.cancelled = [&] { return cancel.load(); };
        platform::HttpRequestSetup setup = Setup(server, verb, "/slow");
        setup.bodyLength = std::string(verb) == "POST" ? 5 : 0;
        std::unique_ptr<platform::HttpSession> session = platform::OpenHttpSession(setup, hooks);
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            cancel.store(true);
        });
        const auto started = std::chrono::steady_clock::now();
        bool ok = session->Connect() && session->SendHeaders();
        if (ok && setup.bodyLength > 0) {
            bool given = false;
            ok = session->WriteBody([&](const char** data, size_t* length) {
                *data = "hello";
                *length = given ? 0 : 5;
                given = true;
                return true;
            });
        }
        ok = ok && session->EndRequest();
        canceller.join();
        CHECK(!ok);
        CHECK(Ms(started) < 2000);
        CHECK_EQ(session->LastError(), static_cast<long>(ERROR_INTERNET_OPERATION_CANCELLED));
        size_t ready = 0;
        CHECK(!session->Available(&ready));
        const auto closing = std::chrono::steady_clock::now();
        session.reset();
        CHECK(Ms(closing) < 3000);
    }
}

TEST_CASE(AResponseCutShortIsATransportError) {
    LoopbackServer server([&](SOCKET s) {
        server.ReadRequest(s);
        LoopbackServer::WriteAll(
            s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 'x'));
    });
    std::unique_ptr<platform::HttpSession> session =
        platform::OpenHttpSession(Setup(server, "GET", "/cut"), {});
    CHECK(session->Connect() && session->SendHeaders() && session->EndRequest());
    CHECK_EQ(session->Status(), 200u);
    std::string body;
    CHECK(!ReadAll(*session, &body));
    CHECK(body.size() <= 1000);
    CHECK(session->LastError() != 0);
}

// A length a 32-bit count cannot hold must not wrap to a small one and pass as a whole body:
// 4 GiB + 10 would read as 10, and the 10 bytes sent would count as the complete download.
// The length is announced as sent, and the short body fails the download.
TEST_CASE(DownloadsAnnouncingLengthsBeyond32BitsAreRefused) {
    for (const int64_t length : {int64_t(1) << 31, (int64_t(1) << 32) + 10}) {
        LoopbackServer server([&](SOCKET s) {
            server.ReadRequest(s);
            LoopbackServer::WriteAll(s,
                                     "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n"
                                     "Content-Length: " +
                                         std::to_string(length) + "\r\n\r\n0123456789");
        });
        HttpDowner downer;
        struct Sink : sigslot::has_slots<> {
            std::vector<int64_t> lengths;
            void OnLength(int64_t announced) { lengths.push_back(announced); }
        } sink;
        downer.Length.connect(&sink, &Sink::OnLength);
        CHECK(downer.Download(server.Url("/big.jpg"), "") != 1);
        CHECK(sink.lengths == std::vector<int64_t>{length});
    }
}

namespace {

struct Recorder : sigslot::has_slots<> {
    std::mutex mutex;
    uint64_t sent = 0;
    std::vector<unsigned int> errors;
    bool complete = false;
    Korvane::Threading::EventHandler done;
    void OnSent(unsigned long bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        sent += bytes;
    }
    void OnError(unsigned int code) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            errors.push_back(code);
        }
        if (code == 2) done.Set();
    }
    void OnComplete() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            complete = true;
        }
        done.Set();
    }
};

}  // namespace

TEST_CASE(UploadClientPosterAndDownloaderRunOverTheTransport) {
    const std::string file = Pattern(2 * kChunk + 99);
    LoopbackServer server([&](SOCKET s) {
        const std::string request = server.ReadRequest(s);
        if (request.compare(0, 4, "GET ") == 0) {
            LoopbackServer::WriteAll(s, Response("200 OK", file, "Content-Type: image/jpeg\r\n"));
        } else {
            LoopbackServer::WriteAll(s,
                                     Response("200 OK", "{\"url\":\"/u/1.png\"}",
                                              "Content-Type: application/json; charset=utf-8\r\n"));
        }
    });

    // The upload client, with its body in pieces.
    {
        Recorder recorder;
        HttpClient client;
        client.Sent.connect(&recorder, &Recorder::OnSent);
        client.SetHeaders("Accept: */*\r\nCookie: k=v\r\n");
        client.SetBodyPieces(
            {{file.data(), 1000}, {file.data() + 1000, int32_t(file.size()) - 1000}});
        CHECK_EQ(client.Post(server.Url("/post"), "", "Velloran7"), 1);
        CHECK_EQ(client.GetStatus(), 200u);
        CHECK_EQ(client.GetResponse(), std::string("{\"url\":\"/u/1.png\"}"));
        CHECK_EQ(client.GetResponseHeader("Content-Type"),
                 std::string(" application/json; charset=utf-8"));
        CHECK(recorder.sent >= file.size());
        const std::vector<std::string> requests = server.Requests();
        CHECK(!requests.empty() && LoopbackServer::Body(requests.back()) == file);
    }

    // The poster: a multipart upload on its worker.
    {
        Recorder recorder;
        WinINetPoster poster;
        poster.Progress.connect(&recorder, &Recorder::OnSent);
        poster.Error.connect(&recorder, &Recorder::OnError);
        poster.Complete.connect(&recorder, &Recorder::OnComplete);
        poster.SetPostUrl(server.Url("/upload"));
        boost::shared_array<char> data(new char[file.size()]);
        std::copy(file.begin(), file.end(), data.get());
        CHECK(poster.Post(data, static_cast<int32_t>(file.size()), L".png"));
        CHECK(recorder.done.WaitFor(20000));
        CHECK(poster.WaitUntilIdle(5000));
        CHECK(recorder.complete);
        CHECK(recorder.errors.empty());
        CHECK_EQ(poster.GetResponse(), std::string("{\"url\":\"/u/1.png\"}"));
        CHECK(recorder.sent >= file.size());
        const std::string request = server.Requests().back();
        CHECK(request.find(file) != std::string::npos);
        CHECK(LoopbackServer::Header(request, "Content-Type")
                  .find("multipart/form-data; boundary=") == 0);
    }

    // The downloader.
    {
        HttpDowner downer;
        std::string received;
        struct Sink : sigslot::has_slots<> {
            std::string* out;
            void OnData(char* bytes, unsigned long count) { out->append(bytes, count); }
        } sink;
        sink.out = &received;
        downer.Data.connect(&sink, &Sink::OnData);
        CHECK_EQ(downer.Download(server.Url("/pic.jpg"), ""), 1);
        CHECK_EQ(downer.GetStatus(), 200u);
        CHECK_EQ(downer.GetContentType(), std::string("image/jpeg"));
        CHECK(received == file);
    }
}

int main() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    const int result = wincheck::RunAll();
    WSACleanup();
    return result;
}
