#include "tests/unit/network/LoopbackServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

RawServer::RawServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 8);
    socklen_t size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

RawServer::~RawServer() {
    stopping_.store(true);
    thread_.join();
    close(listener_);
}

std::string RawServer::Url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void RawServer::Serve() {
    while (!stopping_.load()) {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0) continue;
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        handler_(connection);
        close(connection);
    }
}

std::string RawServer::ReadRequest(int socket) {
    std::string request;
    char buffer[65536];
    size_t bodyStart = std::string::npos;
    size_t total = std::string::npos;
    while (total == std::string::npos || request.size() < total) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
        if (bodyStart == std::string::npos) {
            const size_t end = request.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            bodyStart = end + 4;
            const size_t at = request.find("Content-Length: ");
            const size_t length = at != std::string::npos && at < end
                                      ? std::strtoul(&request[at + 16], nullptr, 10)
                                      : 0;
            total = bodyStart + length;
        }
    }
    return request;
}

void RawServer::WriteAll(int socket, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void RawServer::Abort(int socket) {
    linger option{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

uint16_t UnusedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

SelfSignedCertificate MakeSelfSignedCertificate() {
    SelfSignedCertificate made;
    char folder[] = "/tmp/quillon-cert-XXXXXX";
    if (!mkdtemp(folder)) return made;
    made.folder = folder;
    const std::string certificate = made.folder + "/cert.pem";
    const std::string key = made.folder + "/key.pem";
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
        " -keyout " +
        key + " -out " + certificate + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return made;
    made.certificate = certificate;
    made.key = key;
    return made;
}
