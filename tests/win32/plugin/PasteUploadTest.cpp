// Pastes and uploads through the real Windows services: the system clipboard, GDI+ for the
// pasted bitmap, WinINet for uploads (with the transport's sent-byte progress) and downloads,
// against the upload server the test run started.
#include <cstring>

#include "Check.h"
#include "ClipboardFill.h"
#include "PluginHost.h"
#include "TestFiles.h"
#include "platform/clipboard/CfHtmlHeader.h"

namespace {

using wintest::Page;

// The size a baseline or progressive JPEG declares in its frame header; {0, 0} when none.
std::pair<int, int> JpegSize(const std::string& jpeg) {
    for (size_t at = 2; at + 9 < jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[at]) != 0xFF) break;
        const unsigned char marker = static_cast<unsigned char>(jpeg[at + 1]);
        const size_t length = (static_cast<unsigned char>(jpeg[at + 2]) << 8) |
                              static_cast<unsigned char>(jpeg[at + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            const int height = (static_cast<unsigned char>(jpeg[at + 5]) << 8) |
                               static_cast<unsigned char>(jpeg[at + 6]);
            const int width = (static_cast<unsigned char>(jpeg[at + 7]) << 8) |
                              static_cast<unsigned char>(jpeg[at + 8]);
            return {width, height};
        }
        at += 2 + length;
    }
    return {0, 0};
}

// The width and height a PNG's header gives; {0, 0} when it is no PNG.
std::pair<int, int> PngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0) return {0, 0};
    auto number = [&](size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    return {number(16), number(20)};
}

// The stored file behind an address the upload server answered with.
std::string StoredFile(const std::string& address) {
    const size_t slash = address.rfind('/');
    if (slash == std::string::npos) return "";
    return wintest::ReadBytes(wintest::UploadFolder() +
                              wintest::Utf8ToWide(address.substr(slash + 1)));
}

TEST_CASE(FileListPasteReportsTheImageFilesInOrder) {
    const std::wstring folder = wintest::FreshFolder(L"quillon_file_list");
    const std::wstring picture = folder + L"\u56FE\u7247 A.PNG";  // a name GBK can spell
    const std::wstring notes = folder + L"notes.txt";
    const std::wstring animation = folder + L"b.gif";
    for (const std::wstring& path : {picture, notes, animation}) wintest::WriteBytes(path, "x");
    REQUIRE(clipfill::SetDirect({{CF_HDROP, clipfill::GlobalFromBytes(clipfill::DropFilesBlock(
                                                {picture, notes, folder, animation}))}}));

    Page page;
    REQUIRE(page.ok());
    CHECK_EQ(page.plugin().Call("HasData").value.AsBool(), true);
    page.plugin().Call("Paste");
    REQUIRE(page.WaitFor("Parser_PasteFiles"));
    const Json::Value imgs = page.Events("Parser_PasteFiles")[0]["imgs"];
    REQUIRE(imgs.size() == 2u);
    CHECK_EQ(imgs[0]["src"].asString(), wintest::WideToUtf8(picture));
    CHECK_EQ(imgs[0]["name"].asString(), wintest::WideToUtf8(L"\u56FE\u7247 A.PNG"));
    CHECK_EQ(imgs[0]["ext"].asString(), std::string("PNG"));
    CHECK_EQ(imgs[1]["src"].asString(), wintest::WideToUtf8(animation));
    CHECK_EQ(page.EventTexts().size(), 1u);
}

TEST_CASE(PastedBitmapIsUploadedAsJpegWithProgress) {
    // A real bitmap handle, as a screenshot tool leaves it on the clipboard.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 64;
    info.bmiHeader.biHeight = -32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    REQUIRE(bitmap != nullptr);
    for (int i = 0; i < 64 * 32; ++i) static_cast<uint32_t*>(bits)[i] = i < 1024 ? 0xFF0000 : 0xFF;
    REQUIRE(clipfill::SetDirect({{CF_BITMAP, bitmap}}));

    Page page;
    REQUIRE(page.ok());
    page.plugin().Call("Paste");
    REQUIRE(page.WaitFor("Parser_PostComplete"));
    const std::vector<std::string> texts = page.EventTexts();
    CHECK_EQ(texts[0], std::string("{\"name\":\"Parser_PasteImage\"}"));
    CHECK(!page.Events("Parser_PostProcess").empty());
    CHECK_EQ(page.Events("Parser_PostProcess").back()["percent"].asString(), std::string("100%"));
    const std::string address = page.Events("Parser_PostComplete")[0]["value"].asString();
    CHECK_EQ(address.substr(address.size() - 4), std::string(".jpg"));
    const std::string jpeg = StoredFile(address);
    REQUIRE(jpeg.size() > 2);
    CHECK_EQ(jpeg.substr(0, 2), std::string("\xFF\xD8"));
    CHECK(JpegSize(jpeg) == std::make_pair(64, 32));
}

TEST_CASE(FilesAreUploadedAndWebAddressesDownloadedThroughWinInet) {
    const std::wstring folder = wintest::FreshFolder(L"quillon_upload");
    // Several send chunks, so that progress has steps; a GIF goes out unchanged.
    std::string gif = "GIF89a";
    for (size_t i = 0; gif.size() < (3u << 20); ++i) gif += static_cast<char>(i * 7 + i / 251);
    wintest::WriteBytes(folder + L"big.gif", gif);

    Page page;
    REQUIRE(page.ok());
    page.Upload(wintest::WideToUtf8(folder + L"big.gif"), 7);
    REQUIRE(page.WaitFor("File_PostComplete"));
    const Json::Value done = page.Events("File_PostComplete")[0];
    CHECK_EQ(done["id"].asInt(), 7);
    const std::string address = done["value"].asString();
    CHECK(StoredFile(address) == gif);
    const std::vector<Json::Value> progress = page.Events("File_PostProcess");
    CHECK(progress.size() >= 2u);
    if (!progress.empty()) CHECK_EQ(progress.back()["id"].asInt(), 7);
    CHECK(page.Events("File_PostError").empty());

    // The stored file's address: downloaded by the plug-in, then uploaded again unchanged.
    page.Upload(address, 8);
    REQUIRE(page.WaitFor("File_PostComplete", 2));
    const Json::Value again = page.Events("File_PostComplete")[1];
    CHECK_EQ(again["id"].asInt(), 8);
    CHECK(StoredFile(again["value"].asString()) == gif);

    page.Upload(address.substr(0, address.rfind('/')) + "/missing.png", 9);
    REQUIRE(page.WaitFor("Fire_DownError"));
    CHECK_EQ(page.Events("Fire_DownError")[0]["id"].asInt(), 9);
    CHECK_EQ(page.Events("Fire_DownError")[0]["value"].asInt(), 12);
}

TEST_CASE(WordPasteFromTheOleClipboardUploadsEveryPicture) {
    // A real Word document whose pictures (an .emz, PNGs, a .wmz) are files in a local folder.
    const std::wstring folder = wintest::FreshFolder(L"quillon_word");
    const std::string corpus = QUILLON_WIN32_CORPUS_DIR;
    std::string html = wintest::ReadBytes(
        wintest::Utf8ToWide(corpus + "/word/ck4_unsupported-formats_word365mac_chrome.html"));
    REQUIRE(!html.empty());
    std::string url = "file:///" + wintest::WideToUtf8(folder);
    for (char& c : url)
        if (c == '\\') c = '/';
    const std::string from =
        "file:////Users/comandeer/Library/Group%20Containers/UBF8T346G9.Office/TemporaryItems/"
        "msohtmlclip/";
    for (size_t at = html.find(from); at != std::string::npos; at = html.find(from, at))
        html.replace(at, from.size(), url);
    wintest::WriteBytes(folder + L"clip_image001.emz",
                        wintest::ReadBytes(wintest::Utf8ToWide(corpus + "/wmz/gdconv_sample.emz")));
    wintest::WriteBytes(
        folder + L"clip_image003.wmz",
        wintest::ReadBytes(wintest::Utf8ToWide(corpus + "/wmz/gdviewer_sample.wmz")));
    for (const wchar_t* name : {L"clip_image002.png", L"clip_image004.png", L"clip_image005.png"})
        wintest::WriteBytes(folder + name, testfiles::OnePixelPng());
    // The copying program's data object offers the CF_HTML text; the plug-in reads it through
    // OLE on the browser's main thread.
    const UINT htmlFormat = RegisterClipboardFormatA("HTML Format");
    const std::string cfHtml = platform::WrapCfHtml(html, "file:///C:/Users/ann/report.docx");
    REQUIRE(clipfill::SetThroughOle(new clipfill::TestDataObject(
        {{htmlFormat, TYMED_HGLOBAL, cfHtml + std::string(1, '\0')}})));

    Page page;
    REQUIRE(page.ok());
    page.plugin().Call("Paste");
    REQUIRE(page.WaitFor("Parser_PasteWord"));
    const Json::Value paste = page.Events("Parser_PasteWord")[0];
    CHECK_EQ(paste["word"].asString().find("<o:p>"), std::string::npos);
    const Json::Value imgs = paste["imgs"];
    CHECK_EQ(imgs.size(), 3u);
    for (Json::ArrayIndex i = 0; i < imgs.size(); ++i)
        page.Upload(imgs[i]["src"].asString(), 100 + static_cast<int>(i),
                    imgs[i]["width"].asString(), imgs[i]["height"].asString());
    REQUIRE(page.WaitFor("File_PostComplete", imgs.size()));
    CHECK(page.Events("File_PostError").empty());
    CHECK(!page.Events("File_PostProcess").empty());
    int metafiles = 0;
    for (const Json::Value& done : page.Events("File_PostComplete")) {
        const Json::Value& img = imgs[done["id"].asInt() - 100];
        const std::string ext = img["ext"].asString();
        const std::string stored = StoredFile(done["value"].asString());
        if (ext != ".wmz" && ext != ".emz") continue;
        // Metafiles are drawn by GDI+: an EMF goes out as JPEG, a WMF as PNG at the size the
        // page gives.
        ++metafiles;
        if (ext == ".emz") {
            const std::pair<int, int> size = JpegSize(stored);
            CHECK(size.first > 0 && size.second > 0);
        } else {
            CHECK(PngSize(stored) == std::make_pair(std::stoi(img["width"].asString()),
                                                    std::stoi(img["height"].asString())));
        }
    }
    CHECK_EQ(metafiles, 2);
    clipfill::ClearClipboard();
}

}  // namespace
