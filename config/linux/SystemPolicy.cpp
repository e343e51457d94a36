#include "config/PolicySource.h"

namespace config {

bool ReadSystemPolicy(const Policy& defaults, Policy& out) {
    bool found = false;
    out = ReadPolicyFile("/etc/npquillon/policy.json", defaults, found);
    return found;
}

}  // namespace config
