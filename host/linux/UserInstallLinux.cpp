#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "host/Folders.h"
#include "host/Manifests.h"

namespace host {

std::string OwnProgramPath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

bool InstallUser(const std::string& hostPath) {
    const char* homeVariable = std::getenv("HOME");
    if (!homeVariable || !*homeVariable) {
        std::fprintf(stderr, "quillon-host: HOME is not set\n");
        return false;
    }
    const std::string home = homeVariable;
    struct Place {
        const char* folder;
        Browser browser;
    };
    static const Place places[] = {
        {"/.config/chromium/NativeMessagingHosts", Browser::kChromium},
        {"/.config/google-chrome/NativeMessagingHosts", Browser::kChromium},
        {"/.config/microsoft-edge/NativeMessagingHosts", Browser::kChromium},
        {"/.mozilla/native-messaging-hosts", Browser::kFirefox},
    };
    bool ok = true;
    for (const Place& place : places) {
        const std::string folder = home + place.folder;
        const std::string path = folder + "/" + kHostName + ".json";
        std::ofstream out;
        if (MakeDirectories(folder)) out.open(path, std::ios::binary | std::ios::trunc);
        out << ManifestText(place.browser, hostPath);
        out.close();
        if (!out) {
            std::fprintf(stderr, "quillon-host: cannot write %s\n", path.c_str());
            ok = false;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    return ok;
}

}  // namespace host
