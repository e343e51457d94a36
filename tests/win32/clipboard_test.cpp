// The Windows clipboard behind platform::Clipboard, filled the way other programs fill it:
// through OLE with a data object of our own (delayed rendering, answered by this thread's
// message loop) and through SetClipboardData with real memory blocks and bitmap handles.
//
//   clipboard_test.exe
#include <windows.h>
// windows.h first: the OLE and shell headers build on its types.
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Office/WordConverter.h"
#include "platform/clipboard/CfHtmlHeader.h"
#include "platform/clipboard/DefaultClipboard.h"
#include "platform/clipboard/win32/DropFileList.h"
#include "platform/clipboard/win32/PackedDib.h"
#include "platform/clipboard/win32/Win32Clipboard.h"
#include "tests/win32/Check.h"
#include "tests/win32/ClipboardFill.h"

namespace {

using namespace clipfill;

const char kCorpusWord[] =
    QUILLON_WIN32_CORPUS_DIR "/word/ck4_simple-offline-image_word2016win_chrome.html";

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A 24-bit bottom-up CF_DIB block, 3 x 2 (rows padded from 9 to 12 bytes); the pixel bytes
// count up so that a row or padding mix-up shows.
std::string Dib24Block() {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = 3;
    header.biHeight = 2;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = 24;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    for (int i = 0; i < 24; ++i) block += static_cast<char>(i % 12 < 9 ? 0x10 + i : 0);
    return block;
}

std::string CfHtmlFromCorpus() {
    const std::string html = ReadFile(kCorpusWord);
    if (html.empty()) return std::string();
    return platform::WrapCfHtml(html, "file:///C:/Users/someone/Documents/report.docx");
}

const std::vector<std::wstring> kFiles = {
    L"C:\\\x56FE\x7247\\\x622A\x56FE 1.png",  // C:\图片\截图 1.png
    L"D:\\\x6587\x6863\\\x62A5\x544A.docx",   // D:\文档\报告.docx
    L"C:\\a\\x.JPG",
};

}  // namespace

TEST_CASE(FormatNumbersAreTheSystemsRegistrations) {
    platform::Win32Clipboard clipboard;
    const uint32_t html = clipboard.RegisterFormat("HTML Format");
    CHECK(html >= 0xC000);
    CHECK_EQ(html, uint32_t(RegisterClipboardFormatA("HTML Format")));
    CHECK_EQ(clipboard.RegisterFormat("HTML Format"), html);
    CHECK(clipboard.RegisterFormat("Quillon Private") != html);
    CHECK(std::dynamic_pointer_cast<platform::Win32Clipboard>(platform::MakeDefaultClipboard()) !=
          nullptr);
}

TEST_CASE(EmptyClipboardOffersNothingAndReadsNothing) {
    ClearClipboard();
    platform::Win32Clipboard clipboard;
    const uint32_t html = clipboard.RegisterFormat("HTML Format");
    const DWORD start = GetTickCount();
    for (uint32_t format :
         {html, uint32_t(platform::kClipboardDib), uint32_t(platform::kClipboardBitmap),
          uint32_t(platform::kClipboardHdrop), uint32_t(0), uint32_t(0x10000)})
        CHECK(!clipboard.IsFormatAvailable(format));
    std::string bytes = "unchanged";
    std::vector<std::wstring> paths = {L"unchanged"};
    platform::ClipboardBitmap bitmap;
    CHECK(!clipboard.GetData(html, bytes));
    CHECK(!clipboard.GetData(platform::kClipboardDib, bytes));
    CHECK(!clipboard.GetFileList(paths));
    CHECK(!clipboard.GetBitmap(bitmap));
    CHECK_EQ(bytes, std::string("unchanged"));
    CHECK_EQ(paths.size(), size_t(1));
    CHECK(GetTickCount() - start < 2000);
}

TEST_CASE(OleDataObjectGivesHtmlFilesAndDibExactly) {
    platform::Win32Clipboard clipboard;
    const uint32_t html = clipboard.RegisterFormat("HTML Format");
    const std::string cfHtml = CfHtmlFromCorpus();
    CHECK(cfHtml.size() > 1000);
    // Office writes a terminating NUL; the block may be larger still.
    const std::string htmlBlock = cfHtml + std::string("\0\0garbage", 9);
    const std::string dib = Dib24Block();
    auto* object = new TestDataObject({{html, TYMED_HGLOBAL, htmlBlock},
                                       {CF_HDROP, TYMED_HGLOBAL, DropFilesBlock(kFiles)},
                                       {CF_DIB, TYMED_HGLOBAL, dib}});
    object->AddRef();
    CHECK(SetThroughOle(object));

    CHECK(clipboard.IsFormatAvailable(html));
    CHECK(clipboard.IsFormatAvailable(platform::kClipboardHdrop));
    CHECK(clipboard.IsFormatAvailable(platform::kClipboardDib));
    CHECK(!clipboard.IsFormatAvailable(clipboard.RegisterFormat("Quillon Absent")));

    std::string bytes;
    CHECK(clipboard.GetData(html, bytes));
    CHECK(bytes == cfHtml);
    CHECK_EQ(bytes.size(), cfHtml.size());
    std::vector<std::wstring> paths;
    CHECK(clipboard.GetFileList(paths));
    CHECK(paths == kFiles);
    CHECK_EQ(paths.size(), kFiles.size());
    if (paths.size() == kFiles.size()) CHECK_EQ(paths[0], kFiles[0]);
    std::string block;
    CHECK(clipboard.GetData(platform::kClipboardDib, block));
    CHECK_EQ(block, dib);
    CHECK(object->Served() > 0);
    object->Release();

    // What the Word paste makes of it, through the clipboard the plug-in reads.
    platform::SetCurrentClipboard(std::make_shared<platform::Win32Clipboard>());
    WordConverter converter;
    CHECK(converter.HasHtml());
    CHECK(converter.IsWord());
    CHECK(!converter.TestExcel());
    platform::SetCurrentClipboard(nullptr);
    ClearClipboard();
}

TEST_CASE(RegisteredFormatOfferedAsStreamIsReadWhole) {
    platform::Win32Clipboard clipboard;
    const uint32_t format = clipboard.RegisterFormat("Quillon Stream Test");
    std::string payload;
    for (int i = 0; i < 200000; ++i) payload += static_cast<char>(i * 7);  // NULs included
    CHECK(SetThroughOle(new TestDataObject({{format, TYMED_ISTREAM, payload}})));
    std::string bytes;
    CHECK(clipboard.GetData(format, bytes));
    CHECK_EQ(bytes.size(), payload.size());
    CHECK(bytes == payload);
    // The same through a clipboard that allows less.
    platform::Win32ClipboardLimits small;
    small.maxBytes = 1000;
    platform::Win32Clipboard limited(small);
    CHECK(!limited.GetData(format, bytes));
    ClearClipboard();
}

TEST_CASE(ReadsFromOtherThreadsWhileTheOwnerAnswers) {
    platform::Win32Clipboard clipboard;
    const uint32_t html = clipboard.RegisterFormat("HTML Format");
    const std::string cfHtml = CfHtmlFromCorpus();
    CHECK(SetThroughOle(new TestDataObject(
        {{html, TYMED_HGLOBAL, cfHtml}, {CF_HDROP, TYMED_HGLOBAL, DropFilesBlock(kFiles)}})));

    // A fresh thread (no OLE until the clipboard initialises it) and a thread of the
    // multi-threaded apartment, where the OLE clipboard cannot be used.
    for (bool multiThreaded : {false, true}) {
        std::string bytes;
        std::vector<std::wstring> paths;
        bool gotHtml = false, gotFiles = false, oleLeftAlone = false;
        CHECK(RunWhilePumping([&] {
            if (multiThreaded) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            gotHtml = clipboard.GetData(html, bytes);
            gotFiles = clipboard.GetFileList(paths);
            // The clipboard undid its own OLE initialisation: the thread's apartment is as
            // it was (uninitialised, or still multi-threaded).
            const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            oleLeftAlone = multiThreaded ? hr == S_FALSE : hr == S_OK;
            if (SUCCEEDED(hr)) CoUninitialize();
            if (multiThreaded) CoUninitialize();
        }));
        CHECK(gotHtml);
        CHECK(bytes == cfHtml);
        CHECK(gotFiles);
        CHECK(paths == kFiles);
        CHECK(oleLeftAlone);
    }

    // After a flush the data lives in the clipboard itself and needs no owner.
    CHECK(SUCCEEDED(OleFlushClipboard()));
    std::string flushed;
    std::thread reader([&] { clipboard.GetData(html, flushed); });
    reader.join();
    CHECK(flushed == cfHtml);
    ClearClipboard();
}

TEST_CASE(DirectDibBlockComesBackCutToItsLength) {
    platform::Win32Clipboard clipboard;
    const std::string dib = Dib24Block();
    // The block is larger than the bitmap, as allocations may be.
    CHECK(SetDirect({{CF_DIB, GlobalFromBytes(dib + std::string(20, '\x5A'))}}));
    CHECK(clipboard.IsFormatAvailable(platform::kClipboardDib));
    std::string block;
    CHECK(clipboard.GetData(platform::kClipboardDib, block));
    CHECK_EQ(block, dib);
    // A registered format keeps its whole block; CF_HDROP and CF_BITMAP are not blocks.
    const uint32_t raw = clipboard.RegisterFormat("Quillon Raw");
    const std::string rawBytes("a\0b\0\0", 5);
    CHECK(SetDirect(
        {{raw, GlobalFromBytes(rawBytes)}, {CF_HDROP, GlobalFromBytes(DropFilesBlock(kFiles))}}));
    CHECK(clipboard.GetData(raw, block));
    CHECK_EQ(block, rawBytes);
    CHECK(!clipboard.GetData(platform::kClipboardHdrop, block));
    CHECK(!clipboard.GetData(platform::kClipboardDib, block));
    std::vector<std::wstring> paths;
    CHECK(clipboard.GetFileList(paths));
    CHECK(paths == kFiles);
    ClearClipboard();
}

TEST_CASE(BitmapHandleGivesTopDownBgra) {
    platform::Win32Clipboard clipboard;
    // Bottom-up and top-down sections: the rows must come back top row first either way.
    for (LONG direction : {1, -1}) {
        const uint32_t width = 5, height = 3;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = direction * static_cast<LONG>(height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        CHECK(section != nullptr);
        if (!section) continue;
        // Pixel (x, y), y counted from the top: blue x, green y, red 0x80 + x + y.
        std::vector<uint8_t> expected;
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t row = direction > 0 ? height - 1 - y : y;
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t pixel[4] = {uint8_t(x), uint8_t(0x40 + y), uint8_t(0x80 + x + y), 0};
                std::memcpy(static_cast<uint8_t*>(bits) + (row * width + x) * 4, pixel, 4);
                expected.insert(expected.end(), pixel, pixel + 4);
            }
        }
        GdiFlush();
        CHECK(SetDirect({{CF_BITMAP, section}}));
        CHECK(clipboard.IsFormatAvailable(platform::kClipboardBitmap));
        platform::ClipboardBitmap bitmap;
        CHECK(clipboard.GetBitmap(bitmap));
        CHECK_EQ(bitmap.width, width);
        CHECK_EQ(bitmap.height, height);
        CHECK_EQ(std::string(bitmap.bgra.begin(), bitmap.bgra.end()),
                 std::string(expected.begin(), expected.end()));
    }
    ClearClipboard();
}

TEST_CASE(HeldClipboardIsWaitedForBriefly) {
    platform::Win32Clipboard clipboard;
    CHECK(SetDirect({{CF_DIB, GlobalFromBytes(Dib24Block())}}));
    // Another thread holds the clipboard open for a moment, with a window of its own.
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
        const bool open = OpenClipboard(window) != FALSE;
        SetEvent(opened);
        if (open) {
            Sleep(80);
            CloseClipboard();
        }
        DestroyWindow(window);
    });
    WaitForSingleObject(opened, 5000);
    platform::Win32ClipboardLimits impatient;
    impatient.openAttempts = 2;
    impatient.openRetryMs = 5;
    std::string block;
    CHECK(!platform::Win32Clipboard(impatient).GetData(platform::kClipboardDib, block));
    CHECK(clipboard.GetData(platform::kClipboardDib, block));
    CHECK_EQ(block, Dib24Block());
    holder.join();
    CloseHandle(opened);
    ClearClipboard();
}

TEST_CASE(MalformedFileListsReadAsAbsent) {
    platform::Win32Clipboard clipboard;
    std::vector<std::wstring> paths;
    // The name list runs to the end of the block without its terminator.
    std::string unterminated = DropFilesBlock({L"C:\\a.png"});
    unterminated.resize(unterminated.size() - 4);
    // The list's offset points beyond the block.
    std::string outside = DropFilesBlock({L"C:\\a.png"});
    reinterpret_cast<DROPFILES*>(&outside[0])->pFiles = 4000;
    std::string emptyList = DropFilesBlock({});
    for (const std::string& bad : {unterminated, outside, emptyList, std::string(8, '\0')}) {
        CHECK(SetDirect({{CF_HDROP, GlobalFromBytes(bad)}}));
        CHECK(clipboard.IsFormatAvailable(platform::kClipboardHdrop));
        CHECK(!clipboard.GetFileList(paths));
    }
    CHECK(paths.empty());
    // ANSI names come back as wide text.
    DROPFILES header = {};
    header.pFiles = sizeof header;
    std::string ansi(reinterpret_cast<const char*>(&header), sizeof header);
    ansi += std::string("C:\\one.gif\0D:\\two.bmp\0\0", 24);
    CHECK(SetDirect({{CF_HDROP, GlobalFromBytes(ansi)}}));
    CHECK(clipboard.GetFileList(paths));
    CHECK(paths == std::vector<std::wstring>({L"C:\\one.gif", L"D:\\two.bmp"}));
    ClearClipboard();
}

TEST_CASE(PackedDibLengthFollowsTheHeader) {
    using platform::win32::PackedDibLength;
    auto length = [](const std::string& block) {
        return PackedDibLength(reinterpret_cast<const unsigned char*>(block.data()), block.size());
    };
    CHECK_EQ(length(Dib24Block()), size_t(40 + 24));
    // 8 bits with a full colour table, 5 wide (rows of 8 bytes), 2 high, top-down.
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = 5;
    header.biHeight = -2;
    header.biPlanes = 1;
    header.biBitCount = 8;
    std::string indexed(reinterpret_cast<const char*>(&header), sizeof header);
    indexed.resize(2000);
    CHECK_EQ(length(indexed), size_t(40 + 256 * 4 + 16));
    // Bit fields after a plain header, and a short colour table.
    header.biBitCount = 16;
    header.biCompression = BI_BITFIELDS;
    header.biClrUsed = 2;
    std::string masked(reinterpret_cast<const char*>(&header), sizeof header);
    masked.resize(2000);
    CHECK_EQ(length(masked), size_t(40 + 12 + 8 + 2 * 12));
    // Nothing to measure: compressed pixels of unstated size, a torn or absurd header.
    header.biCompression = BI_RLE8;
    header.biBitCount = 8;
    header.biSizeImage = 0;
    std::string rle(reinterpret_cast<const char*>(&header), sizeof header);
    CHECK_EQ(length(rle), size_t(0));
    CHECK_EQ(length(Dib24Block().substr(0, 30)), size_t(0));
    header.biCompression = BI_RGB;
    header.biClrUsed = 0xFFFFFFFF;
    std::string absurd(reinterpret_cast<const char*>(&header), sizeof header);
    CHECK_EQ(length(absurd), size_t(0));
}

int main() {
    OleInitialize(nullptr);
    const int rc = wincheck::RunAll();
    ClearClipboard();
    OleUninitialize();
    return rc;
}
