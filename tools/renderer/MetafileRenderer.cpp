// npquillon-metafile: the plug-in's metafile renderer, started by it for each picture (see
// platform/image/MetafileChild.h). Reads one request from standard input, draws it with the
// in-process players and writes the answer to standard output; exits 1 and writes nothing when
// the request or the metafile is refused.
//
// Built with QUILLON_RENDERER_FAULTS (tests only, never installed), the variable
// QUILLON_RENDERER_FAULT makes it misbehave on purpose: crash, loop, hang, allocate, oversize,
// short, long, or fds (fail when it inherited any descriptor above 2).
#include <dirent.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/image/Metafile.h"
#include "platform/image/linux/MetafilePlayers.h"
#include "platform/image/linux/MetafileRendererProtocol.h"

using namespace platform::image;

namespace {

bool ReadAll(int fd, void* into, size_t size) {
    char* p = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

#ifdef QUILLON_RENDERER_FAULTS
bool InheritedDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return true;
    bool extra = false;
    while (dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd > 2 && fd != dirfd(dir)) extra = true;
    }
    closedir(dir);
    return extra;
}

// Misbehaves before drawing, or changes the answer's shape after; "" draws normally.
std::string Fault() {
    const char* fault = std::getenv("QUILLON_RENDERER_FAULT");
    const std::string f = fault ? fault : "";
    if (f == "crash") std::raise(SIGSEGV);
    if (f == "loop")
        for (volatile unsigned spin = 0;; ++spin) {
        }
    if (f == "hang") pause();
    if (f == "allocate") {
        for (;;) {
            void* block = std::malloc(64u << 20);
            if (!block) std::abort();
            std::memset(block, 1, 64u << 20);
        }
    }
    if (f == "fds" && InheritedDescriptors()) std::exit(1);
    return f;
}
#endif

int Run() {
    std::string fault;
#ifdef QUILLON_RENDERER_FAULTS
    fault = Fault();
#endif
    RendererRequest request = {};
    if (!ReadAll(0, &request, sizeof request) || request.magic != kRendererRequestMagic ||
        request.size > kMaxMetafileBytes)
        return 1;
    std::vector<uint8_t> data(static_cast<size_t>(request.size));
    if (!ReadAll(0, data.data(), data.size())) return 1;

    Bitmap picture;
    bool drawn = false;
    if (request.kind == static_cast<uint32_t>(MetafileKind::kWmf)) {
        drawn = PlayWmf(data.data(), data.size(), request.width, request.height, picture);
    } else if (request.kind == static_cast<uint32_t>(MetafileKind::kEmf)) {
        drawn = PlayEmf(data.data(), data.size(), picture);
    }
    if (!drawn) return 1;

    RendererAnswer answer = {kRendererAnswerMagic, picture.width, picture.height, 0};
    size_t pixels = picture.bgra.size();
    if (fault == "oversize") answer.width += 1;
    if (fault == "short") pixels /= 2;
    if (!WriteAll(1, &answer, sizeof answer) || !WriteAll(1, picture.bgra.data(), pixels)) return 1;
    if (fault == "long" && !WriteAll(1, "extra", 5)) return 1;
    return 0;
}

}  // namespace

// Ends without tearing down: the players' process-wide font caches are the kernel's to free,
// and an exit handler (a leak check of a sanitizer build) must not change the status.
int main() {
    _exit(Run());
}
