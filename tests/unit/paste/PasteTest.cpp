// The paste command and the "WordParser_" members, driven as a page drives them.
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "InProcessPlugin.h"
#include "LoopbackUploadServer.h"
#include "Office/CfHtml.h"
#include "TestFiles.h"
#include "config/AppConfig.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace {

using testhost::Value;

using testfiles::ReadFile;

// The first quantisation value of a JPEG: 1 at quality 100, 18 at quality 44.
int FirstQuantValue(const std::string& jpeg) {
    const size_t dqt = jpeg.find("\xFF\xDB");
    if (dqt == std::string::npos || dqt + 5 >= jpeg.size()) return -1;
    return static_cast<unsigned char>(jpeg[dqt + 5]);
}

std::string DibBlock(int width, int height) {
    std::string block(40, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) block[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(0, 40);
    put32(4, width);
    put32(8, height);
    block[12] = 1;
    block[14] = 24;
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < stride; ++x) block.push_back(static_cast<char>((x * 7 + y * 3) & 0xFF));
    return block;
}

class PasteTest : public InProcessPlugin {
  protected:
    void SetUp() override {
        InProcessPlugin::SetUp();
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
        plugin_ = &NewInstance();
        events_ = host().NewFunction();
        ASSERT_TRUE(plugin_->Set("StateChanged", Value(events_)));
        AppConfig::Instance().postUrl = server_.url();
    }
    void TearDown() override {
        platform::SetCurrentClipboard(nullptr);
        InProcessPlugin::TearDown();
    }

    std::vector<std::string> WaitForEvent(const std::string& name) {
        EXPECT_TRUE(host().RunUntil(
            [&] {
                for (const std::string& e : events_.StringArgs())
                    if (e.find("\"name\":\"" + name + "\"") != std::string::npos) return true;
                return false;
            },
            std::chrono::seconds(20)))
            << name;
        return events_.StringArgs();
    }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
    testhost::Instance* plugin_ = nullptr;
    testhost::PageFunction events_;
    LoopbackUploadServer server_;
};

TEST_F(PasteTest, HasDataTellsEachForm) {
    EXPECT_EQ(plugin_->Call("HasData").value, Value(false));
    clipboard_->SetFileList({L"/tmp/x.png"});
    EXPECT_EQ(plugin_->Call("HasData").value, Value(true));
    clipboard_->Clear();
    clipboard_->SetHtml("Version:0.9\r\n<html></html>");
    EXPECT_EQ(plugin_->Call("HasData").value, Value(true));
    clipboard_->Clear();
    clipboard_->SetData(platform::kClipboardDib, DibBlock(2, 2));
    EXPECT_EQ(plugin_->Call("HasData").value, Value(true));
}

TEST_F(PasteTest, FileListReportsImageFilesOnlyInListOrder) {
    const std::string dir = ::testing::TempDir() + "quillon_paste_files";
    mkdir(dir.c_str(), 0755);
    clipboard_->SetFileList({L"C:\\a\\A.PNG", L"/tmp/notes.txt",
                             std::wstring(dir.begin(), dir.end()), L"/home/ann/b.gif"});
    plugin_->Call("Paste");
    WaitForEvent("Parser_PasteFiles");
    ASSERT_EQ(events_.CallCount(), 1u);
    EXPECT_EQ(events_.StringArgs()[0],
              "{\"imgs\":[{\"ext\":\"PNG\",\"name\":\"A.PNG\",\"src\":\"C:\\\\a\\\\A.PNG\"},"
              "{\"ext\":\"gif\",\"name\":\"b.gif\",\"src\":\"/home/ann/b.gif\"}],"
              "\"name\":\"Parser_PasteFiles\"}\n");

    events_.ClearCalls();
    clipboard_->SetFileList({L"/tmp/notes.txt", std::wstring(dir.begin(), dir.end())});
    plugin_->Call("Paste");
    host().RunPending();
    EXPECT_EQ(events_.CallCount(), 0u) << "no image file: no event";
}

TEST_F(PasteTest, BitmapIsUploadedAsJpegQuality100AfterThePasteImageEvent) {
    platform::ClipboardBitmap bitmap;
    bitmap.width = 64;
    bitmap.height = 32;
    bitmap.bgra.assign(64 * 32 * 4, 0x80);
    clipboard_->SetBitmap(bitmap);
    clipboard_->SetHtml(WrapCfHtml("<html><body><p>text</p></body></html>", "file:///C:/a.docx"));
    AppConfig::Instance().session = "sid=42";
    plugin_->Call("Paste");
    const std::vector<std::string> events = WaitForEvent("Parser_PostComplete");
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0], "{\"name\":\"Parser_PasteImage\"}");
    EXPECT_NE(events[1].find("Parser_PostProcess"), std::string::npos) << events[1];
    for (const std::string& e : events) EXPECT_EQ(e.find("Parser_PasteWord"), std::string::npos);
    const std::vector<LoopbackUploadServer::Upload> uploads = server_.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].cookie, "sid=42");
    EXPECT_EQ(uploads[0].fileName.substr(uploads[0].fileName.size() - 4), ".jpg");
    EXPECT_EQ(FirstQuantValue(uploads[0].content), 1) << "quality 100";
    EXPECT_NE(events.back().find(uploads[0].fileName), std::string::npos)
        << "the server's response is the completion's value";
}

TEST_F(PasteTest, DibIsUploadedWithTheConfiguredQualityLow8Bits) {
    clipboard_->SetData(platform::kClipboardDib, DibBlock(40, 30));
    AppConfig::Instance().jpegQuality = 300;  // reaches the encoder as 44
    plugin_->Call("Paste");
    WaitForEvent("Parser_PostComplete");
    AppConfig::Instance().jpegQuality = 100;
    const std::vector<LoopbackUploadServer::Upload> uploads = server_.uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(FirstQuantValue(uploads[0].content), 18);
}

TEST_F(PasteTest, FailedUploadRaisesPostError) {
    server_.SetResponse("no", 500);
    clipboard_->SetData(platform::kClipboardDib, DibBlock(8, 8));
    plugin_->Call("Paste");
    const std::vector<std::string> events = WaitForEvent("Parser_PostError");
    EXPECT_EQ(events.back(), "{\"name\":\"Parser_PostError\",\"value\":2}\n");
}

class NoBitmapClipboard : public platform::MemoryClipboard {
  public:
    bool GetBitmap(platform::ClipboardBitmap&) override { return false; }
};

TEST_F(PasteTest, UnreadableBitmapFallsBackToTheWordHtml) {
    auto clipboard = std::make_shared<NoBitmapClipboard>();
    platform::SetCurrentClipboard(clipboard);
    clipboard->SetBitmap(platform::ClipboardBitmap());
    clipboard->SetHtml(
        WrapCfHtml("<html><body><!--StartFragment--><p class=MsoNormal>Hello<o:p></o:p></p>"
                   "<!--EndFragment--></body></html>",
                   "file:///C:/Users/ann/report.docx"));
    plugin_->Call("Paste");
    const std::vector<std::string> events = WaitForEvent("Parser_PasteWord");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("Hello"), std::string::npos);
    EXPECT_EQ(events[0].find("o:p"), std::string::npos);
    EXPECT_EQ(events[0].find("\"imgs\""), std::string::npos) << "no pictures: no imgs member";
}

std::string CorpusDocWithLocalPictures(const std::string& name, const std::string& dir) {
    std::string html = ReadFile(std::string(QUILLON_CORPUS_DIR) + "/word/" + name);
    // Point every local picture at a folder of this test.
    const std::string from = "file:///C:/";
    for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
        html.replace(at, from.size(), "file://" + dir + "/");
    return html;
}

TEST_F(PasteTest, WordParserMembersOnARealWordDocument) {
    const std::string dir = ::testing::TempDir() + "quillon_wordparser";
    const std::string html =
        CorpusDocWithLocalPictures("ck4_simple-offline-image_word2016win_chrome.html", dir);
    clipboard_->SetHtml(WrapCfHtml(html, "file:///C:/Users/ann/report.docx"));
    EXPECT_EQ(plugin_->Call("WordParser_IsWord").value, Value(true));
    EXPECT_EQ(plugin_->Call("WordParser_IsExcel").value, Value(false));
    testhost::ScriptResult word = plugin_->Call("WordParser_GetWord");
    ASSERT_TRUE(word.value.IsString());
    EXPECT_EQ(word.value.AsString().find("<o:p>"), std::string::npos);

    testhost::PageFunction onImage = host().NewFunction();
    testhost::PageFunction pageObject = host().NewFunction();
    ASSERT_TRUE(plugin_->Set("WordParser_Object", Value(pageObject)));
    ASSERT_TRUE(plugin_->Set("WordParser_AddWordImg", Value(onImage)));
    EXPECT_EQ(plugin_->Call("WordParser_GetImages").value, Value(true));
    ASSERT_GE(onImage.CallCount(), 1u);
    for (const std::vector<Value>& call : onImage.Calls()) {
        ASSERT_EQ(call.size(), 6u);
        EXPECT_EQ(call[0].AsObject(), pageObject.object());
        EXPECT_EQ(call[4].AsString().rfind(dir, 0), 0u) << call[4].AsString();  // src
        EXPECT_NE(word.value.AsString().find(call[5].AsString()), std::string::npos)
            << "html occurs verbatim";
    }
    host().RunPending();
    EXPECT_EQ(host().OutstandingAllocations(), 0u);
}

TEST_F(PasteTest, WordParserWithoutHtmlAndWithExcel) {
    EXPECT_EQ(plugin_->Call("WordParser_IsWord").value, Value(false));
    EXPECT_TRUE(plugin_->Call("WordParser_GetWord").value.IsVoid());
    EXPECT_EQ(plugin_->Call("WordParser_GetExcel").value, Value(""));
    EXPECT_EQ(plugin_->Call("WordParser_GetImages").value, Value(false));

    const std::string excel =
        ReadFile(std::string(QUILLON_CORPUS_DIR) + "/excel/ck4_table_excel365_datatransfer.html");
    clipboard_->SetHtml(WrapCfHtml(excel, "file:///C:/Users/ann/book.xlsx"));
    EXPECT_EQ(plugin_->Call("WordParser_IsExcel").value, Value(true));
    EXPECT_TRUE(plugin_->Call("WordParser_GetWord").value.IsVoid()) << "not Word content";
    testhost::ScriptResult table = plugin_->Call("WordParser_GetExcel");
    EXPECT_NE(table.value.AsString().find("<table"), std::string::npos);

    plugin_->Call("Paste");
    const std::vector<std::string> events = WaitForEvent("Parser_PasteExcel");
    EXPECT_NE(events.back().find("<table"), std::string::npos);
}

}  // namespace
