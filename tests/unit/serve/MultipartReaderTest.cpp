// The streaming multipart reader must find parts and delimiters wherever the reads split them.
#include "tools/quillon/MultipartReader.h"

#include <gtest/gtest.h>

namespace {

struct Recorder : MultipartReader::Sink {
    std::string log;
    bool Begin(const PartHead& part) override {
        log += "[" + part.name + "|" + part.fileName + "]";
        return true;
    }
    bool Data(const char* bytes, size_t n) override {
        log.append(bytes, n);
        return true;
    }
    bool End() override {
        log += "[end]";
        return true;
    }
};

TEST(MultipartReaderTest, PartsComeOutWholeAtEverySplitOfTheBody) {
    const std::string boundary = "---------------------------7da1d41060a1a";
    // File bytes that almost hold a delimiter, then a field, then the end.
    const std::string data =
        std::string("\r\n--") + boundary.substr(0, 20) + std::string("\r\n-\0z", 5);
    const std::string body =
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; " +
        "filename=\"37b39b08.jpg\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data +
        "\r\n--" + boundary + "\r\nContent-Disposition: form-data; name=id\r\n\r\n7\r\n--" +
        boundary + "--\r\n";
    const std::string expected = "[file|37b39b08.jpg]" + data + "[end][id|]7[end]";
    for (size_t split = 0; split <= body.size(); ++split) {
        Recorder recorder;
        MultipartReader reader(boundary, &recorder);
        ASSERT_TRUE(reader.Feed(body.data(), split));
        ASSERT_TRUE(reader.Feed(body.data() + split, body.size() - split));
        EXPECT_TRUE(reader.Complete()) << split;
        EXPECT_EQ(recorder.log, expected) << split;
    }
    Recorder cut;
    MultipartReader unfinished(boundary, &cut);
    EXPECT_TRUE(unfinished.Feed(body.data(), body.size() - 8));
    EXPECT_FALSE(unfinished.Complete());
}

}  // namespace
