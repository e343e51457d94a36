// The kernel services of the Windows build, through the headers the rest of the code uses:
// code pages (MultiByteToWideChar/WideCharToMultiByte), tick counts, GDI+ sessions, critical
// sections and events, files named by wide paths.
//
//   kernel_test.exe [--system-acp=N]
//
// With --system-acp the system's ANSI code page must be N (the test script runs it once under
// a Chinese locale, where it is 936) and the ANSI helpers are checked without a replacement.
#include <windows.h>
// windows.h first: the GDI+ headers build on its types.
#include <gdiplus.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/kernel/CodePage.h"
#include "platform/kernel/FileSystem.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/GraphicsSession.h"
#include "platform/kernel/Text.h"
#include "platform/kernel/Ticks.h"
#include "platform/kernel/win32/CodePageNames.h"
#include "tests/win32/Check.h"
#include "threading/CriticalSection.h"
#include "threading/EventHandler.h"

namespace {

// "中文" and "汉字" in UTF-8 and in GBK (code page 936).
const char kChineseUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87";
const char kChineseGbk[] = "\xD6\xD0\xCE\xC4";
const wchar_t kChineseWide[] = L"\x4E2D\x6587";
const char kHanziGbk[] = "\xBA\xBA\xD7\xD6";

unsigned g_expectedSystemAcp = 0;

// Restores the system ANSI code page when a case ends.
struct AnsiCodePageScope {
    explicit AnsiCodePageScope(const std::string& codeSet) { platform::SetAnsiCodePage(codeSet); }
    ~AnsiCodePageScope() { platform::SetAnsiCodePage(""); }
};

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, n);
}

}  // namespace

TEST_CASE(GbkRoundTripsThroughTheWideHelpers) {
    CHECK_EQ(platform::WideToMultiByte(kChineseWide, "GBK"), std::string(kChineseGbk));
    CHECK_EQ(platform::MultiByteToWide(kChineseGbk, "GBK"), std::wstring(kChineseWide));
    CHECK_EQ(platform::MultiByteToWide(kHanziGbk, "cp936"), std::wstring(L"\x6C49\x5B57"));
    // Mixed ASCII and double-byte characters keep their order.
    const std::string mixed = std::string("a") + kChineseGbk + "b.png";
    CHECK_EQ(platform::WideToMultiByte(platform::MultiByteToWide(mixed, "GBK"), "GBK"), mixed);

    // A long text: the sizes of both calls must cover the whole input.
    std::wstring longText;
    for (int i = 0; i < 50000; ++i) longText += kChineseWide;
    const std::string longGbk = platform::WideToMultiByte(longText, "GBK");
    CHECK_EQ(longGbk.size(), size_t(200000));
    CHECK(platform::MultiByteToWide(longGbk, "GBK") == longText);
}

TEST_CASE(AnsiHelpersFollowTheReplacedCodePage) {
    AnsiCodePageScope gbk("GBK");
    CHECK_EQ(platform::AnsiCodePage(), std::string("GBK"));
    CHECK_EQ(util::WideToAnsi(kChineseWide), std::string(kChineseGbk));
    CHECK_EQ(util::AnsiToUtf8(kChineseGbk), std::string(kChineseUtf8));
    CHECK_EQ(util::Utf8ToAnsi(kChineseUtf8), std::string(kChineseGbk));
    // The helpers stop at the first NUL.
    CHECK_EQ(util::AnsiToWide(std::string(kChineseGbk) + std::string("\0\xBA\xBA", 3)),
             std::wstring(kChineseWide));
}

TEST_CASE(TheSystemCodePageComesBackWhenTheReplacementIsCleared) {
    platform::SetAnsiCodePage("GBK");
    platform::SetAnsiCodePage("");
    const std::string name = platform::AnsiCodePage();
    CHECK_EQ(platform::CodePageNumber(name), static_cast<unsigned>(GetACP()));
    // The ANSI helpers then agree with the system's own conversion.
    const std::wstring text = L"Caf\x00E9 \x4E2D";
    char expected[64] = {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                      expected, sizeof(expected), nullptr, nullptr);
    CHECK(n > 0);
    if (GetACP() != CP_UTF8 && n > 0) {
        // Characters outside the code page differ only in the default character chosen.
        const std::string ours = util::WideToAnsi(text);
        CHECK_EQ(ours.substr(0, 5), std::string(expected, 5));
    }
}

TEST_CASE(TheSystemAnsiCodePageIsTheRealOne) {
    if (g_expectedSystemAcp == 0) return;  // only in the run under a chosen locale
    CHECK_EQ(static_cast<unsigned>(GetACP()), g_expectedSystemAcp);
    if (g_expectedSystemAcp == 936) {
        CHECK_EQ(platform::AnsiCodePage(), std::string("GBK"));
        CHECK_EQ(util::WideToAnsi(kChineseWide), std::string(kChineseGbk));
        CHECK_EQ(util::AnsiToUtf8(kHanziGbk), std::string("\xE6\xB1\x89\xE5\xAD\x97"));
        // The narrow file calls take GBK names then.
        CHECK_EQ(platform::NativePath(std::wstring(L"C:\\") + kChineseWide + L".png"),
                 std::string("C:\\") + kChineseGbk + ".png");
    }
}

TEST_CASE(InvalidBytesBecomeReplacementCharacters) {
    // A lead byte at the end, a byte that leads nothing, a lead byte before a byte that cannot
    // follow it: each bad byte is one U+FFFD and the good characters around it survive.
    CHECK_EQ(platform::MultiByteToWide(std::string("A\x81"), "GBK"), std::wstring(L"A\xFFFD"));
    CHECK_EQ(platform::MultiByteToWide(std::string("\xFF") + kChineseGbk, "GBK"),
             std::wstring(L"\xFFFD") + kChineseWide);
    CHECK_EQ(platform::MultiByteToWide(std::string("\x81\x7F"
                                                   "b"),
                                       "GBK"),
             std::wstring(L"\xFFFD\x7F"
                          L"b"));
    // UTF-8: one U+FFFD per maximal ill-formed sequence, as on Linux.
    CHECK_EQ(platform::MultiByteToWide(std::string("a\xE4\xB8"
                                                   "b\xC0"),
                                       "UTF-8"),
             std::wstring(L"a\xFFFD"
                          L"b\xFFFD"));
    CHECK_EQ(util::NormalizeUtf8("x\xED\xA0\x80y"),
             std::string("x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDy"));
}

TEST_CASE(EmptyAndUnknownInput) {
    CHECK_EQ(platform::MultiByteToWide("", "GBK"), std::wstring());
    CHECK_EQ(platform::WideToMultiByte(L"", "GBK"), std::string());
    CHECK_EQ(platform::NativePath(L""), std::string());
    CHECK_EQ(util::AnsiToWide(std::string("\0abc", 4)), std::wstring());
    // An unknown code set reads and writes UTF-8, as the Linux build does.
    CHECK_EQ(platform::MultiByteToWide(kChineseUtf8, "NO-SUCH-SET"), std::wstring(kChineseWide));
    CHECK_EQ(platform::WideToMultiByte(kChineseWide, "CP99999"), std::string(kChineseUtf8));
}

TEST_CASE(CharactersTheCodePageLacksBecomeItsDefaultCharacter) {
    // Thai is not in GBK.
    CHECK_EQ(platform::WideToMultiByte(L"a\x0E01z", "GBK"), std::string("a?z"));
    // No look-alike: a full-width solidus or a Greek letter must not turn into "/" or "a" in a
    // Western code page, where a path could change its meaning.
    CHECK_EQ(platform::WideToMultiByte(L"\xFF0F\x03B1", "CP1252"), std::string("??"));
    // A lone surrogate is not a character either.
    CHECK_EQ(platform::WideToMultiByte(std::wstring(L"x\xD800y"), "GBK"), std::string("x?y"));
}

TEST_CASE(SurrogatePairsSurviveUtf8) {
    const std::string face = "\xF0\x9F\x98\x80";  // U+1F600
    const std::wstring wide = util::Utf8ToWide(face);
    CHECK_EQ(wide, std::wstring(L"\xD83D\xDE00"));
    CHECK_EQ(util::WideToUtf8(wide), face);
}

TEST_CASE(CodeSetNamesMapToWindowsCodePages) {
    CHECK_EQ(platform::CodePageNumber("gbk"), 936u);
    CHECK_EQ(platform::CodePageNumber("UTF8"), 65001u);
    CHECK_EQ(platform::CodePageNumber("windows-1251"), 1251u);
    CHECK_EQ(platform::CodePageNumber("ISO-8859-2"), 28592u);
    CHECK_EQ(platform::CodePageNumber("ISO-8859-17"), 0u);
    CHECK_EQ(platform::CodePageNumber("CP"), 0u);
    CHECK_EQ(platform::CodePageNumber("CP12a"), 0u);
    CHECK_EQ(platform::CodePageNumber("CP999999"), 0u);
    for (unsigned cp : {936u, 65001u, 1252u, 950u}) {
        CHECK_EQ(platform::CodePageNumber(platform::CodeSetName(cp)), cp);
    }
    // GB18030 spells the common characters as GBK does.
    CHECK_EQ(platform::WideToMultiByte(kChineseWide, "GB18030"), std::string(kChineseGbk));
}

TEST_CASE(NativePathOpensFilesWhoseNamesTheCodePageLacks) {
    // The run under a chosen Windows locale has no matching Unix locale under Wine, whose
    // file names then cannot leave ASCII.
    if (g_expectedSystemAcp != 0) return;
    // Chinese letters under a Western code page, Thai under a Chinese one: both outside the
    // system code page, so the narrow name must come from the short form.
    const std::wstring name =
        GetACP() == 936 ? L"kernel_test_\x0E01\x0E02.txt" : L"kernel_test_\x4E2D\x6587.txt";
    const std::wstring path = TempFolder() + name;
    // Made through the wide call: the narrow calls cannot create such a name.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(h != INVALID_HANDLE_VALUE);
    DWORD written = 0;
    CHECK(WriteFile(h, "twelve bytes", 12, &written, nullptr) && written == 12);
    CloseHandle(h);
    const std::string narrow = platform::NativePath(path);
    FILE* f = std::fopen(narrow.c_str(), "rb");
    CHECK(f != nullptr);
    if (f) std::fclose(f);
    CHECK_EQ(util::FileSize(path), int64_t(12));
    const util::SharedBuffer content = util::ReadWholeFile(path);
    CHECK_EQ(content.size, 12u);
    CHECK(content.data && std::string(content.data.get()) == "twelve bytes");
    DeleteFileW(path.c_str());

    // A name the code page spells is passed through unchanged.
    CHECK_EQ(platform::NativePath(L"C:\\Temp\\a b.png"), std::string("C:\\Temp\\a b.png"));
    // A missing file has no short form; its name stays lossy and opens nothing.
    const std::wstring missing = TempFolder() + L"missing_" + name;
    FILE* none = std::fopen(platform::NativePath(missing).c_str(), "rb");
    CHECK(none == nullptr);
    if (none) std::fclose(none);
}

TEST_CASE(TickCountsFollowTheSystemClock) {
    const uint32_t before = platform::GetTickCount();
    const int64_t clockBefore = platform::ProcessClockMs();
    const uint32_t system = ::GetTickCount();
    CHECK(system - before < 1000u);
    Sleep(60);
    const uint32_t elapsed = platform::GetTickCount() - before;
    const int64_t clockElapsed = platform::ProcessClockMs() - clockBefore;
    CHECK(elapsed >= 40u && elapsed < 5000u);
    CHECK(clockElapsed >= 40 && clockElapsed < 5000);
    // Both clocks count the same milliseconds: the 32-bit one is the low part of the other.
    CHECK(static_cast<uint32_t>(platform::ProcessClockMs()) - platform::GetTickCount() < 1000u);
}

TEST_CASE(GraphicsSessionsStartGdiplusAndAreCounted) {
    const int before = platform::ActiveGraphicsSessions();
    const uintptr_t first = platform::StartGraphics();
    const uintptr_t second = platform::StartGraphics();
    CHECK(first != 0);
    CHECK(second != 0);
    CHECK_EQ(platform::ActiveGraphicsSessions(), before + 2);

    // GDI+ works while a session is open: a bitmap can be made and read back.
    Gdiplus::GpBitmap* bitmap = nullptr;
    CHECK_EQ(Gdiplus::DllExports::GdipCreateBitmapFromScan0(4, 3, 0, PixelFormat32bppARGB, nullptr,
                                                            &bitmap),
             Gdiplus::Ok);
    if (bitmap) {
        UINT width = 0;
        CHECK_EQ(Gdiplus::DllExports::GdipGetImageWidth(bitmap, &width), Gdiplus::Ok);
        CHECK_EQ(width, 4u);
        Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }

    platform::StopGraphics(0);  // no session: nothing changes
    CHECK_EQ(platform::ActiveGraphicsSessions(), before + 2);
    platform::StopGraphics(second);
    platform::StopGraphics(first);
    CHECK_EQ(platform::ActiveGraphicsSessions(), before);
}

TEST_CASE(CriticalSectionsAreReentrantAndExclusive) {
    Korvane::Threading::CriticalSection section;
    {
        Korvane::Threading::ScopedLock outer(section);
        Korvane::Threading::ScopedLock inner(section);  // the same thread enters again
    }
    long counter = 0;
    auto add = [&] {
        for (int i = 0; i < 100000; ++i) {
            Korvane::Threading::ScopedLock lock(section);
            counter = counter + 1;
        }
    };
    std::thread other(add);
    add();
    other.join();
    CHECK_EQ(counter, 200000L);
}

TEST_CASE(EventsReleaseOneWaitAndResetThemselves) {
    Korvane::Threading::EventHandler event;
    CHECK(!event.WaitFor(0));
    event.Set();
    CHECK(event.WaitFor(0));
    CHECK(!event.WaitFor(0));  // the wait reset it
    event.Set();
    event.Reset();
    CHECK(!event.WaitFor(0));

    const DWORD start = GetTickCount();
    CHECK(!event.WaitFor(100));
    CHECK(GetTickCount() - start >= 90);

    std::atomic<bool> released{false};
    std::thread waiter([&] {
        event.Wait();
        released = true;
    });
    Sleep(50);
    CHECK(!released);
    event.Set();
    waiter.join();
    CHECK(released);
    CHECK(!event.WaitFor(0));
}

TEST_CASE(FilesWithNamesOutsideTheCodePageAreCreatedAndRead) {
    // Wine stores names on the Unix side in the locale's code set: under the Chinese locale
    // (not installed here, so not UTF-8) it cannot spell these names at all, as Windows could.
    if (g_expectedSystemAcp != 0) {
        std::printf("  not run under a chosen locale: Wine's Unix file names follow it\n");
        return;
    }
    wchar_t temp[MAX_PATH];
    const std::wstring folder(temp, GetTempPathW(MAX_PATH, temp));
    // é, 中, a Korean syllable and an emoji (a surrogate pair): no single code page has them all.
    const std::wstring path = folder + L"quillon \u00E9\u4E2D\uD55C\U0001F600.bin";
    const std::string bytes("\x00\x01 wide name\xFF", 13);
    CHECK(util::WriteWholeFile(path, bytes));
    CHECK_EQ(util::FileSize(path), static_cast<int64_t>(bytes.size()));
    const util::SharedBuffer read = util::ReadWholeFile(path);
    CHECK_EQ(std::string(read.data.get(), read.size), bytes);
    CHECK(!platform::IsDirectory(path));
    CHECK(platform::IsDirectory(folder));
    CHECK(!platform::IsDirectory(folder + L"no such folder \u4E2D"));
    DeleteFileW(path.c_str());
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* prefix = "--system-acp=";
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) {
            g_expectedSystemAcp = static_cast<unsigned>(std::atoi(argv[i] + std::strlen(prefix)));
        }
    }
    std::printf("kernel_test: system ANSI code page %u\n", GetACP());
    return wincheck::RunAll();
}
