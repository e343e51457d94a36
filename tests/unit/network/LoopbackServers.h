// Loopback servers for the transport tests: a raw TCP server whose handler controls every
// byte of the exchange, an in-process cpp-httplib server, and a self-signed certificate.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Network/CancelFlag.h"

// Accepts connections on 127.0.0.1 one after another and hands each to the handler on the
// server's thread.
class RawServer {
  public:
    typedef std::function<void(int socket)> Handler;

    explicit RawServer(Handler handler);
    ~RawServer();

    uint16_t Port() const { return port_; }
    std::string Url(const std::string& target) const;
    // True once Stop or the destructor began: long handlers should return then.
    bool Stopping() const { return stopping_.load(); }

    // Reads one request: the header block and as many body bytes as Content-Length says.
    static std::string ReadRequest(int socket);
    static void WriteAll(int socket, const std::string& bytes);
    // Closes with a reset instead of an orderly shutdown.
    static void Abort(int socket);

  private:
    void Serve();

    Handler handler_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// A port on which nothing listens.
uint16_t UnusedPort();

// A key and a self-signed certificate for "localhost", made with the openssl program in a
// fresh temporary folder; empty paths when that failed.
struct SelfSignedCertificate {
    std::string folder;
    std::string certificate;
    std::string key;
};
SelfSignedCertificate MakeSelfSignedCertificate();
