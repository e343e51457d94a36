// quillon serve: the project's upload server. It stores the "file" part of every multipart
// POST in its folder under the part's file name, answers with the stored file's address, and
// serves the stored files back. Slow, idle and oversized requests are bounded (ServerOptions).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "tools/quillon/Command.h"
#include "tools/quillon/ConnectionLoop.h"
#include "tools/quillon/ServeRequests.h"
#include "tools/quillon/ServerOptions.h"
#include "tools/quillon/UploadFolder.h"

namespace {

// A loopback listening socket on the port (0: any free one); its port, or -1.
int Listen(int port, int* fd) {
    *fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (*fd < 0) return -1;
    const int on = 1;
    setsockopt(*fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(*fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(*fd, SOMAXCONN) != 0 ||
        getsockname(*fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        close(*fd);
        return -1;
    }
    return ntohs(address.sin_port);
}

int Run(const std::vector<std::string>& args) {
    ServerOptions options;
    if (!ParseServerOptions(args, &options)) return 2;
    UploadFolder folder(options.folder);

    int listenFd = -1;
    const int port = Listen(options.port, &listenFd);
    if (port <= 0) {
        std::fprintf(stderr, "quillon serve: cannot listen on port %d\n", options.port);
        return 1;
    }
    std::printf("%d\n", port);
    std::fflush(stdout);

    const ServeContext context = {options, folder, port};
    ConnectionLoop loop(listenFd, options,
                        [&context](Connection& c) { return HandleRequest(context, c); });
    loop.Run();
    return 1;
}

Command cmd("serve",
            "serve [--port N] [--dir D] [--header-timeout S] [--idle-timeout S] [--min-rate B]\n"
            "        [--max-header-bytes B] [--max-body-bytes B] [--max-connections N]\n"
            "        [--workers N] - upload server: stores posted files, serves them",
            &Run);

}  // namespace
