#include "tools/quillon/SocketIo.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool WaitForSocket(int fd, short events, ServeClock::time_point until) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - ServeClock::now());
        if (left.count() <= 0) return false;
        pollfd entry = {fd, events, 0};
        const int ready =
            poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 60000)));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

size_t ReadSome(int fd, char* buffer, size_t n, ServeClock::time_point deadline,
                ServeClock::duration stall) {
    for (;;) {
        const ssize_t got = recv(fd, buffer, n, 0);
        if (got > 0) return static_cast<size_t>(got);
        if (got == 0) return 0;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return 0;
        if (!WaitForSocket(fd, POLLIN, std::min(deadline, ServeClock::now() + stall))) return 0;
    }
}

bool WriteAll(int fd, const char* data, size_t n, ServeClock::time_point deadline,
              ServeClock::duration stall) {
    while (n > 0) {
        const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            n -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (!WaitForSocket(fd, POLLOUT, std::min(deadline, ServeClock::now() + stall))) {
            return false;
        }
    }
    return true;
}

void DrainAndClose(int fd, ServeClock::duration linger) {
    shutdown(fd, SHUT_WR);
    const ServeClock::time_point until = ServeClock::now() + linger;
    char discard[16384];
    while (WaitForSocket(fd, POLLIN, until)) {
        const ssize_t got = recv(fd, discard, sizeof discard, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    close(fd);
}
