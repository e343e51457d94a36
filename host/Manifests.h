// Who may start the host and where the browsers find it. Chromium starts a native host as
// [path, "chrome-extension://ID/"], Firefox as [path, manifest path, extension id]; only our
// own extension is accepted.
#pragma once

#include <string>
#include <vector>

namespace host {

extern const char kHostName[];             // "org.npquillon.host"
extern const char kChromiumExtensionId[];  // from the public key in extension/manifest.json
extern const char kFirefoxExtensionId[];   // "bridge@npquillon.org"

enum class Browser { kChromium, kFirefox };

// The caller named by the browser's arguments (argv without the program), or false with the
// reason when it is not our extension.
bool AcceptCaller(const std::vector<std::string>& arguments, std::string& reason);

// The host manifest for that browser family, naming `hostPath`.
std::string ManifestText(Browser browser, const std::string& hostPath);

// The absolute path of the running program (UTF-8); empty when it cannot be learnt.
std::string OwnProgramPath();

// Makes the host at `hostPath` known to the user's browsers, without administrator rights.
// Linux: the manifests under $HOME for Chromium, Google Chrome, Edge and Firefox. Windows: a
// Chromium-family and a Firefox manifest beside the program and the per-user registry keys
// (HKCU\Software\...\NativeMessagingHosts\org.npquillon.host) of Google Chrome, Edge,
// Chromium and Firefox, each naming its manifest. Prints each file and key written; false,
// with the reason on standard error, when one could not be written.
bool InstallUser(const std::string& hostPath);

}  // namespace host
