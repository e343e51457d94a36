// The upload client on its own: the body goes out chunk by chunk straight from the caller's
// buffer, and the cancel flag stops it before the next chunk.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <string>
#include <vector>

#include "Network/HttpClient.h"
#include "tests/unit/network/LoopbackServers.h"

namespace {

// Counts what the client reports as sent and raises the cancel flag once the body began.
class SentCounter : public sigslot::has_slots<> {
  public:
    SentCounter(HttpClient& client, CancelFlag flag, unsigned long cancelAfter)
        : flag_(flag), cancelAfter_(cancelAfter) {
        client.Sent.connect(this, &SentCounter::OnSent);
    }
    ~SentCounter() override { disconnect_all(); }

    unsigned long total = 0;
    unsigned long atCancel = 0;

  private:
    void OnSent(unsigned long bytes) {
        total += bytes;
        if (atCancel == 0 && total > cancelAfter_) {
            atCancel = total;
            flag_->store(true);
        }
    }

    CancelFlag flag_;
    unsigned long cancelAfter_;
};

// Reads everything the client sends until the client goes away, then answers nothing.
RawServer::Handler Drain(std::atomic<size_t>& received) {
    return [&received](int socket) {
        char buffer[65536];
        ssize_t n = 0;
        while ((n = recv(socket, buffer, sizeof buffer, 0)) > 0)
            received.fetch_add(static_cast<size_t>(n));
    };
}

TEST(HttpClientBodyTest, WholeBodyArrivesInOrderAndSentAddsUp) {
    std::string request;
    RawServer server([&](int socket) {
        request = RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket,
                            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    // Not a multiple of the chunk size, and every chunk different.
    std::string body(HttpClient::kChunkSize * 5 + 777, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) ^ (i >> 17));
    HttpClient client;
    SentCounter counter(client, MakeCancelFlag(), ~0ul);
    client.SetBody(body.data(), static_cast<int32_t>(body.size()));
    ASSERT_EQ(client.Post(server.Url("/up"), std::string(), "agent"), 1);
    EXPECT_EQ(client.GetStatus(), 200u);
    EXPECT_EQ(client.GetResponse(), "ok");
    ASSERT_GT(request.size(), body.size());
    EXPECT_EQ(request.substr(request.size() - body.size()), body);
    EXPECT_EQ(counter.total, request.size());
}

TEST(HttpClientBodyTest, PiecesGoOutAsOneBodyWhateverTheChunkBoundaries) {
    std::string request;
    RawServer server([&](int socket) {
        request = RawServer::ReadRequest(socket);
        RawServer::WriteAll(socket,
                            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    // Chunks that start inside a piece, span three pieces, end exactly at a piece's end, and
    // pieces that are empty or missing.
    const size_t chunk = HttpClient::kChunkSize;
    const size_t sizes[] = {100, 2 * chunk + 5, 0, 1, chunk - 6, chunk, 777};
    std::vector<std::string> pieces;
    std::string whole;
    for (size_t size : sizes) {
        std::string piece(size, '\0');
        for (size_t i = 0; i < size; ++i)
            piece[i] = static_cast<char>((whole.size() + i) * 7 + (whole.size() + i) / 251);
        whole += piece;
        pieces.push_back(piece);
    }
    std::vector<HttpClient::BodyPiece> body;
    for (const std::string& piece : pieces)
        body.push_back({piece.data(), static_cast<int32_t>(piece.size())});
    body.insert(body.begin() + 3, HttpClient::BodyPiece{nullptr, 50});
    HttpClient client;
    SentCounter counter(client, MakeCancelFlag(), ~0ul);
    client.SetBodyPieces(body);
    ASSERT_EQ(client.Post(server.Url("/up"), std::string(), "agent"), 1);
    EXPECT_EQ(client.GetResponse(), "ok");
    EXPECT_NE(request.find("\r\nContent-Length: " + std::to_string(whole.size()) + "\r\n"),
              std::string::npos);
    ASSERT_GT(request.size(), whole.size());
    EXPECT_TRUE(request.substr(request.size() - whole.size()) == whole);
    EXPECT_EQ(counter.total, request.size());
}

TEST(HttpClientBodyTest, CancelStopsTheBodyBeforeTheNextChunk) {
    std::atomic<size_t> received{0};
    RawServer server(Drain(received));
    // Far more than the loopback socket buffers hold, so the transfer cannot finish at once.
    const std::string body(HttpClient::kChunkSize * 400, 'c');
    const CancelFlag flag = MakeCancelFlag();
    HttpClient client;
    client.SetCancelFlag(flag);
    SentCounter counter(client, flag, 2ul * HttpClient::kChunkSize);
    client.SetBody(body.data(), static_cast<int32_t>(body.size()));
    EXPECT_EQ(client.Post(server.Url("/up"), std::string(), "agent"), 0);
    ASSERT_GT(counter.atCancel, 0ul);
    // The chunk under way may still go out, but no chunk is taken after the flag is up.
    EXPECT_LE(counter.total, counter.atCancel + static_cast<unsigned long>(HttpClient::kChunkSize));
    EXPECT_LT(counter.total, body.size());
}

}  // namespace
