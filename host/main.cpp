// quillon-host: the page interface for current browsers, over native messaging. The browser
// starts one process per page instance (one extension port); its main loop is the page
// thread. Standard input closed: the instance stops its transfers and the process exits 0.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Biz/Log.h"
#include "host/Folders.h"
#include "host/Framing.h"
#include "host/HostLoop.h"
#include "host/HostSession.h"
#include "host/Manifests.h"
#include "host/MessageWriter.h"
#include "host/TestClipboard.h"
#include "image/CImageFileUploader.h"

namespace {

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: quillon-host chrome-extension://ID/          (started by Chromium)\n"
                 "       quillon-host MANIFEST EXTENSION-ID            (started by Firefox)\n"
                 "       quillon-host --print-manifest chromium|firefox\n"
                 "       quillon-host --install-user\n");
    return out == stdout ? 0 : 2;
}

// Entries removed from the table finish on threads of their own; the process waits for them
// (they were asked to stop) so that none runs while the process exits.
void WaitForUploadEntries() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (CImageFileUploader::LiveCount() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

enum class Ending { kClosed, kRefused, kFailed };

Ending Serve(host::HostLoop& loop, host::HostSession& session) {
    host::FrameReader reader;
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
            if (reader.Pending() > 0)
                std::fprintf(stderr, "quillon-host: the last message was cut short\n");
            return Ending::kClosed;
        }
        reader.Append(chunk.data(), static_cast<size_t>(n));
        std::string body;
        for (;;) {
            const host::FrameReader::Status status = reader.Next(body);
            if (status == host::FrameReader::kNeedMore) break;
            if (status == host::FrameReader::kTooLong) {
                std::fprintf(stderr, "quillon-host: a message over %u bytes, the session ends\n",
                             host::kMaxIncomingFrame);
                return Ending::kRefused;
            }
            if (!session.Handle(body)) return Ending::kRefused;
            // Deliveries a request scheduled run before the next request, as in a browser.
            loop.RunPosted();
        }
    }
}

int RunHost() {
    // A closed port makes writes fail, not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
    host::InstallTestClipboard();
    // A page names its log file ("LogFile"); only the name is taken, the folder is ours
    // (without a home, one that cannot exist: no log rather than one the page places).
    const std::string logFolder = host::LogFolder();
    Log::Instance().ConfineTo(logFolder.empty() ? std::string("/nonexistent/npquillon")
                                                : logFolder);
    if (!logFolder.empty()) host::MakeDirectories(logFolder);
    host::HostLoop loop;
    if (!loop.ok()) {
        std::fprintf(stderr, "quillon-host: no wake-up pipe: %s\n", std::strerror(errno));
        return 1;
    }
    auto writer = std::make_shared<host::MessageWriter>(STDOUT_FILENO);
    Ending ending;
    {
        host::HostSession session(loop, writer);
        ending = Serve(loop, session);
        session.End();
    }
    // Calls the workers posted while they stopped find no instance and do nothing.
    loop.RunPosted();
    WaitForUploadEntries();
    loop.RunPosted();
    return ending == Ending::kClosed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage(stderr);
    if (args[0] == "--help" || args[0] == "-h") return Usage(stdout);
    if (args[0] == "--print-manifest") {
        if (args.size() != 2 || (args[1] != "chromium" && args[1] != "firefox"))
            return Usage(stderr);
        const host::Browser browser =
            args[1] == "chromium" ? host::Browser::kChromium : host::Browser::kFirefox;
        std::fputs(host::ManifestText(browser, host::OwnProgramPath()).c_str(), stdout);
        return 0;
    }
    if (args[0] == "--install-user") {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            std::fprintf(stderr, "quillon-host: HOME is not set\n");
            return 1;
        }
        return host::InstallUser(home, host::OwnProgramPath()) ? 0 : 1;
    }
    std::string reason;
    if (!host::AcceptCaller(args, reason)) {
        std::fprintf(stderr, "quillon-host: refused: %s\n", reason.c_str());
        return 2;
    }
    return RunHost();
}
