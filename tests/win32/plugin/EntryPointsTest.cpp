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

// The version resource of one DLL file, read as a browser's plug-in scan reads it.
void CheckVersionResource(const std::wstring& dll) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    REQUIRE(size > 0);
    std::string block(size, '\0');
    REQUIRE(GetFileVersionInfoW(dll.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
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

TEST_CASE(VersionResourceReadsBack) {
    CheckVersionResource(wintest::ProgramFolder() + L"npQuillon.dll");
}

// The DLL that ships is the 32-bit one (QUILLON_SHIPPED_DLL names it); its resource is read
// as data, since a 64-bit program cannot run it.
TEST_CASE(ShippedDllVersionResourceReadsBack) {
    const std::string shipped = wintest::Environment("QUILLON_SHIPPED_DLL");
    REQUIRE(!shipped.empty());
    CheckVersionResource(wintest::Utf8ToWide(shipped));
}

}  // namespace
