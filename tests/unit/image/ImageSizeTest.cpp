#include "platform/image/ImageSize.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::image::ReadImagePixelSize;

std::string Le16(uint16_t v) {
    return std::string{char(v & 0xFF), char(v >> 8)};
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}
std::string Be16(uint16_t v) {
    return std::string{char(v >> 8), char(v & 0xFF)};
}
std::string Be32(uint32_t v) {
    return Be16(v >> 16) + Be16(v & 0xFFFF);
}

struct Size {
    uint32_t w = 0, h = 0;
};

Size SizeOf(const std::string& bytes) {
    Size s;
    EXPECT_TRUE(ReadImagePixelSize(bytes, s.w, s.h));
    return s;
}

TEST(ImageSize, ReadsEveryRasterHeader) {
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + Be32(13) + "IHDR" + Be32(640) +
                            Be32(480) + std::string(5, '\0');
    EXPECT_EQ(640u, SizeOf(png).w);
    EXPECT_EQ(480u, SizeOf(png).h);

    const std::string gif = "GIF89a" + Le16(17) + Le16(9) + std::string(3, '\0');
    EXPECT_EQ(17u, SizeOf(gif).w);
    EXPECT_EQ(9u, SizeOf(gif).h);

    // A JPEG with an APP0 segment and padding before a progressive frame header.
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + Be16(6) + "JFIF" +
                             std::string("\xFF\xFF\xC2", 3) + Be16(11) + "\x08" + Be16(300) +
                             Be16(1200) + "\x01\x01\x11\x00";
    EXPECT_EQ(1200u, SizeOf(jpeg).w);
    EXPECT_EQ(300u, SizeOf(jpeg).h);

    // A top-down BMP has a negative height.
    const std::string bmp = "BM" + std::string(12, '\0') + Le32(40) + Le32(33) +
                            Le32(static_cast<uint32_t>(-44)) + Le16(1) + Le16(24);
    EXPECT_EQ(33u, SizeOf(bmp).w);
    EXPECT_EQ(44u, SizeOf(bmp).h);
    const std::string coreBmp = "BM" + std::string(12, '\0') + Le32(12) + Le16(5) + Le16(6);
    EXPECT_EQ(5u, SizeOf(coreBmp).w);

    // Big-endian TIFF: width as SHORT, height as LONG, after an unrelated tag.
    const std::string tiff = std::string("MM\0*", 4) + Be32(8) + Be16(3) + Be16(254) + Be16(4) +
                             Be32(1) + Be32(0) + Be16(256) + Be16(3) + Be32(1) + Be16(77) +
                             Be16(0) + Be16(257) + Be16(4) + Be32(1) + Be32(99);
    EXPECT_EQ(77u, SizeOf(tiff).w);
    EXPECT_EQ(99u, SizeOf(tiff).h);
}

TEST(ImageSize, MetafilesGiveTheirFrameAt96Dpi) {
    // Placeable WMF: 1440 units per inch, 2880 x 720 units = 2 x 0.5 inch.
    const std::string wmf = Le32(0x9AC6CDD7u) + Le16(0) + Le16(0) + Le16(0) + Le16(2880) +
                            Le16(720) + Le16(1440) + Le32(0) + Le16(0);
    EXPECT_EQ(192u, SizeOf(wmf).w);
    EXPECT_EQ(48u, SizeOf(wmf).h);

    uint32_t w = 0, h = 0;
    ASSERT_TRUE(
        ReadImagePixelSize(std::wstring(L"" QUILLON_CORPUS_DIR "/wmz/gdconv_sample.emf"), w, h));
    EXPECT_GT(w, 10u);
    EXPECT_GT(h, 10u);
    ASSERT_TRUE(
        ReadImagePixelSize(std::wstring(L"" QUILLON_CORPUS_DIR "/wmz/gdconv_sample.wmf"), w, h));
    EXPECT_GT(w, 10u);
    EXPECT_GT(h, 10u);
}

TEST(ImageSize, CutOrUnknownContentGivesZero) {
    uint32_t w = 7, h = 7;
    EXPECT_FALSE(ReadImagePixelSize(std::string("\x89PNG\r\n\x1A\n", 8) + "\0\0\0\x0DIHDR", w, h));
    EXPECT_EQ(0u, w);
    EXPECT_EQ(0u, h);
    EXPECT_FALSE(ReadImagePixelSize(std::string("\xFF\xD8\xFF\xE0\x00\x10JF", 8), w, h));
    EXPECT_FALSE(ReadImagePixelSize(std::string("MM\0*\xFF\xFF\xFF\xF0", 8), w, h));
    EXPECT_FALSE(ReadImagePixelSize(std::string("plain text"), w, h));
    EXPECT_FALSE(ReadImagePixelSize(std::wstring(L"/nonexistent/x.png"), w, h));
}

}  // namespace
