#include "config/Policy.h"

#include <json/value.h>

#include <algorithm>
#include <cmath>

#include "config/ConfigDocument.h"

namespace config {
namespace {

struct OriginParts {
    std::string scheme;
    std::string host;
    std::string port;  // "" for the scheme's default, "*" in a pattern for any
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return text;
}

const char* DefaultPort(const std::string& scheme) {
    if (scheme == "http" || scheme == "ws") return "80";
    if (scheme == "https" || scheme == "wss") return "443";
    if (scheme == "ftp") return "21";
    return "";
}

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

// Splits "scheme://[user@]host[:port]..." (anything from "/", "?" or "#" on is ignored
// unless `whole`, when nothing may follow the authority but one "/"). Patterns may use "*".
bool SplitOrigin(const std::string& text, bool pattern, bool whole, OriginParts& out) {
    const size_t colon = text.find("://");
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i)
        if (!IsSchemeChar(text[i], i == 0)) return false;
    out.scheme = Lower(text.substr(0, colon));
    const size_t start = colon + 3;
    size_t end = text.find_first_of("/?#", start);
    if (end == std::string::npos) end = text.size();
    if (whole && end != text.size() && !(end + 1 == text.size() && text[end] == '/')) return false;
    std::string authority = text.substr(start, end - start);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        if (pattern) return false;
        authority.erase(0, at + 1);
    }
    std::string host = authority;
    std::string port;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        host = authority.substr(0, close + 1);
        const std::string rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            port = rest.substr(1);
        }
    } else {
        const size_t portColon = authority.rfind(':');
        if (portColon != std::string::npos) {
            host = authority.substr(0, portColon);
            port = authority.substr(portColon + 1);
        }
        if (host.empty()) return false;
        for (char c : host)
            if (!IsHostChar(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) &&
                !(pattern && c == '*'))
                return false;
    }
    if (host.empty() || host == "[]") return false;
    out.host = Lower(host);
    if (port == "*" && pattern) {
        out.port = port;
        return true;
    }
    if (port.size() > 5 || (port.empty() && authority.back() == ':')) return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    if (!port.empty()) {
        const long number = std::stol(port);
        if (number < 1 || number > 65535) return false;
        port = std::to_string(number);
    }
    out.port = port == DefaultPort(out.scheme) ? std::string() : port;
    return true;
}

std::vector<std::string> Labels(const std::string& host) {
    std::vector<std::string> labels;
    size_t start = 0;
    while (true) {
        const size_t dot = host.find('.', start);
        labels.push_back(host.substr(start, dot == std::string::npos ? dot : dot - start));
        if (dot == std::string::npos) return labels;
        start = dot + 1;
    }
}

bool HostMatches(const std::string& pattern, const std::string& host) {
    if (pattern.find('*') == std::string::npos) return pattern == host;
    if (host.empty() || host[0] == '[') return false;
    const std::vector<std::string> want = Labels(pattern);
    const std::vector<std::string> have = Labels(host);
    if (want.size() != have.size()) return false;
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i] == "*" ? have[i].empty() : want[i] != have[i]) return false;
    }
    return true;
}

// A list of well-formed patterns; false (and `error`) otherwise.
bool ReadPatterns(const Json::Value& value, const char* name, std::vector<std::string>& out,
                  std::string& error) {
    if (!value.isArray()) {
        error = std::string("\"") + name + "\" is not a list of origins";
        return false;
    }
    for (const Json::Value& item : value) {
        if (!item.isString() || !IsOriginPattern(item.asString())) {
            error = std::string("\"") + name + "\" holds " +
                    (item.isString() ? "\"" + item.asString() + "\", not an origin pattern"
                                     : std::string("a value that is not a string"));
            return false;
        }
        out.push_back(item.asString());
    }
    return true;
}

bool ReadChoice(const Json::Value& root, const char* name, const char* yes, const char* no,
                bool& out, std::string& error) {
    if (!root.isMember(name)) return true;
    const Json::Value& value = root[name];
    if (value.isString() && value.asString() == yes) {
        out = true;
        return true;
    }
    if (value.isString() && value.asString() == no) {
        out = false;
        return true;
    }
    error = std::string("\"") + name + "\" must be \"" + yes + "\" or \"" + no + "\"";
    return false;
}

bool ReadMembers(const Json::Value& root, Policy& policy, std::string& error) {
    if (root.isMember("allowed_origins")) {
        policy.allowedOrigins.clear();
        if (!ReadPatterns(root["allowed_origins"], "allowed_origins", policy.allowedOrigins, error))
            return false;
        policy.anyOrigin = false;
    }
    if (root.isMember("upload_origins")) {
        const Json::Value& value = root["upload_origins"];
        policy.uploadOrigins.clear();
        if (value.isString() && value.asString() == "any") {
            policy.uploads = Policy::Uploads::kAny;
        } else if (value.isString() && value.asString() == "same-origin") {
            policy.uploads = Policy::Uploads::kSameOrigin;
        } else if (value.isArray()) {
            if (!ReadPatterns(value, "upload_origins", policy.uploadOrigins, error)) return false;
            policy.uploads = Policy::Uploads::kList;
        } else {
            error = "\"upload_origins\" must be \"same-origin\", \"any\" or a list of origins";
            return false;
        }
    }
    if (!ReadChoice(root, "local_files", "pasted", "any", policy.pastedFilesOnly, error))
        return false;
    if (!ReadChoice(root, "clipboard", "gesture", "any", policy.gestureOnly, error)) return false;
    if (root.isMember("max_upload_bytes")) {
        const Json::Value& value = root["max_upload_bytes"];
        const bool whole = value.isIntegral() ||
                           (value.isDouble() && std::floor(value.asDouble()) == value.asDouble());
        if (!value.isNumeric() || value.isBool() || !whole || value.asDouble() < 0 ||
            value.asDouble() > 9007199254740992.0) {
            error = "\"max_upload_bytes\" must be a whole number of bytes, 0 or more";
            return false;
        }
        policy.maxUploadBytes = static_cast<int64_t>(value.asDouble());
    }
    return true;
}

}  // namespace

Policy PluginDefaults() {
    return Policy();
}

Policy BridgeDefaults() {
    Policy policy;
    policy.pastedFilesOnly = true;
    policy.gestureOnly = true;
    return policy;
}

Policy RefusingPolicy(const std::string& reason, const std::string& source) {
    Policy policy;
    policy.refuseAll = true;
    policy.refusal = reason;
    policy.source = source;
    policy.anyOrigin = false;
    policy.uploads = Policy::Uploads::kList;
    policy.pastedFilesOnly = true;
    policy.gestureOnly = true;
    policy.maxUploadBytes = 0;
    return policy;
}

Policy ParsePolicy(const std::string& text, const Policy& defaults, const std::string& source) {
    Json::Value root;
    if (!ParseDocument(text, root))
        return RefusingPolicy("the policy document is not a JSON object", source);
    return PolicyFromObject(root, defaults, source);
}

Policy PolicyFromObject(const Json::Value& root, const Policy& defaults,
                        const std::string& source) {
    if (!root.isObject()) return RefusingPolicy("the policy is not an object", source);
    Policy policy = defaults;
    policy.source = source;
    std::string error;
    if (!ReadMembers(root, policy, error)) return RefusingPolicy(error, source);
    return policy;
}

std::string OriginOf(const std::string& url) {
    OriginParts parts;
    if (!SplitOrigin(url, false, false, parts)) return std::string();
    return parts.scheme + "://" + parts.host + (parts.port.empty() ? "" : ":" + parts.port);
}

bool IsOriginPattern(const std::string& pattern) {
    OriginParts parts;
    return SplitOrigin(pattern, true, true, parts);
}

bool OriginMatches(const std::string& pattern, const std::string& origin) {
    OriginParts want;
    OriginParts have;
    if (!SplitOrigin(pattern, true, true, want) || !SplitOrigin(origin, false, true, have))
        return false;
    if (want.scheme != have.scheme || !HostMatches(want.host, have.host)) return false;
    return want.port == "*" || want.port == have.port;
}

bool AllowsPage(const Policy& policy, const std::string& pageOrigin) {
    if (policy.refuseAll) return false;
    if (policy.anyOrigin) return true;
    for (const std::string& pattern : policy.allowedOrigins)
        if (OriginMatches(pattern, pageOrigin)) return true;
    return false;
}

bool AllowsTransfer(const Policy& policy, const std::string& pageOrigin, const std::string& url) {
    if (policy.refuseAll) return false;
    const std::string target = OriginOf(url);
    switch (policy.uploads) {
        case Policy::Uploads::kAny:
            return true;
        case Policy::Uploads::kSameOrigin:
            return !target.empty() && target == OriginOf(pageOrigin);
        case Policy::Uploads::kList:
            for (const std::string& pattern : policy.uploadOrigins)
                if (!target.empty() && OriginMatches(pattern, target)) return true;
            return false;
    }
    return false;
}

}  // namespace config
