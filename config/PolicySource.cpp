#include "config/PolicySource.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Biz/Log.h"

namespace config {
namespace {

// Larger documents are refused rather than read: a policy is a few lines.
const long kMaxDocumentBytes = 1024 * 1024;

void Report(const Policy& policy) {
    if (policy.refuseAll) {
        std::fprintf(stderr, "npQuillon: the policy %s cannot be used (%s): every member refused\n",
                     policy.source.c_str(), policy.refusal.c_str());
        QUILLON_TRACE(Log::kLog, 0, "policy " << policy.source << " refused: " << policy.refusal);
    } else if (!policy.source.empty()) {
        QUILLON_TRACE(Log::kLog, 0, "policy read from " << policy.source);
    }
}

}  // namespace

Policy ReadPolicyFile(const std::string& path, const Policy& defaults, bool& found) {
    found = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return defaults;
        found = true;
        return RefusingPolicy(std::string("cannot read it: ") + std::strerror(errno), path);
    }
    found = true;
    std::string text;
    char buffer[8192];
    bool failed = false;
    while (true) {
        const size_t count = std::fread(buffer, 1, sizeof buffer, file);
        text.append(buffer, count);
        if (static_cast<long>(text.size()) > kMaxDocumentBytes) {
            std::fclose(file);
            return RefusingPolicy("the document is over 1 MiB", path);
        }
        if (count < sizeof buffer) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed) return RefusingPolicy("a read of it failed", path);
    return ParsePolicy(text, defaults, path);
}

Policy LoadPolicy(const Policy& defaults) {
    Policy policy;
    if (!ReadSystemPolicy(defaults, policy)) {
        policy = defaults;
        const char* testFile = std::getenv("QUILLON_POLICY_FILE");
        if (testFile && *testFile) {
            bool found = false;
            policy = ReadPolicyFile(testFile, defaults, found);
            // A test that names a document expects it to be used.
            if (!found) policy = RefusingPolicy("the file does not exist", testFile);
        }
    }
    Report(policy);
    return policy;
}

}  // namespace config
