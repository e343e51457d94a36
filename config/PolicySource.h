// Where an instance finds the administrator's policy: on Linux /etc/npquillon/policy.json; on
// Windows the values under HKLM\SOFTWARE\Policies\npQuillon, else
// %ProgramData%\npQuillon\policy.json. Only an administrator can write those places.
//
// Tests name a document of their own in the environment variable QUILLON_POLICY_FILE of the
// process that loads the instance (the test browser, the browser starting the native host);
// it is read only when the machine has no document, so it can never weaken an
// administrator's policy, and a page cannot reach the environment.
#pragma once

#include <string>

#include "config/Policy.h"

namespace config {

// The policy of a new instance of the binding whose defaults are given. Never fails: a
// document that cannot be read or understood gives a refuse-all policy. Logs where it read.
Policy LoadPolicy(const Policy& defaults);

// One document file: `found` false (and the defaults) when the file does not exist; a file
// that exists but cannot be read or parsed gives a refuse-all policy.
Policy ReadPolicyFile(const std::string& path, const Policy& defaults, bool& found);

// The machine's own document, when there is one (system-specific).
bool ReadSystemPolicy(const Policy& defaults, Policy& out);

}  // namespace config
