#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

#include "host/StdioServer.h"

namespace host {

void PrepareStdio() {
    // A closed port makes writes fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
}

Ending ServeStdio(HostLoop& loop, HostSession& session) {
    FrameReader reader;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {loop.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return Ending::kFailed;
        }
        if (fds[1].revents & POLLIN) loop.RunPosted();
        if (fds[0].revents & POLLNVAL) return Ending::kClosed;  // no input at all
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ReportInputEnd(reader);
            return Ending::kClosed;
        }
        Ending ending = Ending::kClosed;
        if (!HandleInput(reader, chunk.data(), static_cast<size_t>(n), loop, session, ending))
            return ending;
    }
}

}  // namespace host
