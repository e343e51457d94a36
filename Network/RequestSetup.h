// The transport's description of one request, built from an address the same way by the
// upload client and the downloader.
#pragma once

#include <string>

#include "platform/http/HttpSession.h"

// Splits `url` (see SplitUrl) into connection and target; a non-empty `pathOverride` replaces
// the target taken from the address.
platform::HttpRequestSetup MakeRequestSetup(const std::string& url, const std::string& pathOverride,
                                            const std::string& verb, const std::string& headers,
                                            const std::string& agent);
