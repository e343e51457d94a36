#include "host/Manifests.h"

#include <json/value.h>

#include "host/MessageWriter.h"

namespace host {

const char kHostName[] = "org.npquillon.host";
const char kChromiumExtensionId[] = QUILLON_CHROMIUM_EXTENSION_ID;
const char kFirefoxExtensionId[] = QUILLON_FIREFOX_EXTENSION_ID;

namespace {

std::string ChromiumOrigin() {
    return std::string("chrome-extension://") + kChromiumExtensionId + "/";
}

}  // namespace

bool AcceptCaller(const std::vector<std::string>& arguments, std::string& reason) {
    // Chromium on Windows adds --parent-window=N after the origin.
    if (!arguments.empty() && arguments[0].rfind("chrome-extension://", 0) == 0) {
        if (arguments[0] == ChromiumOrigin()) return true;
        reason = "the extension " + arguments[0] + " may not use this host";
        return false;
    }
    if (arguments.size() >= 2 && arguments[1] == kFirefoxExtensionId) return true;
    if (arguments.size() >= 2) {
        reason = "the extension " + arguments[1] + " may not use this host";
        return false;
    }
    reason = "not started by a browser for its extension (see --help)";
    return false;
}

std::string ManifestText(Browser browser, const std::string& hostPath) {
    Json::Value manifest(Json::objectValue);
    manifest["name"] = kHostName;
    manifest["description"] = "npQuillon: Word paste, pictures and uploads for web pages";
    manifest["path"] = hostPath;
    manifest["type"] = "stdio";
    Json::Value allowed(Json::arrayValue);
    if (browser == Browser::kChromium) {
        allowed.append(ChromiumOrigin());
        manifest["allowed_origins"] = allowed;
    } else {
        allowed.append(kFirefoxExtensionId);
        manifest["allowed_extensions"] = allowed;
    }
    return WriteJson(manifest) + "\n";
}

}  // namespace host
