// Runs one real operation through every library the Windows plug-in links and prints a line
// per library; the exit code is the number of failures. A link error or a wrong result here
// means the library cache (scripts/win32/build-deps.sh) is broken, not the plug-in.
#include <cryptopp/crc.h>
#include <cryptopp/filters.h>
#include <cryptopp/gzip.h>
#include <cryptopp/hex.h>
#include <htmlcxx/css/parser_pp.h>
#include <htmlcxx/html/ParserDom.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/thread/thread.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

int g_passed = 0;
int g_failed = 0;

void Report(const char* library, bool ok, const std::string& detail) {
    std::printf("%-10s %s  %s\n", library, ok ? "ok  " : "FAIL", detail.c_str());
    ++(ok ? g_passed : g_failed);
}

// Runs one check; an exception counts as a failure with its message.
void Check(const char* library, const std::function<bool(std::string&)>& check) {
    std::string detail;
    bool ok = false;
    try {
        ok = check(detail);
    } catch (const std::exception& e) {
        detail = std::string("exception: ") + e.what();
    } catch (...) {
        detail = "unknown exception";
    }
    Report(library, ok, detail);
}

bool CheckBoost(std::string& detail) {
    int value = 0;
    boost::thread worker([&value] { value = 42; });
    worker.join();
    const std::string elapsed =
        boost::posix_time::to_simple_string(boost::posix_time::seconds(3725));
    detail = "thread set " + std::to_string(value) + ", 3725 s = " + elapsed;
    return value == 42 && elapsed == "01:02:05";
}

bool CheckLog4cplus(std::string& detail) {
    const std::string path = "deps_check_log.txt";
    {
        log4cplus::Logger logger = log4cplus::Logger::getInstance("deps_check");
        log4cplus::SharedAppenderPtr appender(
            new log4cplus::FileAppender(path, std::ios_base::trunc, true));
        appender->setLayout(
            std::unique_ptr<log4cplus::Layout>(new log4cplus::PatternLayout("%m [%l]%n")));
        logger.addAppender(appender);
        logger.setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
        LOG4CPLUS_DEBUG(logger, "written through the file appender");
        logger.removeAllAppenders();
    }
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    in.close();
    std::remove(path.c_str());
    detail = "log line: " + line;
    return line.find("written through the file appender [") == 0;
}

bool CheckJsonCpp(std::string& detail) {
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse("{\"b\":[1,2],\"a\":\"\xE4\xB8\xAD\"}", root)) {
        detail = "parse failed";
        return false;
    }
    Json::FastWriter writer;
    std::string text = writer.write(root);
    // JsonCpp 1.9.5's FastWriter writes characters outside ASCII as \u escapes (the event
    // texts use a StreamWriterBuilder with emitUTF8 for raw UTF-8).
    const std::string expected = "{\"a\":\"\\u4e2d\",\"b\":[1,2]}\n";
    text.pop_back();
    detail = "FastWriter: " + text;
    return text + "\n" == expected;
}

bool CheckHtmlcxx(std::string& detail) {
    htmlcxx::HTML::ParserDom parser;
    tree<htmlcxx::HTML::Node> dom = parser.parseTree("<p class=MsoNormal>hi<b>there</b></p>");
    int elements = 0;
    std::string cls;
    for (auto it = dom.begin(); it != dom.end(); ++it) {
        if (it->isTag() && !it->isComment()) {
            ++elements;
            if (it->tagName() == "p") {
                it->parseAttributes();
                cls = it->attribute("class").second;
            }
        }
    }
    // The CSS parser only has to link and run; which declarations it returns is not checked.
    htmlcxx::CSS::Parser css;
    const bool css_ran = css.parse(std::string("p.MsoNormal { margin: 0 }"));
    detail = "DOM elements " + std::to_string(elements) + ", class " + cls +
             ", CSS parser ran: " + (css_ran ? "yes" : "no");
    // The document root is a tag node with an empty name: root, p and b.
    return elements == 3 && cls == "MsoNormal";
}

bool CheckCryptopp(std::string& detail) {
    std::string crc;
    CryptoPP::CRC32 hash;
    CryptoPP::StringSource(
        "123456789", true,
        new CryptoPP::HashFilter(hash, new CryptoPP::HexEncoder(new CryptoPP::StringSink(crc))));
    std::string zipped;
    std::string unzipped;
    CryptoPP::StringSource("gzip round trip", true,
                           new CryptoPP::Gzip(new CryptoPP::StringSink(zipped)));
    CryptoPP::StringSource(zipped, true, new CryptoPP::Gunzip(new CryptoPP::StringSink(unzipped)));
    detail = "CRC32 " + crc + ", gunzip: " + unzipped;
    // Crypto++ emits the CRC-32 register in little-endian byte order.
    return crc == "2639F4CB" && unzipped == "gzip round trip";
}

bool CheckTurboJpeg(std::string& detail) {
    const int width = 16;
    const int height = 8;
    std::vector<unsigned char> pixels(width * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7);
    tjhandle compressor = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpeg_size = 0;
    const int rc = tjCompress2(compressor, pixels.data(), width, 0, height, TJPF_RGB, &jpeg,
                               &jpeg_size, TJSAMP_420, 80, 0);
    tjDestroy(compressor);
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    tjhandle decompressor = tjInitDecompress();
    const int hrc =
        rc == 0 ? tjDecompressHeader3(decompressor, jpeg, jpeg_size, &w, &h, &subsamp, &colorspace)
                : -1;
    tjDestroy(decompressor);
    tjFree(jpeg);
    detail = "JPEG of " + std::to_string(jpeg_size) + " bytes, header " + std::to_string(w) + "x" +
             std::to_string(h);
    return rc == 0 && hrc == 0 && w == width && h == height;
}

bool CheckPng(std::string& detail) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 5;
    image.height = 3;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image), 0x80);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::vector<unsigned char> png(size);
    const bool wrote = size > 0 && png_image_write_to_memory(&image, png.data(), &size, 0,
                                                             pixels.data(), 0, nullptr) != 0;
    png_image back;
    std::memset(&back, 0, sizeof back);
    back.version = PNG_IMAGE_VERSION;
    const bool read = wrote && png_image_begin_read_from_memory(&back, png.data(), size) != 0;
    png_image_free(&back);
    detail = std::string("libpng ") + png_get_libpng_ver(nullptr) + ", PNG of " +
             std::to_string(size) + " bytes, read back " + std::to_string(back.width) + "x" +
             std::to_string(back.height);
    return read && back.width == 5 && back.height == 3;
}

bool CheckZlib(std::string& detail) {
    const char* text = "123456789";
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(text), 9);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(crc));
    detail = std::string("zlib ") + zlibVersion() + ", CRC-32 " + hex;
    return crc == 0xCBF43926UL;
}

}  // namespace

int main() {
    log4cplus::Initializer log4cplus_init;
    Check("boost", CheckBoost);
    Check("log4cplus", CheckLog4cplus);
    Check("jsoncpp", CheckJsonCpp);
    Check("htmlcxx", CheckHtmlcxx);
    Check("cryptopp", CheckCryptopp);
    Check("turbojpeg", CheckTurboJpeg);
    Check("libpng", CheckPng);
    Check("zlib", CheckZlib);
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed;
}
