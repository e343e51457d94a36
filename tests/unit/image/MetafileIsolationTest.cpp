// Hostile metafiles: records the players would trust are refused before playback, and the
// players run in a renderer child whose faults, loops and allocations cost only the picture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "TestImages.h"
#include "image/ImageEncoding.h"
#include "platform/image/Metafile.h"
#include "platform/image/linux/MetafileChild.h"
#include "platform/image/linux/MetafilePlayers.h"

namespace {

using platform::image::Bitmap;
using platform::image::MetafileKind;
using platform::image::RendererOptions;
using namespace testimages;

const std::string kCorpus = QUILLON_CORPUS_DIR "/wmz/";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

bool WmfAccepted(const std::string& wmf) {
    return platform::image::IsWellFormedWmf(Bytes(wmf), wmf.size());
}

bool EmfAccepted(const std::string& emf) {
    return platform::image::IsWellFormedEmf(Bytes(emf), emf.size());
}

std::string Patched(std::string bytes, size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

// A StretchDIB record of a 2 x 2 24-bit DIB whose header gives `width` x `height`, put
// before the end record of a text WMF (whose largest-record field is raised to fit).
std::string WithStretchDib(int32_t width, int32_t height) {
    std::string wmf = MakeTextWmf("Hello");
    const std::string dib = Le32(40) + Le32(uint32_t(width)) + Le32(uint32_t(height)) + Le16(1) +
                            Le16(24) + std::string(24, '\0') + std::string(16, '\x7F');
    const std::string params = Le32(0x00CC0020) + Le16(0) + std::string(16, '\0') + dib;
    const uint32_t words = uint32_t(3 + params.size() / 2);
    wmf.insert(wmf.size() - 6, Le32(words) + Le16(0x0F43) + params);
    return Patched(wmf, 22 + 12, Le32(0xFFFF));
}

TEST(MetafileRecords, WmfObjectIndicesRecordSizesAndBitmapsAreChecked) {
    // Records of MakeTextWmf("Hello") after the 40 header bytes: brush created at 60 and
    // selected at 74, pen created at 82 and selected at 98, font created at 120 and selected
    // at 176, text colour at 184, TextOut at 194; the header's object count is at 32 and its
    // largest record at 34.
    const std::string wmf = MakeTextWmf("Hello");
    ASSERT_TRUE(WmfAccepted(wmf));
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 80, Le16(7)))) << "select beyond the table";
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 32, Le16(2)))) << "a create overflows the table";
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 102, Le16(0x01F0) + Le16(2)))) << "delete a free slot";
    // The selected brush deleted, then drawing goes on: the player would use freed memory.
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 180, Le16(0x01F0) + Le16(0))));
    EXPECT_TRUE(WmfAccepted(Patched(wmf, 180, Le16(0x01F0) + Le16(2))))
        << "deleting an object no longer selected is sound";
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 200, Le16(40)))) << "text longer than its record";
    EXPECT_FALSE(WmfAccepted(Patched(wmf, 34, Le32(20)))) << "record above the largest";

    EXPECT_TRUE(WmfAccepted(WithStretchDib(2, 2)));
    EXPECT_TRUE(WmfAccepted(WithStretchDib(2, -2)));
    EXPECT_FALSE(WmfAccepted(WithStretchDib(1000, 1000))) << "pixels beyond the record";
    EXPECT_FALSE(WmfAccepted(WithStretchDib(0, 2)));
    EXPECT_FALSE(WmfAccepted(WithStretchDib(100000, 1))) << "above the picture limits";
}

TEST(MetafileRecords, EmfObjectIndicesAndRecordContentsAreChecked) {
    // gdconv_sample.emf: 2 handles; a font created into slot 1 at 972, a clip region with one
    // rectangle at 840, an ExtTextOutW at 1388, slot 1 deleted at 1536.
    const std::string emf = ReadFile(kCorpus + "gdconv_sample.emf");
    ASSERT_TRUE(EmfAccepted(emf));
    EXPECT_FALSE(EmfAccepted(Patched(emf, 980, Le32(2)))) << "create beyond the handle count";
    EXPECT_FALSE(EmfAccepted(Patched(emf, 1544, Le32(0)))) << "delete of an empty slot";
    EXPECT_FALSE(EmfAccepted(Patched(emf, 864, Le32(100)))) << "region rectangles overrun";
    EXPECT_FALSE(EmfAccepted(Patched(emf, 1388 + 44, Le32(0x10000)))) << "text overruns";
}

TEST(MetafileIsolation, MutatedCorpusWmfIsRefusedAndTheHostSurvives) {
    // One byte that once crashed the player in the host: the first delete names slot 1 (the
    // selected brush) instead of slot 0.
    std::string wmf = ReadFile(kCorpus + "gdconv_sample.wmf");
    ASSERT_EQ('\0', wmf[186]);
    wmf[186] = 1;
    const std::string dir = MakeTempDir();
    WriteFile(dir + "/formula.wmz", Gzip(wmf));
    WriteFile(dir + "/formula.wmf", wmf);
    WriteFile(dir + "/formula.bmp", wmf);
    for (const char* name : {"formula.wmz", "formula.wmf", "formula.bmp"}) {
        const EncodedImage out = PrepareUploadImage(Wide(dir + "/" + name), 200, 40);
        if (std::string(name) == "formula.wmf") {
            EXPECT_EQ(wmf, out.bytes.str());  // sent as it is, never played
        } else {
            EXPECT_TRUE(out.bytes.empty()) << name;
        }
    }
    EXPECT_FALSE(LoadImageFromBytes(wmf.data(), uint32_t(wmf.size())));
}

TEST(MetafileIsolation, CorpusDrawsTheSameThroughTheRenderer) {
    for (const char* name :
         {"gdconv_sample.wmz", "gdviewer_sample.wmz", "gdconv_sample.emz", "gdviewer_sample.emz"}) {
        SCOPED_TRACE(name);
        const std::string packed = ReadFile(kCorpus + name);
        const util::SharedBuffer content = GunzipBytes(packed.data(), uint32_t(packed.size()));
        const uint8_t* data = reinterpret_cast<const uint8_t*>(content.data.get());
        Bitmap inProcess, child;
        if (std::string(name).find(".wmz") != std::string::npos) {
            ASSERT_TRUE(platform::image::PlayWmf(data, content.size, 200, 40, inProcess));
            ASSERT_TRUE(platform::image::RenderWmf(data, content.size, 200, 40, child));
        } else {
            ASSERT_TRUE(platform::image::PlayEmf(data, content.size, inProcess));
            ASSERT_TRUE(platform::image::RenderEmf(data, content.size, child));
        }
        EXPECT_EQ(inProcess.width, child.width);
        EXPECT_EQ(inProcess.height, child.height);
        EXPECT_TRUE(inProcess.bgra == child.bgra);
    }
}

// The renderer built with its test faults, driven through QUILLON_RENDERER_FAULT.
class FaultyRenderer : public ::testing::Test {
  protected:
    void SetUp() override {
        wmf_ = MakeTextWmf("Hello");
        options_.program = QUILLON_FAULTY_RENDERER;
        options_.deadlineMs = 1500;
    }
    void TearDown() override { unsetenv("QUILLON_RENDERER_FAULT"); }

    // Draws the text WMF with the fault; the time it took goes to `ms`, the reason it failed
    // to failure_.
    bool Draw(const char* fault, Bitmap& out, long& ms) {
        setenv("QUILLON_RENDERER_FAULT", fault, 1);
        const auto start = std::chrono::steady_clock::now();
        const bool drawn = platform::image::RenderInChild(
            MetafileKind::kWmf, Bytes(wmf_), wmf_.size(), 100, 20, options_, out, &failure_);
        ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count());
        return drawn;
    }

    std::string wmf_;
    RendererOptions options_;
    std::string failure_;
};

TEST_F(FaultyRenderer, FailuresGiveTheEmptyResultWithinTheDeadline) {
    Bitmap out;
    long ms = 0;
    ASSERT_TRUE(Draw("", out, ms));  // the faulty build draws when no fault is asked for
    EXPECT_EQ(100u, out.width);
    EXPECT_EQ("", failure_);

    std::vector<const char*> faults = {"crash", "hang", "oversize", "short", "long", "loop"};
    if (!kSanitized) faults.push_back("allocate");  // no address-space limit under sanitizers
    for (const char* fault : faults) {
        EXPECT_FALSE(Draw(fault, out, ms)) << fault;
        EXPECT_TRUE(out.empty()) << fault;
        EXPECT_LT(ms, 3000) << fault;
        EXPECT_NE("", failure_) << fault;  // the caller's log line says why
    }
    EXPECT_TRUE(Draw("", out, ms));
    EXPECT_EQ("", failure_);  // an earlier reason does not linger
    // The CPU limit ends a loop long before a distant deadline.
    options_.deadlineMs = 20000;
    options_.cpuSeconds = 1;
    EXPECT_FALSE(Draw("loop", out, ms));
    EXPECT_LT(ms, 5000);

    options_.program = "/nonexistent/npquillon-metafile";
    EXPECT_FALSE(Draw("", out, ms));
    EXPECT_EQ("the renderer program is missing or not executable", failure_);
}

TEST_F(FaultyRenderer, HostDescriptorsAreNotInherited) {
    // Descriptors a host opened without close-on-exec: the renderer fails if it sees any.
    int leaky[2];
    ASSERT_EQ(0, pipe(leaky));
    const int file = open("/dev/null", O_RDONLY);
    ASSERT_GE(file, 0);
    Bitmap out;
    long ms = 0;
    EXPECT_TRUE(Draw("fds", out, ms));
    close(leaky[0]);
    close(leaky[1]);
    close(file);
}

}  // namespace
