#include <gtest/gtest.h>

#include <boost/xpressive/xpressive.hpp>
#include <random>
#include <string>

#include "Office/WordFormula.h"

namespace {

namespace xp = boost::xpressive;

// The size rules written as regular expressions, the way they read: the reference for the
// hand-written matcher.
void RegexSize(const std::string& element, std::string& width, std::string& height) {
    static const xp::sregex kWidth = xp::sregex::compile("width:(\\d+[^p]*)pt");
    static const xp::sregex kHeight = xp::sregex::compile("height:(\\d+[^p]*)pt");
    static const xp::sregex kInches = xp::sregex::compile("height:(\\d+)in");
    xp::smatch m;
    std::string w = "0";
    std::string h = "0";
    if (xp::regex_search(element, m, kWidth)) w = m[1].str();
    if (xp::regex_search(element, m, kHeight)) h = m[1].str();
    float hPoints = LeadingNumber(h);
    if (xp::regex_search(element, m, kInches)) {
        const std::string digits = m[1].str();
        hPoints = digits.size() > 9 ? 1e12f : static_cast<float>(LeadingNumber(digits) * 72.0);
    }
    width = PointsToPixels(LeadingNumber(w));
    height = PointsToPixels(hPoints);
}

TEST(ShapePixelSizeTest, ReadsPointsAndInches) {
    std::string w;
    std::string h;
    ShapePixelSize("<vshape style='width:415.5pt;height:2in;mso-height:9pt'>", w, h);
    EXPECT_EQ("554", w);
    EXPECT_EQ("192", h);
    // A value without "pt" right at its first "p" is skipped for the next one.
    ShapePixelSize("width:12px;width:30pt;height:x1pt;height:15pt", w, h);
    EXPECT_EQ("40", w);
    EXPECT_EQ("20", h);
    ShapePixelSize("no size here", w, h);
    EXPECT_EQ("0", w);
    EXPECT_EQ("0", h);
}

TEST(ShapePixelSizeTest, MatchesTheRegularExpressionsOnRandomStyles) {
    std::mt19937 rng(4242);
    const char* pieces[] = {"width:", "height:", "1", "7", "0", ".", "5", "p",  "t",
                            "pt",     "in",      "i", "n", ";", " ", "x", "\n", "wid"};
    for (int round = 0; round < 20000; ++round) {
        std::string element;
        const size_t count = rng() % 14;
        for (size_t k = 0; k < count; ++k)
            element += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        std::string w;
        std::string h;
        std::string rw;
        std::string rh;
        ShapePixelSize(element, w, h);
        RegexSize(element, rw, rh);
        ASSERT_EQ(rw, w) << element;
        ASSERT_EQ(rh, h) << element;
    }
}

}  // namespace
