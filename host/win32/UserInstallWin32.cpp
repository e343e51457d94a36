#include <windows.h>

#include <cstdio>
#include <string>

#include "host/Manifests.h"
#include "platform/kernel/FileSystem.h"
#include "platform/kernel/Text.h"

namespace host {

namespace {

bool WriteManifest(const std::wstring& path, const std::string& text) {
    std::FILE* file = platform::OpenFile(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// HKCU\<key> made when missing, its default value the manifest's path.
bool RegisterManifest(const std::wstring& key, const std::wstring& manifest) {
    HKEY handle = nullptr;
    LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &handle, nullptr);
    if (result == ERROR_SUCCESS) {
        result = RegSetValueExW(handle, nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(manifest.c_str()),
                                static_cast<DWORD>((manifest.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    if (result != ERROR_SUCCESS) {
        std::fprintf(stderr, "quillon-host: cannot set HKCU\\%s (error %ld)\n",
                     util::WideToUtf8(key).c_str(), static_cast<long>(result));
        return false;
    }
    return true;
}

}  // namespace

std::string OwnProgramPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        // A path that filled the buffer may have been cut: try again with more room.
        if (n < buffer.size()) return util::WideToUtf8(buffer.substr(0, n));
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool InstallUser(const std::string& hostPath) {
    const std::wstring program = util::Utf8ToWide(hostPath);
    const size_t slash = program.find_last_of(L"\\/");
    if (program.empty() || slash == std::wstring::npos) {
        std::fprintf(stderr, "quillon-host: cannot tell where the program is\n");
        return false;
    }
    const std::wstring folder = program.substr(0, slash + 1);
    const std::wstring name = util::Utf8ToWide(kHostName);
    struct Manifest {
        Browser browser;
        std::wstring path;
    };
    // Chromium reads a manifest with allowed_origins, Firefox one with allowed_extensions.
    const Manifest manifests[] = {{Browser::kChromium, folder + name + L"-chromium.json"},
                                  {Browser::kFirefox, folder + name + L"-firefox.json"}};
    for (const Manifest& manifest : manifests) {
        if (!WriteManifest(manifest.path, ManifestText(manifest.browser, hostPath))) {
            std::fprintf(stderr, "quillon-host: cannot write %s\n",
                         util::WideToUtf8(manifest.path).c_str());
            return false;
        }
        std::printf("%s\n", util::WideToUtf8(manifest.path).c_str());
    }
    struct Key {
        const wchar_t* browserKey;
        const Manifest& manifest;
    };
    const Key keys[] = {{L"Software\\Google\\Chrome", manifests[0]},
                        {L"Software\\Microsoft\\Edge", manifests[0]},
                        {L"Software\\Chromium", manifests[0]},
                        {L"Software\\Mozilla", manifests[1]}};
    bool ok = true;
    for (const Key& key : keys) {
        const std::wstring path = std::wstring(key.browserKey) + L"\\NativeMessagingHosts\\" + name;
        if (!RegisterManifest(path, key.manifest.path)) {
            ok = false;
            continue;
        }
        std::printf("HKCU\\%s\n", util::WideToUtf8(path).c_str());
    }
    return ok;
}

}  // namespace host
