#include "platform/image/DibDecoder.h"

#include <gtest/gtest.h>

#include "TestImages.h"

namespace {

using platform::image::DecodeBmp;
using platform::image::DecodeDib;
using platform::image::DibImage;
using testimages::DibLayout;
using testimages::Le16;
using testimages::Le32;
using testimages::MakeDib;

uint32_t Pixel(const DibImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.bitmap.Row(y) + x * 4;
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

DibImage Decode(const std::string& block, int line = 0) {
    SCOPED_TRACE(line);
    DibImage image;
    EXPECT_TRUE(DecodeDib(reinterpret_cast<const uint8_t*>(block.data()), block.size(), image));
    return image;
}

bool Fails(const std::string& block) {
    DibImage image;
    const bool ok = DecodeDib(reinterpret_cast<const uint8_t*>(block.data()), block.size(), image);
    return !ok && image.bitmap.empty();
}

// 2 x 2 pictures in each bit count: top row red, green; bottom row blue, white.
const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

void ExpectQuad(const DibImage& image, int line) {
    SCOPED_TRACE(line);
    ASSERT_EQ(2u, image.bitmap.width);
    ASSERT_EQ(2u, image.bitmap.height);
    EXPECT_EQ(kRed, Pixel(image, 0, 0));
    EXPECT_EQ(kGreen, Pixel(image, 1, 0));
    EXPECT_EQ(kBlue, Pixel(image, 0, 1));
    EXPECT_EQ(kWhite, Pixel(image, 1, 1));
}

TEST(DibDecoder, EveryBitCountAndRowOrder) {
    const std::vector<uint32_t> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    DibLayout s;
    s.width = 2;
    s.height = 2;

    s.bitCount = 8;
    s.palette = palette;
    s.pixels = std::string("\x02\x03\0\0\x00\x01\0\0", 8);  // bottom row first
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);
    EXPECT_FALSE(Decode(MakeDib(s), __LINE__).IsGreyPalette());

    s.bitCount = 4;
    s.pixels = std::string("\x23\0\0\0\x01\0\0\0", 8);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);

    s.bitCount = 1;  // two colours only: red and white
    s.palette = {0xFF0000, 0xFFFFFF};
    s.pixels = std::string("\x40\0\0\0\x00\0\0\0", 8);
    const DibImage mono = Decode(MakeDib(s), __LINE__);
    EXPECT_EQ(kRed, Pixel(mono, 0, 0));
    EXPECT_EQ(kRed, Pixel(mono, 1, 0));
    EXPECT_EQ(kRed, Pixel(mono, 0, 1));
    EXPECT_EQ(kWhite, Pixel(mono, 1, 1));

    s.palette.clear();
    s.bitCount = 24;
    s.pixels = std::string("\xFF\0\0\xFF\xFF\xFF\0\0\0\0\xFF\0\xFF\0\0\0", 16);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);
    // The same rows stored top-down.
    s.height = -2;
    s.pixels = std::string("\0\0\xFF\0\xFF\0\0\0\xFF\0\0\xFF\xFF\xFF\0\0", 16);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);
    s.height = 2;

    s.bitCount = 32;  // the reserved byte is not alpha
    s.pixels = std::string("\xFF\0\0\0\xFF\xFF\xFF\0\0\0\xFF\0\0\xFF\0\0", 16);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);

    s.bitCount = 16;  // 5-5-5 without masks
    s.pixels = Le16(0x001F) + Le16(0x7FFF) + Le16(0x7C00) + Le16(0x03E0);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);

    s.compression = 3;  // 5-6-5 bit fields after the header
    s.masks[0] = 0xF800;
    s.masks[1] = 0x07E0;
    s.masks[2] = 0x001F;
    s.pixels = Le16(0x001F) + Le16(0xFFFF) + Le16(0xF800) + Le16(0x07E0);
    ExpectQuad(Decode(MakeDib(s), __LINE__), __LINE__);
}

TEST(DibDecoder, HeaderVariants) {
    DibLayout s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 32;
    s.compression = 3;
    s.headerSize = 124;  // V5: masks inside the header, alpha honoured
    s.masks[0] = 0x00FF0000;
    s.masks[1] = 0x0000FF00;
    s.masks[2] = 0x000000FF;
    s.masks[3] = 0xFF000000;
    s.pixels = Le32(0xFF0000FF) + Le32(0x80FFFFFF) + Le32(0xFFFF0000) + Le32(0x0000FF00);
    const DibImage v5 = Decode(MakeDib(s), __LINE__);
    EXPECT_EQ(kRed, Pixel(v5, 0, 0));
    EXPECT_EQ(0x0000FF00u, Pixel(v5, 1, 0));
    EXPECT_EQ(0x80FFFFFFu, Pixel(v5, 1, 1));

    s.headerSize = 108;
    EXPECT_EQ(kBlue, Pixel(Decode(MakeDib(s), __LINE__), 0, 1));

    DibLayout core;  // 12-byte header, three-byte palette entries
    core.headerSize = 12;
    core.width = 2;
    core.height = 1;
    core.bitCount = 1;
    core.palette = {0x111111, 0x222222};
    core.pixels = std::string("\x80\0\0\0", 4);
    const DibImage c = Decode(MakeDib(core), __LINE__);
    EXPECT_EQ(0xFF222222u, Pixel(c, 0, 0));
    EXPECT_EQ(0xFF111111u, Pixel(c, 1, 0));
    EXPECT_TRUE(c.IsGreyPalette());

    // A BMP file whose pixel offset leaves a gap after the palette.
    DibLayout s24;
    s24.width = 1;
    s24.height = 1;
    s24.pixels = std::string("\x10\x20\x30\0", 4);
    std::string bmp = testimages::MakeBmp(s24);
    bmp.insert(bmp.size() - 4, "GAP!");
    bmp.replace(10, 4, Le32(uint32_t(bmp.size() - 4)));
    DibImage image;
    ASSERT_TRUE(DecodeBmp(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size(), image));
    EXPECT_EQ(0xFF302010u, Pixel(image, 0, 0));
}

TEST(DibDecoder, RunLengthEncoding) {
    DibLayout s;
    s.width = 6;
    s.height = 3;
    s.bitCount = 8;
    s.compression = 1;
    s.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // Bottom row: 3 x red, absolute run (green, blue, green), end of line; then a delta of
    // (2, 1) that skips the middle row and lands on column 2 of the top row: 2 x blue.
    s.pixels = std::string("\x03\x01\x00\x03\x02\x03\x02\x00\x00\x00", 10) +
               std::string("\x00\x02\x02\x01\x02\x03\x00\x01", 8);
    const DibImage rle8 = Decode(MakeDib(s), __LINE__);
    EXPECT_EQ(kRed, Pixel(rle8, 2, 2));
    EXPECT_EQ(kBlue, Pixel(rle8, 4, 2));
    EXPECT_EQ(0xFF000000u, Pixel(rle8, 3, 1));  // skipped: colour 0
    EXPECT_EQ(kBlue, Pixel(rle8, 2, 0));
    EXPECT_EQ(kBlue, Pixel(rle8, 3, 0));
    EXPECT_EQ(0xFF000000u, Pixel(rle8, 4, 0));

    s.compression = 2;  // RLE4: run of 4 alternating 1,2; absolute 3 pixels (3,2,1)
    s.bitCount = 4;
    s.height = 1;
    s.pixels = std::string("\x04\x12\x00\x03\x32\x10\x00\x01", 8);
    const DibImage rle4 = Decode(MakeDib(s), __LINE__);
    EXPECT_EQ(kRed, Pixel(rle4, 0, 0));
    EXPECT_EQ(kGreen, Pixel(rle4, 1, 0));
    EXPECT_EQ(kBlue, Pixel(rle4, 4, 0));
    EXPECT_EQ(kGreen, Pixel(rle4, 5, 0));
}

TEST(DibDecoder, BadBlocksAreRefused) {
    DibLayout s;
    s.width = 3;
    s.height = 2;
    s.bitCount = 8;
    s.palette = {0, 0xFFFFFF};
    s.pixels = std::string(8, '\x01');
    const std::string good = MakeDib(s);
    Decode(good);
    for (size_t n = 0; n < good.size(); ++n) EXPECT_TRUE(Fails(good.substr(0, n))) << n;

    DibLayout absurd = s;
    absurd.width = 100000;
    absurd.height = 100000;
    EXPECT_TRUE(Fails(MakeDib(absurd)));
    DibLayout odd = s;
    odd.bitCount = 7;
    EXPECT_TRUE(Fails(MakeDib(odd)));
    DibLayout bigPalette = s;
    bigPalette.bitCount = 1;
    bigPalette.palette.assign(3, 0);
    EXPECT_TRUE(Fails(MakeDib(bigPalette)));
    DibLayout rleTopDown = s;
    rleTopDown.compression = 1;
    rleTopDown.height = -2;
    EXPECT_TRUE(Fails(MakeDib(rleTopDown)));
    DibLayout rleOverrun = s;  // an absolute run longer than the data
    rleOverrun.compression = 1;
    rleOverrun.pixels = std::string("\x00\xFF\x01\x01", 4);
    EXPECT_TRUE(Fails(MakeDib(rleOverrun)));
    DibLayout noMasks = s;
    noMasks.bitCount = 16;
    noMasks.compression = 3;
    noMasks.palette.clear();
    noMasks.pixels = std::string(16, '\0');
    EXPECT_TRUE(Fails(MakeDib(noMasks)));
    EXPECT_TRUE(Fails(Le32(40) + Le32(uint32_t(-5)) + Le32(1)));  // negative width
}

}  // namespace
