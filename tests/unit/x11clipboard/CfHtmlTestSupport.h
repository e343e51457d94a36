// Reads a CF_HTML block back: its header's offsets, checked against the text they point at.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace x11test {

struct ParsedCfHtml {
    std::map<std::string, std::string> header;  // key -> value, up to the first "<"
    std::string document;                       // StartHTML..EndHTML
    std::string fragment;                       // StartFragment..EndFragment
};

// Fails the test when an offset is missing, not ten digits, or out of range.
inline ParsedCfHtml ParseCfHtml(const std::string& block) {
    ParsedCfHtml parsed;
    size_t at = 0;
    while (at < block.size() && block[at] != '<') {
        const size_t end = block.find("\r\n", at);
        if (end == std::string::npos) break;
        const std::string line = block.substr(at, end - at);
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            parsed.header[line.substr(0, colon)] = line.substr(colon + 1);
        at = end + 2;
    }
    auto offset = [&](const char* key) -> size_t {
        const std::string value = parsed.header[key];
        EXPECT_EQ(value.size(), 10u) << key;
        const size_t n = std::strtoul(value.c_str(), nullptr, 10);
        EXPECT_LE(n, block.size()) << key;
        return std::min(n, block.size());
    };
    const size_t startHtml = offset("StartHTML"), endHtml = offset("EndHTML");
    const size_t startFragment = offset("StartFragment"), endFragment = offset("EndFragment");
    EXPECT_EQ(startHtml, at) << "StartHTML must point just behind the header";
    EXPECT_EQ(endHtml, block.size());
    EXPECT_LE(startHtml, startFragment);
    EXPECT_LE(startFragment, endFragment);
    EXPECT_LE(endFragment, endHtml);
    if (startHtml <= endHtml) parsed.document = block.substr(startHtml, endHtml - startHtml);
    if (startFragment <= endFragment)
        parsed.fragment = block.substr(startFragment, endFragment - startFragment);
    EXPECT_EQ(block.compare(startFragment - std::min<size_t>(startFragment, 20), 20,
                            "<!--StartFragment-->"),
              0);
    EXPECT_EQ(block.compare(endFragment, 18, "<!--EndFragment-->"), 0);
    return parsed;
}

}  // namespace x11test
