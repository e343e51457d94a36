#include "Network/RequestSetup.h"

#include "Network/UrlParts.h"

platform::HttpRequestSetup MakeRequestSetup(const std::string& url, const std::string& pathOverride,
                                            const std::string& verb, const std::string& headers,
                                            const std::string& agent) {
    UrlParts parts;
    SplitUrl(url, &parts);
    platform::HttpRequestSetup setup;
    setup.agent = agent;
    setup.scheme = parts.scheme;
    setup.host = parts.host;
    setup.port = parts.port;
    setup.verb = verb;
    setup.target = pathOverride.empty() ? parts.path + parts.extra : pathOverride;
    setup.headers = headers;
    return setup;
}
