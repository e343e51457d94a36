// Hostile sizes: documents with many shapes convert in time linear in their size, a large text
// converts within a 32-bit process's kind of address space, and running out of it or going
// past the paste limit gives the empty result instead of ending the browser.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "ShapeMarkup.h"
#include "platform/clipboard/MemoryClipboard.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLON_SHADOW_MEMORY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUILLON_SHADOW_MEMORY 1
#endif
#endif

namespace {

using shapemarkup::Page;

// Unoptimised and sanitizer builds run some 25 times slower: a quarter of the counts still
// takes a rescan per shape far past the deadline there.
#if defined(QUILLON_SHADOW_MEMORY) || !defined(__OPTIMIZE__)
const size_t kSlowBuildDivisor = 4;
#else
const size_t kSlowBuildDivisor = 1;
#endif

class LargeInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
    }
    void TearDown() override { platform::SetCurrentClipboard(nullptr); }

    void Offer(const std::string& page) {
        clipboard_->SetHtml(WrapCfHtml(page, "file:///C:/d.docx"));
    }

    // Runs `body` in a child process (so that its address-space limit and any abort stay
    // there); answers its exit status, -1 when it did not exit normally.
    template <typename Body>
    static int InChild(Body body) {
        const pid_t pid = fork();
        if (pid == 0) _exit(body());
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    static void LimitAddressSpace(rlim_t bytes) {
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
    }

    static size_t VmSizeBytes() {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.compare(0, 7, "VmSize:") == 0) return std::stoul(line.substr(7)) * 1024;
        }
        return 0;
    }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Reading each shape's element text made these quadratic: 40,000 nested shapes took minutes;
// so did every edit after one tag the tag list could not search for.
// Linear, each takes well under a second in a release build; the deadline (CPU time, so that
// a loaded machine does not matter) leaves room and is still far below what a rescan per shape
// costs (100,000 nested shapes took 100 s).
TEST_F(LargeInputTest, ManyShapesConvertInLinearTime) {
    using namespace shapemarkup;
    const struct {
        Form form;
        size_t count;
        bool unclean;  // behind tags whose edits are done on the plain text
    } cases[] = {{Form::kNested, 100000, false},     {Form::kNestedInVml, 40000, false},
                 {Form::kRepeated, 20000, false},    {Form::kUnclosed, 20000, false},
                 {Form::kInterleaved, 20000, false}, {Form::kRepeated, 20000, true}};
    for (const auto& c : cases) {
        const size_t count = c.count / kSlowBuildDivisor;
        SCOPED_TRACE(std::string(FormName(c.form)) + " x" + std::to_string(count) +
                     (c.unclean ? " unclean" : ""));
        Offer(Page((c.unclean ? UncleanTags() : "") + Shapes(c.form, count)));
        WordConverter converter;
        const double start = ThreadCpuSeconds();
        converter.GetWord();
        const double seconds = ThreadCpuSeconds() - start;
        EXPECT_LT(seconds, 12.0);
        EXPECT_FALSE(converter.Text().empty());
    }
}

// Tree nodes and tokens were reserved per '<' (1.9 GB for this text, whose pieces are one text
// node; 50 MB of it reserved 4 GB).
TEST_F(LargeInputTest, TextOfAngleBracketsConvertsWithinOneGigabyte) {
#ifdef QUILLON_SHADOW_MEMORY
    GTEST_SKIP() << "sanitizer builds reserve terabytes of shadow memory: no address-space limit";
#else
    const int status = InChild([this] {
        LimitAddressSpace(rlim_t{1} << 30);
        const std::string brackets(20u << 20, '<');
        Offer(Page(brackets));
        WordConverter converter;
        converter.GetWord();
        return converter.Text() == brackets ? 0 : 2;
    });
    EXPECT_EQ(0, status);
#endif
}

TEST_F(LargeInputTest, RunningOutOfMemoryGivesTheEmptyResult) {
#ifdef QUILLON_SHADOW_MEMORY
    GTEST_SKIP() << "sanitizer builds reserve terabytes of shadow memory: no address-space limit";
#else
    const int status = InChild([this] {
        std::string body;
        for (int i = 0; i < 500000; ++i) {
            body += "<p class=MsoNormal><img src=\"file:///C:/t/" + std::to_string(i) +
                    ".png\" v:shapes=\"s" + std::to_string(i) + "\"></p>";
        }
        Offer(Page(body));
        std::string().swap(body);
        // Room for the read of the clipboard, not for the restyled text and its tree.
        LimitAddressSpace(VmSizeBytes() + (96u << 20));
        WordConverter converter;
        converter.GetWord();
        return converter.Text().empty() && converter.Images().empty() ? 0 : 3;
    });
    EXPECT_EQ(0, status);  // -1: the conversion aborted
#endif
}

// Past the paste limit the data is refused as a failed read: nothing is converted and the
// origin tests see no Word content.
TEST_F(LargeInputTest, ClipboardHtmlAboveTheLimitIsRefused) {
    std::string html = "Version:0.9\r\nStartHTML:0000000105\r\nSourceURL:file:///C:/d.docx\r\n";
    html.resize(WordConverter::kMaxClipboardHtml + 1, 'x');
    clipboard_->SetHtml(html);
    WordConverter converter;
    EXPECT_FALSE(converter.IsWord());
    converter.GetWord();
    EXPECT_EQ("", converter.Text());
}

}  // namespace
