#include "TestImages.h"

#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include "TestFiles.h"

namespace testimages {

std::string Le16(uint16_t v) {
    return std::string{char(v & 0xFF), char(v >> 8)};
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

std::string MakeDib(const DibLayout& s) {
    std::string out;
    if (s.headerSize == 12) {
        out = Le32(12) + Le16(uint16_t(s.width)) + Le16(uint16_t(s.height)) + Le16(1) +
              Le16(s.bitCount);
        for (uint32_t c : s.palette) out += std::string{char(c), char(c >> 8), char(c >> 16)};
        return out + s.pixels;
    }
    out = Le32(s.headerSize) + Le32(uint32_t(s.width)) + Le32(uint32_t(s.height)) + Le16(1) +
          Le16(s.bitCount) + Le32(s.compression) + Le32(uint32_t(s.pixels.size())) + Le32(2835) +
          Le32(2835) + Le32(uint32_t(s.palette.size())) + Le32(0);
    if (s.headerSize > 40) {
        for (uint32_t m : s.masks) out += Le32(m);
        out.resize(s.headerSize, '\0');
    } else if (s.compression == 3) {
        for (int i = 0; i < 3; ++i) out += Le32(s.masks[i]);
    }
    for (uint32_t c : s.palette) out += Le32(c);
    return out + s.pixels;
}

std::string MakeBmp(const DibLayout& layout) {
    const std::string dib = MakeDib(layout);
    const uint32_t offset = uint32_t(14 + dib.size() - layout.pixels.size());
    return "BM" + Le32(uint32_t(14 + dib.size())) + Le32(0) + Le32(offset) + dib;
}

std::string DibFromBitmap(const platform::image::Bitmap& b) {
    DibLayout s;
    s.width = int32_t(b.width);
    s.height = int32_t(b.height);
    const size_t stride = (b.width * 3 + 3) / 4 * 4;
    for (uint32_t row = 0; row < b.height; ++row) {
        std::string line(stride, '\0');
        const uint8_t* src = b.Row(b.height - 1 - row);
        for (uint32_t x = 0; x < b.width; ++x) {
            for (int c = 0; c < 3; ++c) line[x * 3 + c] = char(src[x * 4 + c]);
        }
        s.pixels += line;
    }
    return MakeDib(s);
}

platform::image::Bitmap Gradient(uint32_t width, uint32_t height) {
    platform::image::Bitmap b;
    b.Allocate(width, height, 0xFF000000u);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = b.Row(y) + x * 4;
            p[0] = uint8_t(x * 255 / width);
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t((x + y) * 127 / (width + height));
        }
    }
    return b;
}

namespace {

std::string Record(uint16_t function, const std::string& params) {
    return Le32(uint32_t(3 + params.size() / 2)) + Le16(function) + params;
}

}  // namespace

std::string MakeTextWmf(const std::string& text) {
    std::string records;
    records += Record(0x020B, Le16(0) + Le16(0));       // SetWindowOrg
    records += Record(0x020C, Le16(200) + Le16(1000));  // SetWindowExt
    // A white brush (style solid) and a rectangle over the whole picture.
    records += Record(0x02FC, Le16(0) + Le32(0x00FFFFFF) + Le16(0));
    records += Record(0x012D, Le16(0));
    records += Record(0x02FA, Le16(5) + Le32(0) + Le32(0));  // a null pen: no outline
    records += Record(0x012D, Le16(1));
    records += Record(0x041B, Le16(200) + Le16(1000) + Le16(0) + Le16(0));
    int objects = 2;
    if (!text.empty()) {
        std::string face = "Arial";
        face.resize(32, '\0');
        const std::string font = Le16(uint16_t(-150)) + Le16(0) + Le16(0) + Le16(0) + Le16(700) +
                                 std::string(8, '\0') + face;
        records += Record(0x02FB, font);
        records += Record(0x012D, Le16(2));
        records += Record(0x0209, Le32(0));  // SetTextColor black
        std::string padded = text;
        if (padded.size() % 2) padded += '\0';
        records += Record(0x0521, Le16(uint16_t(text.size())) + padded + Le16(30) + Le16(20));
        ++objects;
    }
    records += Record(0x0000, "");
    const uint32_t words = uint32_t(9 + records.size() / 2);
    const std::string header = Le16(1) + Le16(9) + Le16(0x0300) + Le32(words) +
                               Le16(uint16_t(objects)) + Le32(64) + Le16(0);
    std::string placeable = Le32(0x9AC6CDD7u) + Le16(0) + Le16(0) + Le16(0) + Le16(1000) +
                            Le16(200) + Le16(1000) + Le32(0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < placeable.size(); i += 2)
        checksum ^= uint16_t(uint8_t(placeable[i]) | (uint8_t(placeable[i + 1]) << 8));
    return placeable + Le16(checksum) + header + records;
}

std::string ReadFile(const std::string& path) {
    return testfiles::ReadFile(path);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string MakeTempDir() {
    char pattern[] = "/tmp/quillon-image-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

std::string Gzip(const std::string& bytes) {
    std::string out;
    CryptoPP::StringSource(bytes, true, new CryptoPP::Gzip(new CryptoPP::StringSink(out), 1));
    return out;
}

}  // namespace testimages
