// The module as a Windows browser finds it: its exports and their answers, the names it
// gives, its script version, and the version resource browsers register it from.
#include <windows.h>

#include "Check.h"
#include "PluginHost.h"

namespace {

using wintest::Host;

TEST_CASE(EntryPointsCheckTheirTables) {
    const testhost::ModuleEntryPoints& np = Host()->entry_points();
    CHECK_EQ(np.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    NPPluginFuncs table{};
    table.size = 0x1234;  // the browser's own value stays
    CHECK_EQ(np.getEntryPoints(&table), NPERR_NO_ERROR);
    CHECK_EQ(table.version, 27);
    CHECK_EQ(table.size, 0x1234);
    CHECK(table.newp && table.destroy && table.setwindow && table.getvalue && table.setvalue);
    CHECK(table.javaClass == nullptr);

    CHECK_EQ(np.initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    NPNetscapeFuncs future = *testhost::TestHost::BrowserFunctions();
    future.version = 0x0100;
    CHECK_EQ(np.initialize(&future), NPERR_INCOMPATIBLE_VERSION_ERROR);
    // The refused table was not kept: the plug-in still talks to the test browser.
    wintest::Page page;
    REQUIRE(page.ok());
    CHECK_EQ(page.plugin().Get("Version").value.AsString(), std::string("1,4,102,31478"));
    CHECK_EQ(np.shutdown(), NPERR_NO_ERROR);
}

TEST_CASE(InstancesGiveNamesVersionAndOneScriptObject) {
    wintest::Page page;
    REQUIRE(page.ok());
    const char* name = nullptr;
    CHECK_EQ(page.plugin().GetValue(NPPVpluginNameString, &name), NPERR_NO_ERROR);
    REQUIRE(name != nullptr);
    CHECK_EQ(std::string(name), std::string("npQuillon"));
    const char* description = nullptr;
    CHECK_EQ(page.plugin().GetValue(NPPVpluginDescriptionString, &description), NPERR_NO_ERROR);
    REQUIRE(description != nullptr);
    CHECK_EQ(std::string(description),
             std::string("Quillon\xCD\xBC\xC6\xAC\xC9\xCF\xB4\xAB\xBF\xD8\xBC\xFE"));
    NPObject* first = nullptr;
    NPObject* second = nullptr;
    CHECK_EQ(page.plugin().GetValue(NPPVpluginScriptableNPObject, &first), NPERR_NO_ERROR);
    CHECK_EQ(page.plugin().GetValue(NPPVpluginScriptableNPObject, &second), NPERR_NO_ERROR);
    CHECK(first != nullptr && first == second);
    const int64_t references = Host()->ReferenceCount(first);
    Host()->BrowserFunctions()->releaseobject(first);
    Host()->BrowserFunctions()->releaseobject(second);
    CHECK_EQ(Host()->ReferenceCount(first), references - 2);
    CHECK(Host()->Violations().empty());
}

// The version resource in a VS_VERSIONINFO block, as a browser's plug-in scan reads it.
void CheckVersionBlock(const std::string& block) {
    UINT length = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    REQUIRE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    CHECK_EQ(fixed->dwSignature, 0xFEEF04BDu);
    CHECK_EQ(fixed->dwFileVersionMS, (1u << 16) | 4u);
    CHECK_EQ(fixed->dwFileVersionLS, (102u << 16) | 31478u);
    CHECK_EQ(fixed->dwProductVersionMS, (1u << 16) | 4u);
    CHECK_EQ(fixed->dwProductVersionLS, (102u << 16) | 31478u);
    CHECK_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask,
             static_cast<DWORD>(VS_FF_PRIVATEBUILD | VS_FF_SPECIALBUILD));
    CHECK_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    CHECK_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;
    REQUIRE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
    REQUIRE(length >= 4);
    CHECK_EQ(translation[0], 0x0409);
    CHECK_EQ(translation[1], 0x04E4);

    const std::wstring description = L"Quillon\u56FE\u7247\u4E0A\u4F20\u63A7\u4EF6";
    const struct {
        const wchar_t* key;
        std::wstring value;
    } strings[] = {{L"MIMEType", L"application/npQuillon"},
                   {L"FileVersion", L"1.4.102.31478"},
                   {L"ProductVersion", L"1.4.102.31478"},
                   {L"PrivateBuild", L"1,4,102,31478"},
                   {L"SpecialBuild", L"1,4,102,31478"},
                   {L"FileDescription", description},
                   {L"Comments", description},
                   {L"ProductName", L"npQuillon"},
                   {L"InternalName", L"Quillon"},
                   {L"OriginalFilename", L"npQuillon.dll"}};
    for (const auto& expected : strings) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + expected.key;
        const bool found =
            VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length);
        CHECK(found);
        if (found) CHECK_EQ(std::wstring(value), expected.value);
    }
}

TEST_CASE(VersionResourceReadsBackFromTheFile) {
    const std::wstring dll = wintest::ProgramFolder() + L"npQuillon.dll";
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    REQUIRE(size > 0);
    std::string block(size, '\0');
    REQUIRE(GetFileVersionInfoW(dll.c_str(), 0, size, &block[0]));
    CheckVersionBlock(block);
}

std::wstring LowerWithBackslashes(std::wstring path) {
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : towlower(c);
    return path;
}

// The module the test browser loaded is the DLL that ships (QUILLON_SHIPPED_DLL names the
// file build-dll.sh checked), and its version resource is there in the loaded image.
TEST_CASE(LoadedModuleIsTheShippedDllWithItsVersionResource) {
    REQUIRE(Host() != nullptr);
    const HMODULE module = GetModuleHandleW(L"npQuillon.dll");
    REQUIRE(module != nullptr);
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    REQUIRE(length > 0 && length < MAX_PATH);
    const std::string shipped = wintest::Environment("QUILLON_SHIPPED_DLL");
    REQUIRE(!shipped.empty());
    CHECK(LowerWithBackslashes(path) == LowerWithBackslashes(wintest::Utf8ToWide(shipped)));

    // Resource 1 (VS_VERSION_INFO) of type 16 (RT_VERSION), named in their wide forms.
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    REQUIRE(found != nullptr);
    const HGLOBAL loaded = LoadResource(module, found);
    REQUIRE(loaded != nullptr);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    REQUIRE(bytes != nullptr);
    // VerQueryValueW may write into the block, which a loaded image keeps read-only.
    CheckVersionBlock(std::string(bytes, SizeofResource(module, found)));
}

#if defined(__i386__)
// A 32-bit browser calls the exports as __stdcall functions: the callee removes its own
// arguments. Called from assembly so that no compiler bookkeeping hides a wrong convention;
// the result is how far the stack pointer moved across the call (0 when balanced).
long StackMovedByCall(const void* function, const void* argument) {
    long moved;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl %2\n\t"
        "call *%1\n\t"
        "movl %%esp, %0\n\t"
        "subl %%esi, %0\n\t"
        "movl %%esi, %%esp\n\t"
        : "=&D"(moved)
        : "b"(function), "m"(argument)
        : "esi", "eax", "ecx", "edx", "memory", "cc");
    return moved;
}

TEST_CASE(ExportsBalanceTheStackAsStdcall) {
    const testhost::ModuleEntryPoints& np = Host()->entry_points();
    NPPluginFuncs table{};
    table.size = sizeof(table);
    CHECK_EQ(StackMovedByCall(reinterpret_cast<const void*>(np.getEntryPoints), &table), 0);
    CHECK(table.newp != nullptr);
    CHECK_EQ(StackMovedByCall(reinterpret_cast<const void*>(np.getEntryPoints), nullptr), 0);
    CHECK_EQ(StackMovedByCall(reinterpret_cast<const void*>(np.initialize),
                              testhost::TestHost::BrowserFunctions()),
             0);
    wintest::Page page;
    REQUIRE(page.ok());
    CHECK_EQ(page.plugin().Get("Version").value.AsString(), std::string("1,4,102,31478"));
}
#endif

}  // namespace
