// The parent side of child-process playback. The host is a browser with many threads, so the
// child does nothing between fork and exec but async-signal-safe calls (descriptors, limits,
// signal defaults); every allocation happens before the fork. Nothing process-wide of the
// host is changed: no signal disposition is touched, the child is waited for by its own pid,
// and the pipe is only read, so SIGPIPE cannot reach the host.
#include "platform/image/linux/MetafileChild.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace platform {
namespace image {

const char kMetafileRendererName[] = "npquillon-metafile";
const char kMetafileRendererVariable[] = "QUILLON_METAFILE_RENDERER";

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif
#else
const bool kSanitized = false;
#endif

typedef std::chrono::steady_clock Clock;

// Tells the caller why the picture is empty, when it asked.
void Fail(const char* what, std::string* failure) {
    if (failure) *failure = what;
}

// The folder of the module this code is linked into (the plug-in, or a program).
std::string ModuleFolder() {
    Dl_info info = {};
    std::string path;
    // A module's name is the path it was loaded by; a program's may be relative or bare.
    if (dladdr(reinterpret_cast<void*>(&DefaultRendererOptions), &info) && info.dli_fname &&
        info.dli_fname[0] == '/') {
        path = info.dli_fname;
    } else {
        char exe[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) path.assign(exe, static_cast<size_t>(n));
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Beside the module; a program installed elsewhere (quillon in bin/) finds the one installed
// beside the plug-in.
std::string FindRenderer() {
    const std::string beside = ModuleFolder() + "/" + kMetafileRendererName;
#ifdef QUILLON_RENDERER_INSTALL_DIR
    const std::string installed =
        std::string(QUILLON_RENDERER_INSTALL_DIR) + "/" + kMetafileRendererName;
    if (access(beside.c_str(), X_OK) != 0 && access(installed.c_str(), X_OK) == 0) return installed;
#endif
    return beside;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The request in a memory file the child reads as its standard input.
int MakeRequest(MetafileKind kind, const uint8_t* data, size_t size, uint32_t width,
                uint32_t height) {
    const int fd = memfd_create("quillon-metafile", MFD_CLOEXEC);
    if (fd < 0) return -1;
    RendererRequest request = {kRendererRequestMagic, static_cast<uint32_t>(kind), width, height,
                               size};
    if (!WriteAll(fd, &request, sizeof request) || !WriteAll(fd, data, size) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// In the child: standard input from the request, output into the pipe, errors to /dev/null,
// every other descriptor closed, limits set, signals as a fresh program has them.
[[noreturn]] void StartRenderer(const char* program, char* const argv[], int request, int answer,
                                const RendererOptions& options) {
    // Out of the way of 0-2 first, so that the moves below cannot overwrite each other.
    const int in = fcntl(request, F_DUPFD, 3), out = fcntl(answer, F_DUPFD, 3);
    const int null = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || null < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(null, 2) < 0)
        _exit(127);
    if (close_range(3u, ~0u, 0) != 0) {
        struct rlimit files = {};
        getrlimit(RLIMIT_NOFILE, &files);
        const rlim_t last = files.rlim_cur == RLIM_INFINITY ? 65536 : files.rlim_cur;
        for (rlim_t fd = 3; fd < last; ++fd) close(static_cast<int>(fd));
    }
    if (!kSanitized) {
        // The sanitizers' shadow memory needs far more address space than any limit here.
        const struct rlimit space = {options.addressSpace, options.addressSpace};
        if (setrlimit(RLIMIT_AS, &space) != 0) _exit(127);
    }
    const struct rlimit cpu = {options.cpuSeconds, options.cpuSeconds + 1u};
    if (setrlimit(RLIMIT_CPU, &cpu) != 0) _exit(127);
    struct sigaction plain = {};
    plain.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &plain, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program, argv, environ);
    _exit(127);
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Reads exactly `size` bytes before the deadline; false on end of data, error or time-out
// (`timedOut` tells them apart).
bool ReadExactly(int fd, uint8_t* into, size_t size, Clock::time_point deadline, bool& timedOut) {
    while (size > 0) {
        struct pollfd p = {fd, POLLIN, 0};
        const int ready = poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) timedOut = true;
        if (ready <= 0) return false;
        const ssize_t n = read(fd, into, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        into += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Whether the pipe ends (the child closed it) before the deadline with nothing more in it.
bool ReadEnd(int fd, Clock::time_point deadline, bool& timedOut) {
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        const int ready = poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) timedOut = true;
        if (ready <= 0) return false;
        char extra;
        const ssize_t n = read(fd, &extra, 1);
        if (n < 0 && errno == EINTR) continue;
        return n == 0;
    }
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Waits for the child until the deadline (then kills it). Empty for exit status 0, else why
// not. A host that ignores SIGCHLD, or reaps every child itself, leaves no status to read;
// that counts as success, the answer having been checked already.
std::string ChildFailure(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
            if (WIFSIGNALED(status))
                return "the renderer died of signal " + std::to_string(WTERMSIG(status));
            return "the renderer exited with status " + std::to_string(WEXITSTATUS(status));
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return std::string();  // ECHILD: reaped elsewhere
        if (RemainingMs(deadline) == 0) {
            KillAndReap(pid);
            return "the renderer did not finish before the deadline and was killed";
        }
        const struct timespec pause = {0, 2 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

RendererOptions DefaultRendererOptions() {
    RendererOptions options;
    const char* chosen = std::getenv(kMetafileRendererVariable);
    if (chosen && *chosen) {
        options.program = chosen;
    } else {
        static const std::string found = FindRenderer();
        options.program = found;
    }
    return options;
}

bool RenderInChild(MetafileKind kind, const uint8_t* data, size_t size, uint32_t width,
                   uint32_t height, const RendererOptions& options, Bitmap& out,
                   std::string* failure) {
    out = Bitmap();
    if (failure) failure->clear();
    if (!data || !IsAcceptableSize(width, height)) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.deadlineMs);
    if (access(options.program.c_str(), X_OK) != 0) {
        Fail("the renderer program is missing or not executable", failure);
        return false;
    }
    Bitmap canvas;
    if (!canvas.Allocate(width, height)) return false;

    const int request = MakeRequest(kind, data, size, width, height);
    int answer[2] = {-1, -1};
    if (request < 0 || pipe2(answer, O_CLOEXEC) != 0) {
        if (request >= 0) close(request);
        Fail("no memory file or pipe for the renderer", failure);
        return false;
    }
    std::vector<char> program(options.program.begin(), options.program.end());
    program.push_back('\0');
    char* const argv[] = {program.data(), nullptr};

    const pid_t pid = fork();
    if (pid == 0) StartRenderer(program.data(), argv, request, answer[1], options);
    close(request);
    close(answer[1]);
    if (pid < 0) {
        close(answer[0]);
        Fail("the renderer could not be started", failure);
        return false;
    }

    std::string why;
    bool timedOut = false;
    RendererAnswer head = {};
    bool ok =
        ReadExactly(answer[0], reinterpret_cast<uint8_t*>(&head), sizeof head, deadline, timedOut);
    if (ok &&
        (head.magic != kRendererAnswerMagic || head.width != width || head.height != height)) {
        why = "the answer is not the expected canvas";
        ok = false;
    }
    ok = ok && ReadExactly(answer[0], canvas.bgra.data(), canvas.bgra.size(), deadline, timedOut);
    const bool complete = ok;
    ok = ok && ReadEnd(answer[0], deadline, timedOut);
    if (complete && !ok && !timedOut) why = "the answer is longer than its canvas";
    close(answer[0]);
    if (timedOut) {
        KillAndReap(pid);
        why = "no answer before the deadline; the renderer was killed";
    } else if (!why.empty()) {
        KillAndReap(pid);
    } else {
        // A child that stopped writing early is told apart by how it ended.
        const std::string ending = ChildFailure(pid, deadline);
        if (!ending.empty())
            why = ending;
        else if (!ok)
            why = "the answer is cut short";
    }
    if (!why.empty()) {
        Fail(why.c_str(), failure);
        return false;
    }
    out = std::move(canvas);
    return true;
}

}  // namespace image
}  // namespace platform
