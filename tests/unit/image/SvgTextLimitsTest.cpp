#include "platform/image/linux/SvgTextLimits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "platform/image/Metafile.h"

namespace {

using platform::image::kMaxFontPixels;
using platform::image::kMaxTextRunPixels;
using platform::image::LimitSvgText;

std::string Svg(const std::string& body, const std::string& size = "width=\"100\" height=\"50\"") {
    return "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" " + size + ">" + body +
           "</svg>";
}

// The font-size values of the document, in order.
std::vector<double> FontSizes(const std::string& svg) {
    std::vector<double> sizes;
    const std::string key = "font-size=\"";
    for (size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1))
        sizes.push_back(std::strtod(svg.c_str() + at + key.size(), nullptr));
    return sizes;
}

TEST(SvgTextLimits, OrdinaryTextIsLeftByteForByte) {
    const std::string original =
        Svg("<g transform=\"matrix(0.25 0 0 0.25 0 0)\"><text x=\"1\" y=\"9\" font-size=\"500\" "
            "style =\"white-space:pre;\"><![CDATA[SAMPLE]]></text></g>");
    std::string svg = original;
    ASSERT_TRUE(LimitSvgText(svg, 200, 100));
    EXPECT_EQ(original, svg);
}

TEST(SvgTextLimits, RunsTooLongForTheCanvasAreShortened) {
    // Canvas 200 x 100 for a 100 x 50 document: two pixels per unit, times each transform.
    struct Case {
        const char* body;
        double stretch;  // canvas pixels per unit of the text's font size
        size_t characters;
    } cases[] = {
        {"<text font-size=\"30000000\">SAMPLE EMF</text>", 2, 10},
        {"<text font-size=\"-2147483648\">x</text>", 2, 1},
        {"<g transform=\"scale(1000)\"><text font-size=\"5000\">abc</text></g>", 2000, 3},
        {"<g transform=\"translate(5,5) matrix(0 300 -300 0 1 2)\">"
         "<text font-size=\"1e4\">abcd</text></g>",
         2 * 300 * std::sqrt(2.0), 4},
        // Sizes relative to an inherited one, and an inherited size with no attribute.
        {"<g font-size=\"1e6\"><text font-size=\"2em\">ab</text></g>", 2, 2},
        {"<g font-size=\"1e7\"><text>ab</text></g>", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        std::string svg = Svg(c.body);
        ASSERT_TRUE(LimitSvgText(svg, 200, 100));
        const std::vector<double> sizes = FontSizes(svg);
        ASSERT_FALSE(sizes.empty());
        const double size = std::fabs(sizes.back());
        const double bound = std::min(kMaxTextRunPixels / c.characters, kMaxFontPixels);
        EXPECT_LE(size, bound * 1.001);
        EXPECT_LE(size * c.stretch, bound * 1.001);
        EXPECT_GT(size * c.stretch, 0.5 * bound);  // shortened to the bound, not dropped
    }
}

TEST(SvgTextLimits, DocumentsWhoseTextCannotBeBoundedAreRefused) {
    const char* bodies[] = {
        "<style>text { font-size: 1e9px }</style><text>a</text>",
        "<text style=\"font-size:1e9px\">a</text>",
        "<text letter-spacing=\"1e9\">a</text>",
        "<g id=\"t\"><text>a</text></g><use href=\"#t\" transform=\"scale(1e6)\"/>",
        "<text id=\"t\">a</text>",
        "<svg width=\"1\" height=\"1\"><text>a</text></svg>",
        "<text><tref href=\"#x\"/></text>",
        "<g transform=\"scale(1e300) scale(1e300)\"><text>a</text></g>",
        "<g transform=\"spin(3)\"><text>a</text></g>",
        "<text font-size=\"large\">a</text>",
        "<text>unclosed",
    };
    for (const char* body : bodies) {
        std::string svg = Svg(body);
        EXPECT_FALSE(LimitSvgText(svg, 200, 100)) << body;
    }
    std::string noSize = Svg("<text>a</text>", "");
    EXPECT_FALSE(LimitSvgText(noSize, 200, 100));
    std::string doctype = "<!DOCTYPE svg [<!ENTITY a \"b\">]>" + Svg("<text>&a;</text>");
    EXPECT_FALSE(LimitSvgText(doctype, 200, 100));
}

TEST(SvgTextLimits, MetafileWithAHugeFontIsDrawnWithoutAborting) {
    // The corpus EMF with its font height replaced: the renderer used to abort the process.
    const std::string emf = testfiles::ReadFile(QUILLON_CORPUS_DIR "/wmz/gdconv_sample.emf");
    for (int32_t height : {30000000, INT32_MIN, INT32_MAX}) {
        std::string changed = emf;
        size_t fonts = 0;
        for (size_t at = 0; at + 16 <= changed.size();) {
            uint32_t type = 0, size = 0;
            std::memcpy(&type, &changed[at], 4);
            std::memcpy(&size, &changed[at + 4], 4);
            if (type == 82) std::memcpy(&changed[at + 12], &height, 4), ++fonts;  // font record
            if (size < 8) break;
            at += size;
        }
        ASSERT_EQ(1u, fonts);
        platform::image::Bitmap picture;
        EXPECT_TRUE(platform::image::RenderEmf(reinterpret_cast<const uint8_t*>(changed.data()),
                                               changed.size(), picture))
            << height;
        EXPECT_GT(picture.width, 0u);
    }
}

}  // namespace
