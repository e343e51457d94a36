#include <windows.h>
// windows.h first: the shell headers build on its types.
#include <shlobj.h>

#include "host/Folders.h"
#include "platform/kernel/CodePage.h"
#include "platform/kernel/Text.h"

namespace host {

bool MakeDirectories(const std::string& path) {
    const std::wstring wide = util::Utf8ToWide(path);
    // Absolute only: a drive ("C:\...") or a share ("\\server\...").
    const bool absolute =
        (wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/')) ||
        wide.compare(0, 2, L"\\\\") == 0;
    if (!absolute) return false;
    const int result = SHCreateDirectoryExW(nullptr, wide.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS)
        return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string PrepareLogFolder() {
    wchar_t base[MAX_PATH];
    // '?' is no drive: opening a file there fails.
    const std::string nowhere = "?:\\npquillon";
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                         SHGFP_TYPE_CURRENT, base) != S_OK)
        return nowhere;
    const std::wstring folder = std::wstring(base) + L"\\npquillon";
    if (!MakeDirectories(util::WideToUtf8(folder))) return nowhere;
    // The log opens its file through the narrow calls (the ANSI code page).
    return platform::NativePath(folder);
}

}  // namespace host
