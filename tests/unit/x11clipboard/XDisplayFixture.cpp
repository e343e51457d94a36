#include "XDisplayFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace x11test {
namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Forks and executes; `keepFd` stays open in the child, `stdoutFd` becomes its output.
pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd, int keepFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // Nothing outlives a test program that crashed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(stdoutFd >= 0 ? stdoutFd : devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    execvp(args[0], args.data());
    _exit(127);
}

struct Xvfb {
    std::string display;
    pid_t pid = -1;
    ~Xvfb() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

Xvfb* g_xvfb = nullptr;

class XvfbEnvironment : public ::testing::Environment {
  public:
    void TearDown() override {
        delete g_xvfb;
        g_xvfb = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv, bool captureStdout) {
    int fds[2] = {-1, -1};
    if (captureStdout && pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_ = Spawn(argv, fds[1], -1);
    if (fds[1] >= 0) close(fds[1]);
    stdoutFd_ = fds[0];
    return pid_ > 0;
}

bool ChildProcess::WaitForLine(const std::string& line, int timeoutMs) {
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        const size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            const std::string got = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            if (got == line) return true;
            continue;
        }
        const int64_t left = deadline - NowMs();
        if (stdoutFd_ < 0 || left <= 0) return false;
        pollfd fd = {stdoutFd_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[256];
        const ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

void ChildProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (stdoutFd_ >= 0) close(stdoutFd_);
    stdoutFd_ = -1;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(at, end - at) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return std::string();
}

const std::string& TestDisplay() {
    static const std::string none;
    if (g_xvfb) return g_xvfb->display;
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) return none;
    // Xvfb picks a free display number itself and writes it to the descriptor we give.
    int fds[2];
    if (pipe(fds) != 0) return none;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::vector<std::string> argv = {xvfb,        "-displayfd", std::to_string(fds[1]),
                                           "-nolisten", "tcp",        "-noreset",
                                           "-screen",   "0",          "320x240x24"};
    std::unique_ptr<Xvfb> server(new Xvfb);
    server->pid = Spawn(argv, -1, fds[1]);
    close(fds[1]);
    std::string number;
    const int64_t deadline = NowMs() + 20000;
    while (number.find('\n') == std::string::npos && NowMs() < deadline) {
        pollfd fd = {fds[0], POLLIN, 0};
        if (poll(&fd, 1, 200) <= 0) continue;
        char c[16];
        const ssize_t n = read(fds[0], c, sizeof c);
        if (n <= 0) break;
        number.append(c, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return none;
    server->display = ":" + number.substr(0, number.find('\n'));
    g_xvfb = server.release();
    return g_xvfb->display;
}

uint32_t ClipboardOwner(const std::string& display) {
    xcb_connection_t* conn = xcb_connect(display.c_str(), nullptr);
    uint32_t window = 0;
    if (!xcb_connection_has_error(conn)) {
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, 9, "CLIPBOARD"), nullptr);
        xcb_get_selection_owner_reply_t* owner =
            atom ? xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, atom->atom),
                                                 nullptr)
                 : nullptr;
        if (owner) window = owner->owner;
        std::free(owner);
        std::free(atom);
    }
    xcb_disconnect(conn);
    return window;
}

namespace {

template <class Done>
bool WaitFor(int timeoutMs, Done done) {
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (NowMs() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

bool WaitForNewOwner(const std::string& display, uint32_t current, int timeoutMs) {
    return WaitFor(timeoutMs, [&] {
        const uint32_t owner = ClipboardOwner(display);
        return owner != 0 && owner != current;
    });
}

bool WaitForNoOwner(const std::string& display, int timeoutMs) {
    return WaitFor(timeoutMs, [&] { return ClipboardOwner(display) == 0; });
}

void XDisplayTest::SetUp() {
    if (FindProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
    display_ = TestDisplay();
    ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    ASSERT_TRUE(WaitForNoOwner(display_, 5000)) << "a previous owner is still alive";
    char dir[] = "/tmp/quillon-x11-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tempDir_ = dir;
}

void XDisplayTest::TearDown() {
    children_.clear();
    if (!display_.empty()) WaitForNoOwner(display_, 5000);
    if (!tempDir_.empty()) {
        const std::string command = "rm -rf '" + tempDir_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
}

void XDisplayTest::StopOwners() {
    children_.clear();
    ASSERT_TRUE(WaitForNoOwner(display_, 5000));
}

void XDisplayTest::StartOwner(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QUILLON_X11_TEST_OWNER, "--display", display_};
    argv.insert(argv.end(), args.begin(), args.end());
    children_.emplace_back(new ChildProcess);
    ASSERT_TRUE(children_.back()->Start(argv, true));
    ASSERT_TRUE(children_.back()->WaitForLine("ready", 10000)) << "the test owner did not start";
}

void XDisplayTest::StartXclip(const std::string& target, const std::string& file) {
    const std::string xclip = FindProgram("xclip");
    ASSERT_FALSE(xclip.empty()) << "xclip is not installed (Debian package xclip)";
    const uint32_t previous = ClipboardOwner(display_);
    children_.emplace_back(new ChildProcess);
    // -quiet keeps it in the foreground, so it ends with the test.
    ASSERT_TRUE(children_.back()->Start({xclip, "-display", display_, "-selection", "clipboard",
                                         "-t", target, "-quiet", "-i", file},
                                        false));
    ASSERT_TRUE(WaitForNewOwner(display_, previous, 10000)) << "xclip did not take the clipboard";
}

std::string XDisplayTest::TempFile(const std::string& name, const std::string& bytes) {
    const std::string path = tempDir_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace x11test
