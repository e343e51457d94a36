// A page's whole Word paste: the converted HTML arrives, every picture is uploaded through an
// upload entry, and the server receives the prepared bytes under their checksum names.
#include <json/reader.h>
#include <json/writer.h>
#include <zlib.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "InProcessPlugin.h"
#include "LoopbackUploadServer.h"
#include "Office/CfHtml.h"
#include "TestFiles.h"
#include "image/ImageEncoding.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/kernel/Files.h"
#include "util/Utf8.h"

namespace {

using testhost::Value;

using testfiles::OnePixelPng;
using testfiles::ReadFile;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Json::Value ParseEvent(const std::string& text) {
    Json::Value v;
    std::istringstream in(text);
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &v, &errors)) << text;
    return v;
}

// The upload name: the CRC-32 of the bytes as the bytes of its little-endian form in hex.
std::string ChecksumName(const std::string& bytes, const std::string& extension) {
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
    char hex[9];
    std::snprintf(hex, sizeof(hex), "%02x%02x%02x%02x", static_cast<unsigned>(crc & 0xFF),
                  static_cast<unsigned>((crc >> 8) & 0xFF),
                  static_cast<unsigned>((crc >> 16) & 0xFF),
                  static_cast<unsigned>((crc >> 24) & 0xFF));
    std::string ext = extension;
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return hex + ext;
}

class WordUploadTest : public InProcessPlugin {
  protected:
    void SetUp() override {
        InProcessPlugin::SetUp();
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
        plugin_ = &NewInstance();
        events_ = host().NewFunction();
        ASSERT_TRUE(plugin_->Set("StateChanged", Value(events_)));
        plugin_->Call("Init", {Value("{\"config\":{\"PostUrl\":\"" + server_.url() + "\"}}")});
        dir_ = ::testing::TempDir() + "quillon_word_upload";
        std::system(("mkdir -p '" + dir_ + "'").c_str());
    }
    void TearDown() override {
        platform::SetCurrentClipboard(nullptr);
        InProcessPlugin::TearDown();
    }

    std::vector<Json::Value> Events(const std::string& name) {
        std::vector<Json::Value> found;
        for (const std::string& text : events_.StringArgs()) {
            Json::Value e = ParseEvent(text);
            if (e["name"].asString() == name) found.push_back(e);
        }
        return found;
    }

    bool WaitFor(const std::string& name, size_t count) {
        return host().RunUntil([&] { return Events(name).size() >= count; },
                               std::chrono::seconds(60));
    }

    // Uploads one file the way the demo page does; returns the entry's table id.
    std::string Upload(const std::string& path, int idLoc, const std::string& width = "0",
                       const std::string& height = "0") {
        const std::string id = plugin_->Call("FileUploader_AddFile").value.AsString();
        Json::Value doc;
        doc["config"]["pathLoc"] = path;
        doc["config"]["idLoc"] = idLoc;
        doc["config"]["Width"] = width;
        doc["config"]["Height"] = height;
        doc["config"]["PostUrl"] = server_.url();
        plugin_->Call("FileUploader_Init", {Value(id), Value(Json::FastWriter().write(doc))});
        plugin_->Call("FileUploader_Post", {Value(id)});
        return id;
    }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
    testhost::Instance* plugin_ = nullptr;
    testhost::PageFunction events_;
    LoopbackUploadServer server_;
    std::string dir_;
};

TEST_F(WordUploadTest, EveryPictureOfAWordPasteReachesTheServerPrepared) {
    // A real Word document whose pictures are an .emz, PNGs, a .wmz and a JPEG on disk.
    std::string html = ReadFile(std::string(QUILLON_CORPUS_DIR) +
                                "/word/ck4_unsupported-formats_word365mac_chrome.html");
    const std::string from =
        "file:////Users/comandeer/Library/Group%20Containers/UBF8T346G9.Office/TemporaryItems/"
        "msohtmlclip/";
    for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
        html.replace(at, from.size(), "file://" + dir_ + "/");
    for (size_t at = html.find("clip_image004.png"); at != std::string::npos;
         at = html.find("clip_image004.png", at))
        html.replace(at, 17, "clip_image004.jpg");
    const std::string corpus = QUILLON_CORPUS_DIR;
    WriteFile(dir_ + "/clip_image001.emz", ReadFile(corpus + "/wmz/gdconv_sample.emz"));
    WriteFile(dir_ + "/clip_image002.png", OnePixelPng());
    WriteFile(dir_ + "/clip_image003.wmz", ReadFile(corpus + "/wmz/gdviewer_sample.wmz"));
    WriteFile(dir_ + "/clip_image004.jpg", std::string("\xFF\xD8\xFF\xE0 not decoded, sent as is"));
    WriteFile(dir_ + "/clip_image005.png", OnePixelPng() + "trailing");
    clipboard_->SetHtml(WrapCfHtml(html, "file:///Users/ann/report.docx"));

    plugin_->Call("Paste");
    ASSERT_TRUE(WaitFor("Parser_PasteWord", 1));
    const Json::Value paste = Events("Parser_PasteWord")[0];
    const std::string word = paste["word"].asString();
    EXPECT_EQ(word.find("<o:p>"), std::string::npos);
    const Json::Value& imgs = paste["imgs"];
    ASSERT_EQ(imgs.size(), 3u) << "one picture per shape";

    std::map<int, std::string> expectedNames;  // idLoc -> checksum name
    std::set<std::string> extensions;
    for (Json::ArrayIndex i = 0; i < imgs.size(); ++i) {
        const Json::Value& img = imgs[i];
        EXPECT_NE(word.find(img["html"].asString()), std::string::npos) << "html is verbatim";
        const std::string src = img["src"].asString();
        EXPECT_EQ(src.rfind(dir_, 0), 0u) << src;
        const int idLoc = 100 + static_cast<int>(i);
        const std::string width = img["width"].asString(), height = img["height"].asString();
        const EncodedImage prepared =
            PrepareUploadImage(util::DecodeUtf8(src), std::stoi(width), std::stoi(height));
        expectedNames[idLoc] =
            ChecksumName(prepared.bytes.str(), util::EncodeUtf8(prepared.extension));
        extensions.insert(img["ext"].asString());
        Upload(src, idLoc, width, height);
    }
    EXPECT_EQ(extensions, (std::set<std::string>{".emz", ".png", ".wmz"}));
    // A JPEG goes out as it is.
    const std::string jpeg = ReadFile(dir_ + "/clip_image004.jpg");
    expectedNames[200] = ChecksumName(jpeg, ".jpg");
    Upload(dir_ + "/clip_image004.jpg", 200);
    ASSERT_TRUE(WaitFor("File_PostComplete", imgs.size() + 1));
    for (const Json::Value& done : Events("File_PostComplete")) {
        const int id = done["id"].asInt();
        ASSERT_TRUE(expectedNames.count(id)) << id;
        EXPECT_EQ(done["value"].asString(), "http://127.0.0.1/files/" + expectedNames[id]);
    }
    std::set<std::string> received;
    for (const LoopbackUploadServer::Upload& up : server_.uploads()) {
        received.insert(up.fileName);
        if (up.fileName == expectedNames[200]) {
            EXPECT_EQ(up.content, jpeg);
        }
        if (up.fileName.size() > 4 && up.fileName.substr(up.fileName.size() - 4) == ".png") {
            EXPECT_EQ(up.content.substr(0, 8), "\x89PNG\r\n\x1A\n");
        }
    }
    for (const auto& expected : expectedNames) EXPECT_TRUE(received.count(expected.second));
    EXPECT_TRUE(Events("File_PostError").empty());
    EXPECT_FALSE(Events("File_PostProcess").empty());
}

TEST_F(WordUploadTest, AWebAddressIsDownloadedThenUploaded) {
    const std::string url = server_.Serve("remote.png", OnePixelPng(), "image/png");
    Upload(url, 7);
    ASSERT_TRUE(WaitFor("File_PostComplete", 1));
    const Json::Value done = Events("File_PostComplete")[0];
    EXPECT_EQ(done["id"].asInt(), 7);
    const std::vector<LoopbackUploadServer::Upload> uploads = server_.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].content, OnePixelPng()) << "downloaded bytes go out unchanged";
    EXPECT_EQ(uploads[0].fileName, ChecksumName(OnePixelPng(), ".png"));

    Upload(server_.Serve("gone", "", "image/png").substr(0, 30) + "/missing.png", 8);
    ASSERT_TRUE(WaitFor("Fire_DownError", 1));
    EXPECT_EQ(Events("Fire_DownError")[0]["value"].asInt(), 12);
    EXPECT_EQ(Events("Fire_DownError")[0]["id"].asInt(), 8);
}

TEST_F(WordUploadTest, DeletingEntriesAndDestroyingTheInstanceWhileWorkersRunIsClean) {
    WriteFile(dir_ + "/big.gif", std::string(4 << 20, 'x'));
    const std::string first = Upload(dir_ + "/big.gif", 1);
    for (int i = 2; i < 4; ++i) Upload(dir_ + "/big.gif", i);
    Upload(server_.Serve("remote.png", OnePixelPng(), "image/png"), 9);  // download, then delay
    plugin_->Call("FileUploader_DelFile", {Value(std::stoi(first))});
    const size_t before = events_.CallCount();
    EXPECT_EQ(plugin_->Destroy(), NPERR_NO_ERROR);
    host().RunUntil([] { return false; }, std::chrono::milliseconds(1500));
    EXPECT_EQ(events_.CallCount(), before) << "nothing reaches a destroyed instance";
}

}  // namespace
