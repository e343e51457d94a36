// Word paste conversion, alone and end to end (clipboard bytes to the event text), on scaled
// inputs (1, 10, 50 MB of real Word documents, one document repeated and all cycled), timed against
// HTML Tidy's Word clean-up on the same files; then on generated inputs that scale with a count
// (shapes nested, nested with image data, repeated, unclosed, interleaved with their end tags; a
// text of mostly '<'), whose time per thousand should stay flat as the count grows.
//
//   bench_convert [--sizes 1,10,50] [--scaling 10,40,100] [--runs N] [--work DIR]
//                 (--scaling counts are thousands, 0 skips them; with --sizes alone only
//                 the count of 10,000 runs, a smoke run; --runs: each measure of the sizes,
//                 Tidy's included, is the median of N runs, 3 by default)
//   bench_convert --one FILE     converts one generated file in this process (for profilers)
//
// Each conversion runs in a child process so that its peak memory is its own; the peak is
// measured from the moment the input sits on the clipboard.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "ShapeMarkup.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Read in one piece of the file's size: a growing stream buffer would count two or three
// times the input in the child's peak memory before the conversion even starts.
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::string();
    std::string data(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(&data[0], static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

struct Result {
    double seconds = -1;
    long peakKb = 0;
    long startKb = 0;  // resident size when the measurement starts (program, libraries, input)
    long pageFaults = 0;
};

// What a child measures: the conversion alone, or the whole paste from the clipboard's bytes to
// the event text handed to the page's queue.
// kSecondPaste: the whole paste once more by the same converter (what an instance that pastes
// again pays, with the buffers it kept).
enum class Measure { kConvert, kEndToEnd, kSecondPaste };

// The end of a paste: the event text taken over, as the page's queue takes it.
class KeptEvent : public script::EventSink {
  public:
    void PostEvent(std::string text) override { text_ = std::move(text); }
    size_t size() const { return text_.size(); }

  private:
    std::string text_;
};

// A size line of /proc/self/status ("VmHWM:" the peak resident size, "VmRSS:" the current
// one) in kB, 0 when unknown.
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::string(key).size();
    while (std::getline(status, line)) {
        if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n);
    }
    return 0;
}

long PeakRssKb() {
    return StatusKb("VmHWM:");
}

// Starts a new peak-memory measurement from the current resident size (Linux 4.0 and later).
void ResetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Converts the file in a child; answers the time, the child's peak memory and its page faults.
Result ConvertInChild(const std::string& path, Measure measure = Measure::kConvert) {
    int fds[2];
    if (pipe(fds) != 0) return Result();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string html = ReadFile(path);
        auto clipboard = std::make_shared<platform::MemoryClipboard>();
        clipboard->SetHtml(WrapCfHtml(html, "file:///C:/bench.docx"));
        std::string().swap(html);  // only the clipboard's copy stays, as in the browser
        platform::SetCurrentClipboard(clipboard);
        // The peak counts from here: the clipboard's copy of the input and the conversion, not
        // the reading and wrapping of the file.
        ResetPeakRss();
        const double startKb = static_cast<double>(StatusKb("VmRSS:"));
        WordConverter converter;
        KeptEvent event;
        if (measure == Measure::kSecondPaste) {
            PostPasteWordEvent(converter, event);
            event.PostEvent(std::string());  // the page has taken the first event
            ResetPeakRss();
        }
        struct rusage before;
        getrusage(RUSAGE_SELF, &before);
        const double start = Now();
        if (measure != Measure::kConvert)
            PostPasteWordEvent(converter, event);
        else
            converter.GetWord();
        const double seconds = Now() - start;
        struct rusage after;
        getrusage(RUSAGE_SELF, &after);
        const double result[4] = {seconds, static_cast<double>(PeakRssKb()), startKb,
                                  static_cast<double>(after.ru_minflt - before.ru_minflt)};
        if (write(fds[1], result, sizeof result) != sizeof result) _exit(1);
        _exit(converter.Text().empty() ? 3 : 0);
    }
    close(fds[1]);
    Result r;
    double result[4] = {-1, 0, 0, 0};
    if (read(fds[0], result, sizeof result) == sizeof result) r.seconds = result[0];
    r.startKb = static_cast<long>(result[2]);
    r.pageFaults = static_cast<long>(result[3]);
    close(fds[0]);
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    r.peakKb = result[1] > 0 ? static_cast<long>(result[1]) : usage.ru_maxrss;
    return r;
}

// The run of median time among `runs` runs of `measure` (a virtual machine's timings vary from
// one run to the next by a third).
template <class Measure>
Result MedianOf(int runs, Measure measure) {
    std::vector<Result> results;
    for (int i = 0; i < runs; ++i) results.push_back(measure());
    std::sort(results.begin(), results.end(),
              [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    return results[results.size() / 2];
}

double TidySeconds(const std::string& path) {
    const std::string cmd =
        "tidy -q --word-2000 yes --show-warnings no --show-errors 0 -utf8 "
        "--force-output yes '" +
        path + "' > /dev/null 2>&1";
    const double start = Now();
    const int rc = std::system(cmd.c_str());
    const double seconds = Now() - start;
    return rc == -1 ? -1 : seconds;
}

// One conversion in this process, so that a profiler sees only the converter.
int ConvertOne(const std::string& path) {
    const std::string html = ReadFile(path);
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    clipboard->SetHtml(WrapCfHtml(html, "file:///C:/bench.docx"));
    platform::SetCurrentClipboard(clipboard);
    WordConverter converter;
    struct rusage before;
    getrusage(RUSAGE_SELF, &before);
    const double start = Now();
    converter.GetWord();
    const double seconds = Now() - start;
    struct rusage after;
    getrusage(RUSAGE_SELF, &after);
    auto cpu = [](const struct rusage& u) {
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    // CPU time and page faults tell more than the wall time on a loaded machine.
    std::printf(
        "%s: %.1f MB in %.3f s (cpu %.3f s, %ld page faults), %zu bytes out, %zu "
        "pictures\n",
        path.c_str(), html.size() / 1e6, seconds, cpu(after) - cpu(before),
        after.ru_minflt - before.ru_minflt, converter.Text().size(), converter.Images().size());
    return converter.Text().empty() ? 3 : 0;
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

// The generated cases, `thousands` x 1000 units each.
int RunScaling(const std::string& counts, const std::string& work) {
    using namespace shapemarkup;
    std::printf("\n%-14s %7s %6s %10s %12s %9s\n", "scaling", "count", "MB", "convert_s",
                "s_per_1000", "peak_MB");
    std::stringstream list(counts);
    for (std::string k; std::getline(list, k, ',');) {
        const size_t count = static_cast<size_t>(std::atol(k.c_str())) * 1000;
        if (count == 0) continue;
        for (int c = 0; c <= 5; ++c) {
            const bool brackets = c == 5;
            const Form form = static_cast<Form>(c);
            const std::string name = brackets ? "mostly-<" : FormName(form);
            // The text of '<' gets 100 bytes per unit: 10 MB for a count of 100,000.
            const std::string body = brackets ? std::string(count * 100, '<') : Shapes(form, count);
            const std::string path = work + "/scaling_" + name + "_" + k + ".html";
            if (!WriteFile(path, Page(body))) return 1;
            const Result r = ConvertInChild(path);
            struct stat st;
            const double mb = stat(path.c_str(), &st) == 0 ? st.st_size / 1e6 : 0;
            std::printf("%-14s %7zu %6.1f %10.3f %12.5f %9.1f\n", name.c_str(), count, mb,
                        r.seconds, r.seconds * 1000 / count, r.peakKb / 1024.0);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string sizes = "1,10,50";
    std::string scaling;
    bool sizesGiven = false;
    std::string work = "/tmp/quillon-convert-bench";
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--sizes") {
            sizes = argv[i + 1];
            sizesGiven = true;
        }
        if (opt == "--scaling") scaling = argv[i + 1];
        if (opt == "--work") work = argv[i + 1];
        if (opt == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (opt == "--one") return ConvertOne(argv[i + 1]);
    }
    if (scaling.empty()) scaling = sizesGiven ? "10" : "10,40,100";
    const std::string corpus = QUILLON_CORPUS_DIR "/word";
    const std::string gen = QUILLON_BENCH_DIR "/gen_inputs.py";
    if (std::system(("mkdir -p '" + work + "'").c_str()) != 0) return 1;
    const bool haveTidy = std::system("command -v tidy > /dev/null 2>&1") == 0;

    struct Mode {
        const char* name;
        std::string docs;
    };
    const std::vector<Mode> modes = {
        {"repeat", corpus + "/ck4_simple-offline-image_word2016win_chrome.html"},
        {"cycle", corpus + "/*.html"},
    };
    // start_MB: resident size when the measurement starts (program, libraries and the input on
    // the clipboard), part of peak_MB; at 1 MB it weighs most in peak/input.
    // e2e: from the clipboard's bytes to the event text in the page's queue (the paste a user
    // waits for, minus the browser); its peak and page faults are the whole paste's.
    // again: a second paste of the same input by the same converter, its seconds and page
    // faults per MB.
    std::printf("%-7s %6s %10s %9s %9s %9s %10s %9s %8s %9s %9s %10s %9s %8s %10s\n", "input", "MB",
                "convert_s", "s_per_MB", "start_MB", "peak_MB", "peak/input", "tidy_s", "e2e_s",
                "e2e_s/MB", "e2e/tidy", "e2e_peak/in", "faults/MB", "again_s", "again_f/MB");
    std::stringstream list(sizes);
    for (std::string mb; std::getline(list, mb, ',');) {
        for (const Mode& mode : modes) {
            const std::string out = work + "/" + mode.name + "_" + mb + ".html";
            const std::string cmd = "python3 '" + gen + "' --out '" + out + "' --mb " + mb + " " +
                                    mode.docs + " 2> /dev/null";
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "bench_convert: cannot generate %s\n", out.c_str());
                return 1;
            }
            struct stat st;
            const double inputMb = stat(out.c_str(), &st) == 0 ? st.st_size / 1e6 : 0;
            const Result r = MedianOf(runs, [&] { return ConvertInChild(out); });
            const Result e =
                MedianOf(runs, [&] { return ConvertInChild(out, Measure::kEndToEnd); });
            const Result again =
                MedianOf(runs, [&] { return ConvertInChild(out, Measure::kSecondPaste); });
            const double tidy = haveTidy ? MedianOf(runs,
                                                    [&] {
                                                        Result t;
                                                        t.seconds = TidySeconds(out);
                                                        return t;
                                                    })
                                               .seconds
                                         : -1;
            std::printf(
                "%-7s %6.1f %10.3f %9.4f %9.1f %9.1f %10.2f %9.3f %8.3f %9.4f %9.2f %10.2f %9.0f "
                "%8.3f "
                "%10.0f\n",
                mode.name, inputMb, r.seconds, r.seconds / inputMb, r.startKb / 1024.0,
                r.peakKb / 1024.0, r.peakKb / 1024.0 / inputMb, tidy, e.seconds,
                e.seconds / inputMb, tidy > 0 ? e.seconds / tidy : -1, e.peakKb / 1024.0 / inputMb,
                e.pageFaults / inputMb, again.seconds, again.pageFaults / inputMb);
            std::fflush(stdout);
        }
    }
    return RunScaling(scaling, work);
}
