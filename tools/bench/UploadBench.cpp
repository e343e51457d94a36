// Upload benchmark: files of 1, 10 and 100 MB (or --sizes) go to a loopback "quillon serve",
// once through the poster and once through "curl -F file=@..." in the same run. Prints the
// throughput of both, their ratio, and the poster's peak memory above the baseline of the
// process (the file's bytes in memory included) against the file size. With --repeat N each
// size is sent N times by each client in turn and the fastest run of each counts, so that a
// busy machine slowing one run does not decide the ratio.
//
//   bench_upload [--sizes 1,10,100] [--repeat N] [--quillon PATH]
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Network/WinINetPoster.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "threading/EventHandler.h"

namespace {

typedef std::chrono::steady_clock Clock;

// Kilobytes of a "VmRSS:" or "VmHWM:" line of /proc/self/status.
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, std::strlen(key), key) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    }
    return 0;
}

// Resets the peak resident size to the current one.
void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

class Waiter : public sigslot::has_slots<> {
  public:
    explicit Waiter(WinINetPoster& poster) {
        poster.Error.connect(this, &Waiter::OnError);
        poster.Complete.connect(this, &Waiter::OnComplete);
    }
    ~Waiter() override { disconnect_all(); }
    Korvane::Threading::EventHandler done;
    std::atomic<bool> ok{false};

  private:
    void OnError(unsigned int code) {
        if (code == 2) done.Set();
    }
    void OnComplete() {
        ok.store(true);
        done.Set();
    }
};

pid_t StartServer(const std::string& quillon, const std::string& folder, int* port) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl(quillon.c_str(), quillon.c_str(), "serve", "--port", "0", "--dir", folder.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[32] = {0};
    const ssize_t n = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    *port = n > 0 ? std::atoi(text) : 0;
    return pid;
}

double CurlSeconds(const std::string& file, const std::string& url, bool* ok) {
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string form = "file=@" + file;
        execlp("curl", "curl", "-s", "-o", "/dev/null", "-F", form.c_str(), url.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    *ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1, 10, 100};
    int repeat = 1;
    std::string quillon = std::string(argv[0]);
    quillon = quillon.substr(0, quillon.rfind('/') + 1) + "quillon";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--sizes") == 0) {
            sizes.clear();
            std::stringstream list(argv[i + 1]);
            std::string item;
            while (std::getline(list, item, ',')) sizes.push_back(std::atoi(item.c_str()));
        } else if (std::strcmp(argv[i], "--repeat") == 0) {
            repeat = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--quillon") == 0) {
            quillon = argv[i + 1];
        }
    }

    // Large blocks come from and go back to the system, so each upload's peak is its own.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    char folder[] = "/tmp/quillon-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    int port = 0;
    const pid_t server = StartServer(quillon, std::string(folder) + "/stored", &port);
    if (server <= 0 || port <= 0) {
        std::fprintf(stderr, "bench_upload: cannot start %s serve\n", quillon.c_str());
        return 1;
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/upload";

    // One small upload first, so that the transport's one-time start-up is not counted as
    // memory of the measured uploads.
    {
        WinINetPoster poster;
        Waiter waiter(poster);
        poster.SetPostUrl(url);
        boost::shared_array<char> tiny(new char[1]());
        poster.Post(tiny, 1, L".bin");
        waiter.done.Wait();
        poster.WaitUntilIdle(UINT32_MAX);
    }

    std::printf("%8s %12s %12s %7s %12s %9s\n", "size MB", "poster MB/s", "curl MB/s", "ratio",
                "peak MB", "peak/size");
    int failures = 0;
    for (int megabytes : sizes) {
        const std::string path =
            std::string(folder) + "/input" + std::to_string(megabytes) + ".bin";
        {
            std::string bytes(static_cast<size_t>(megabytes) << 20, '\0');
            uint32_t x = 2463534242u;
            for (char& c : bytes) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                c = static_cast<char>(x);
            }
            std::ofstream(path, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }

        double posterSeconds = 0;
        double curlSeconds = 0;
        double peakMb = 0;
        bool posterOk = true;
        bool curlOk = true;
        for (int round = 0; round < repeat; ++round) {
            malloc_trim(0);
            ResetPeak();
            const long baselineKb = StatusKb("VmRSS:");
            double seconds = 0;
            {
                const util::SharedBuffer data = util::ReadWholeFile(util::Utf8ToWide(path));
                WinINetPoster poster;
                Waiter waiter(poster);
                poster.SetPostUrl(url);
                const Clock::time_point start = Clock::now();
                poster.Post(data.data, static_cast<int32_t>(data.size), L".bin");
                waiter.done.Wait();
                seconds = std::chrono::duration<double>(Clock::now() - start).count();
                poster.WaitUntilIdle(UINT32_MAX);
                posterOk = posterOk && waiter.ok.load();
            }
            peakMb = std::max(peakMb, (StatusKb("VmHWM:") - baselineKb) / 1024.0);
            posterSeconds = round == 0 ? seconds : std::min(posterSeconds, seconds);

            bool ok = false;
            seconds = CurlSeconds(path, url, &ok);
            curlOk = curlOk && ok;
            curlSeconds = round == 0 ? seconds : std::min(curlSeconds, seconds);
        }
        const double posterRate = megabytes / posterSeconds;
        const double curlRate = megabytes / curlSeconds;
        std::printf("%8d %12.1f %12.1f %7.2f %12.1f %9.2f%s%s\n", megabytes, posterRate, curlRate,
                    posterRate / curlRate, peakMb, peakMb / megabytes,
                    posterOk ? "" : "  poster failed", curlOk ? "" : "  curl failed");
        if (!posterOk || !curlOk) ++failures;
        std::remove(path.c_str());
    }

    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::system(("rm -rf " + std::string(folder)).c_str());
    return failures == 0 ? 0 : 1;
}
