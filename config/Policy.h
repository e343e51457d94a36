// The administrator's policy: which page origins may use an instance, where its uploads and
// downloads may go, which local files it may send, when it may read the clipboard and how
// large an upload may be. One document per machine (config/PolicySource.h says where), read
// once per instance. A member the document leaves out keeps the binding's default; a document
// that does not parse, or a member of the wrong type or form, makes the instance refuse
// everything.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace config {

struct Policy {
    enum class Uploads { kAny, kSameOrigin, kList };

    // Not read (unparsable document, wrong member): every member of the instance does nothing.
    bool refuseAll = false;
    std::string refusal;  // why, for the log
    // Where the document was found; empty when there is none (the binding's defaults).
    std::string source;

    // Empty with anyOrigin: every page may use the instance.
    bool anyOrigin = true;
    std::vector<std::string> allowedOrigins;
    Uploads uploads = Uploads::kAny;
    std::vector<std::string> uploadOrigins;
    // Local files only when a paste of the instance reported them (the "pasted" rule).
    bool pastedFilesOnly = false;
    // The clipboard only during a user gesture.
    bool gestureOnly = false;
    // -1: no limit beyond the binding's own.
    int64_t maxUploadBytes = -1;
};

// The defaults of a binding with no document: the plug-in's are open (Policy()), the
// bridge's are its safe rules.
Policy PluginDefaults();
Policy BridgeDefaults();

// The document's members applied over `defaults`; a failure gives a refuse-all policy whose
// refusal names the member. `source` is recorded as where the text came from.
Policy ParsePolicy(const std::string& text, const Policy& defaults, const std::string& source);
// The same for members already read into a JSON object (the Windows registry's values).
Policy PolicyFromObject(const Json::Value& root, const Policy& defaults, const std::string& source);
// A refuse-all policy with that reason.
Policy RefusingPolicy(const std::string& reason, const std::string& source);

// "scheme://host[:port]" of a web address, lower case, the scheme's default port left out;
// empty when `url` has no scheme and host (a local path, "about:blank", "null").
std::string OriginOf(const std::string& url);
// Whether `pattern` is a well-formed origin pattern: "scheme://host[:port]", where a host
// label may be "*" (exactly one label) and the port may be "*" (any port).
bool IsOriginPattern(const std::string& pattern);
// Whether the origin (as OriginOf gives it) matches the pattern.
bool OriginMatches(const std::string& pattern, const std::string& origin);

// Whether the policy lets the page at `pageOrigin` use the instance.
bool AllowsPage(const Policy& policy, const std::string& pageOrigin);
// Whether an upload or a download (or one of its redirects) may reach `url`.
bool AllowsTransfer(const Policy& policy, const std::string& pageOrigin, const std::string& url);

}  // namespace config
