// quillon-host: the page interface for current browsers, over native messaging. The browser
// starts one process per page instance (one extension port); its main loop is the page
// thread. Standard input closed: the instance stops its transfers and the process exits 0.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Biz/Log.h"
#include "host/Folders.h"
#include "host/HostLoop.h"
#include "host/HostSession.h"
#include "host/Manifests.h"
#include "host/MessageWriter.h"
#include "host/StdioServer.h"
#include "host/TestClipboard.h"
#include "image/CImageFileUploader.h"
#include "platform/kernel/GraphicsSession.h"

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

int RunHost() {
    host::PrepareStdio();
    host::InstallTestClipboard();
    // A page names its log file ("LogFile"); only the name is taken, the folder is ours.
    Log::Instance().ConfineTo(host::PrepareLogFolder());
    host::HostLoop loop;
    if (!loop.ok()) {
        std::fprintf(stderr, "quillon-host: the main loop cannot be woken\n");
        return 1;
    }
    // One GDI+ session for the process's life (Windows; nothing on Linux), as the plug-in keeps
    // one per attached window: each picture's own session is then cheap.
    const uintptr_t graphics = platform::StartGraphics();
    auto writer = std::make_shared<host::MessageWriter>(host::kStdoutDescriptor);
    host::Ending ending;
    {
        host::HostSession session(loop, writer);
        ending = host::ServeStdio(loop, session);
        session.End();
    }
    // Calls the workers posted while they stopped find no instance and do nothing.
    loop.RunPosted();
    WaitForUploadEntries();
    loop.RunPosted();
    platform::StopGraphics(graphics);
    return ending == host::Ending::kClosed ? 0 : 1;
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
        if (args.size() != 1) return Usage(stderr);
        return host::InstallUser(host::OwnProgramPath()) ? 0 : 1;
    }
    std::string reason;
    if (!host::AcceptCaller(args, reason)) {
        std::fprintf(stderr, "quillon-host: refused: %s\n", reason.c_str());
        return 2;
    }
    return RunHost();
}
