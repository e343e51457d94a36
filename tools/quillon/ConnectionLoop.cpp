#include "tools/quillon/ConnectionLoop.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "tools/quillon/RequestHead.h"

namespace {

const size_t kReceiveBytes = 16384;

void CloseWith408(int fd) {
    static const char kAnswer[] =
        "HTTP/1.1 408 Request Timeout\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    // Best effort and without waiting: the client is slow by definition.
    (void)!send(fd, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
}

}  // namespace

ConnectionLoop::ConnectionLoop(int listenFd, const ServerOptions& options, RequestHandler handler)
    : listenFd_(listenFd), options_(options), handler_(std::move(handler)) {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (size_t i = 0; i < options_.workers; ++i) workers_.emplace_back([this] { WorkerMain(); });
}

ConnectionLoop::~ConnectionLoop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(Connection());  // fd -1: a worker's signal to stop
    }
    jobReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    for (Watched& watched : watched_) close(watched.connection.fd);
    for (Connection& connection : jobs_) {
        if (connection.fd >= 0) close(connection.fd);
    }
    for (Connection& connection : returned_) close(connection.fd);
    if (wakeFd_ >= 0) close(wakeFd_);
}

void ConnectionLoop::Run() {
    std::vector<pollfd> entries;
    std::vector<std::list<Watched>::iterator> owners;
    for (;;) {
        const ServeClock::time_point now = ServeClock::now();
        // Deadlines first: idle connections close, unfinished header blocks get a 408.
        for (auto it = watched_.begin(); it != watched_.end();) {
            if (it->deadline > now) {
                ++it;
                continue;
            }
            if (it->started) {
                CloseWith408(it->connection.fd);
            } else {
                close(it->connection.fd);
            }
            it = watched_.erase(it);
        }

        entries.clear();
        owners.clear();
        const bool accepting = now >= acceptPausedUntil_;
        entries.push_back({wakeFd_, POLLIN, 0});
        entries.push_back({accepting ? listenFd_ : -1, POLLIN, 0});
        ServeClock::time_point wakeAt = now + std::chrono::seconds(60);
        if (!accepting) wakeAt = std::min(wakeAt, acceptPausedUntil_);
        for (auto it = watched_.begin(); it != watched_.end(); ++it) {
            entries.push_back({it->connection.fd, POLLIN, 0});
            owners.push_back(it);
            wakeAt = std::min(wakeAt, it->deadline);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - now);
        const int ready = poll(entries.data(), entries.size(),
                               static_cast<int>(std::max<long long>(wait.count(), 0) + 1));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        const ServeClock::time_point later = ServeClock::now();
        for (size_t i = 0; i < owners.size(); ++i) {
            if (entries[i + 2].revents != 0) Receive(*owners[i], later);
        }
        // Receive leaves the handed-on and closed connections with fd -1.
        watched_.remove_if([](const Watched& w) { return w.connection.fd < 0; });
        if (entries[0].revents != 0) {
            uint64_t count;
            (void)!read(wakeFd_, &count, sizeof count);
            TakeReturned(later);
        }
        if (entries[1].revents != 0) Accept(later);
    }
}

void ConnectionLoop::Accept(ServeClock::time_point now) {
    for (int i = 0; i < 64; ++i) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                if (!watched_.empty()) {
                    DropOldest();
                    continue;
                }
                acceptPausedUntil_ = now + std::chrono::milliseconds(100);
            }
            return;
        }
        size_t handedOut;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handedOut = handedOut_;
        }
        if (watched_.size() + handedOut >= options_.maxConnections) {
            if (watched_.empty()) {
                close(fd);  // every connection is at a worker: the new one waits its turn
                continue;
            }
            DropOldest();
        }
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Connection connection;
        connection.fd = fd;
        Watch(std::move(connection), now);
    }
}

void ConnectionLoop::DropOldest() {
    close(watched_.front().connection.fd);
    watched_.pop_front();
}

void ConnectionLoop::Watch(Connection connection, ServeClock::time_point now) {
    Watched watched;
    watched.connection = std::move(connection);
    watched.deadline = now + options_.idleTimeout;
    watched_.push_back(std::move(watched));
    // Bytes of a pipelined request may already be here.
    if (!watched_.back().connection.pending.empty() && !Examine(watched_.back(), now)) {
        watched_.pop_back();
    }
}

bool ConnectionLoop::Receive(Watched& watched, ServeClock::time_point now) {
    Connection& connection = watched.connection;
    char bytes[kReceiveBytes];
    const ssize_t got = recv(connection.fd, bytes, sizeof bytes, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        close(connection.fd);
        connection.fd = -1;
        return false;
    }
    if (got > 0) connection.pending.append(bytes, static_cast<size_t>(got));
    return Examine(watched, now);
}

bool ConnectionLoop::Examine(Watched& watched, ServeClock::time_point now) {
    Connection& connection = watched.connection;
    // Empty lines before a request are allowed and skipped.
    const size_t start = connection.pending.find_first_not_of("\r\n");
    connection.pending.erase(0, start == std::string::npos ? connection.pending.size() : start);
    if (connection.pending.empty()) return true;
    if (!watched.started) {
        watched.started = true;
        watched.deadline = now + options_.headerTimeout;
    }

    connection.headLength = HeaderBlockLength(connection.pending);
    if (connection.headLength == 0 && connection.pending.size() <= options_.maxHeaderBytes) {
        return true;
    }
    if (connection.headLength == 0 || connection.headLength > options_.maxHeaderBytes) {
        connection.refuseStatus = 431;
    }
    Dispatch(std::move(connection));
    connection = Connection();
    return false;
}

void ConnectionLoop::Dispatch(Connection connection) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(connection));
        ++handedOut_;
    }
    jobReady_.notify_one();
}

void ConnectionLoop::TakeReturned(ServeClock::time_point now) {
    std::vector<Connection> back;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        back.swap(returned_);
    }
    for (Connection& connection : back) Watch(std::move(connection), now);
}

void ConnectionLoop::WorkerMain() {
    for (;;) {
        Connection connection;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            jobReady_.wait(lock, [this] { return !jobs_.empty(); });
            if (jobs_.front().fd < 0) return;  // stopping: the marker stays for the others
            connection = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const bool keep = handler_(connection);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --handedOut_;
            if (keep) returned_.push_back(std::move(connection));
        }
        if (keep) {
            const uint64_t one = 1;
            (void)!write(wakeFd_, &one, sizeof one);
        }
    }
}
