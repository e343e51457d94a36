// What a 32-bit browser process must survive: files whose size a 32-bit count cannot hold,
// and a paste of tens of megabytes inside a 2 GB address space.
#include <windows.h>

#include "Check.h"
#include "ClipboardFill.h"
#include "PluginHost.h"
#include "platform/clipboard/CfHtmlHeader.h"

namespace {

using wintest::Page;

// A sparse file of `size` bytes: its length is set, nothing is written.
bool MakeSparseFile(const std::wstring& path, int64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
}

size_t FilesIn(const std::wstring& folder) {
    size_t count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// 2 GiB exactly, 3 GiB, and 4 GiB + 10 (which a 32-bit count would read as 10 bytes): each is
// refused with the upload error before anything is sent, never stored as a short file.
TEST_CASE(FilesBeyondThe32BitCountAreRefusedNotSentShort) {
    const std::wstring folder = wintest::FreshFolder(L"quillon_limits");
    const int64_t sizes[] = {int64_t(1) << 31, int64_t(3) << 30, (int64_t(1) << 32) + 10};
    const size_t stored = FilesIn(wintest::UploadFolder());
    Page page;
    REQUIRE(page.ok());
    for (int i = 0; i < 3; ++i) {
        const std::wstring path = folder + L"huge" + std::to_wstring(i) + L".dat";
        REQUIRE(MakeSparseFile(path, sizes[i]));
        page.Upload(wintest::WideToUtf8(path), 40 + i);
        REQUIRE(page.WaitFor("File_PostError", i + 1));
        const Json::Value error = page.Events("File_PostError")[i];
        CHECK_EQ(error["id"].asInt(), 40 + i);
        CHECK_EQ(error["value"].asInt(), 2);
        DeleteFileW(path.c_str());
    }
    CHECK(page.Events("File_PostComplete").empty());
    CHECK_EQ(FilesIn(wintest::UploadFolder()), stored);
}

// A Word paste of some 40 MB (a real document's fragment repeated), then
// one of 48 MB that is mostly '<': the first converts whole, the second converts or is
// refused, and the process lives on (it used to die of an uncaught allocation failure).
TEST_CASE(LargePastesFitTheAddressSpace) {
    const std::string corpus = QUILLON_WIN32_CORPUS_DIR;
    const std::string document = wintest::ReadBytes(
        wintest::Utf8ToWide(corpus + "/word/ck4_unsupported-formats_word365mac_chrome.html"));
    REQUIRE(!document.empty());
    // The fragment repeated: the Word cut keeps what lies between the fragment markers.
    const std::string start = "<!--StartFragment-->";
    const size_t from = document.find(start) + start.size();
    const size_t to = document.find("<!--EndFragment-->");
    REQUIRE(from > start.size() && to != std::string::npos && from < to);
    const std::string fragment = document.substr(from, to - from);
    std::string big = document.substr(0, from);
    size_t copies = 0;
    for (; big.size() < (40u << 20); ++copies) big += fragment;
    big += document.substr(to);

    const UINT htmlFormat = RegisterClipboardFormatA("HTML Format");
    const std::string cfHtml = platform::WrapCfHtml(big, "file:///C:/Users/ann/report.docx");
    big.clear();
    big.shrink_to_fit();
    REQUIRE(clipfill::SetThroughOle(new clipfill::TestDataObject(
        {{htmlFormat, TYMED_HGLOBAL, cfHtml + std::string(1, '\0')}})));
    Page page;
    REQUIRE(page.ok());
    page.plugin().Call("Paste");
    REQUIRE(page.WaitFor("Parser_PasteWord", 1, 600));
    const Json::Value paste = page.Events("Parser_PasteWord")[0];
    CHECK(paste["word"].asString().size() > (10u << 20));
    CHECK_EQ(paste["word"].asString().find("<o:p>"), std::string::npos);
    // Every copy names the same three picture files, which the image table lists once.
    CHECK(copies > 10000);
    CHECK_EQ(paste["imgs"].size(), 3u);

    std::string angles(48u << 20, '<');
    for (size_t at = 0; at < angles.size(); at += 64) angles[at] = 'a';
    const std::string hostile =
        platform::WrapCfHtml("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><body>" +
                                 angles + "</body></html>",
                             "file:///C:/Users/ann/report.docx");
    angles.clear();
    angles.shrink_to_fit();
    REQUIRE(clipfill::SetThroughOle(new clipfill::TestDataObject(
        {{htmlFormat, TYMED_HGLOBAL, hostile + std::string(1, '\0')}})));
    page.plugin().Call("Paste");
    // Converted or refused, the paste answers: the plug-in is still there to be asked.
    page.WaitFor("Parser_PasteWord", 2, 600);
    CHECK_EQ(page.plugin().Get("Version").value.AsString(), std::string("1,4,102,31478"));
}

}  // namespace
