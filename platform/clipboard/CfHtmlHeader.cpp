#include "platform/clipboard/CfHtmlHeader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace platform {
namespace {

const char kStartMarker[] = "<!--StartFragment-->";
const char kEndMarker[] = "<!--EndFragment-->";

size_t FindNoCase(const std::string& text, const std::string& what, size_t from = 0) {
    auto it = std::search(text.begin() + std::min(from, text.size()), text.end(), what.begin(),
                          what.end(), [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) ==
                                     std::tolower(static_cast<unsigned char>(b));
                          });
    return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

// The end of the tag that starts at `open` (just past its '>'), or npos.
size_t TagEnd(const std::string& text, size_t open) {
    const size_t close = text.find('>', open);
    return close == std::string::npos ? std::string::npos : close + 1;
}

// The document with fragment markers; `start`/`end` receive the fragment's byte range.
std::string WithMarkers(const std::string& html, size_t& start, size_t& end) {
    const size_t markedStart = html.find("<!--StartFragment");
    if (markedStart != std::string::npos) {
        const size_t markedEnd = html.find(kEndMarker, markedStart);
        const size_t afterStart = TagEnd(html, markedStart);
        if (markedEnd != std::string::npos && afterStart != std::string::npos &&
            afterStart <= markedEnd) {
            start = afterStart;
            end = markedEnd;
            return html;
        }
    }
    const size_t body = FindNoCase(html, "<body");
    const size_t bodyOpenEnd = body == std::string::npos ? body : TagEnd(html, body);
    if (bodyOpenEnd == std::string::npos) {
        const std::string prefix = std::string("<html><body>") + kStartMarker;
        start = prefix.size();
        end = start + html.size();
        return prefix + html + kEndMarker + "</body></html>";
    }
    size_t bodyClose = FindNoCase(html, "</body", bodyOpenEnd);
    if (bodyClose == std::string::npos) bodyClose = html.size();
    std::string out = html.substr(0, bodyOpenEnd) + kStartMarker;
    start = out.size();
    out += html.substr(bodyOpenEnd, bodyClose - bodyOpenEnd);
    end = out.size();
    out += kEndMarker;
    out += html.substr(bodyClose);
    return out;
}

std::string Offset(size_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010zu", value);
    return digits;
}

}  // namespace

std::string WrapCfHtml(const std::string& html, const std::string& sourceUrl) {
    size_t fragmentStart = 0;
    size_t fragmentEnd = 0;
    const std::string document = WithMarkers(html, fragmentStart, fragmentEnd);
    // A line break inside the address would end the header line early.
    const std::string url = sourceUrl.substr(0, sourceUrl.find_first_of(std::string("\r\n\0", 3)));
    std::string sourceLine;
    if (!url.empty()) sourceLine = "SourceURL:" + url + "\r\n";
    // Every offset field has ten digits, so the header's length does not depend on them.
    const size_t headerSize =
        std::string("Version:0.9\r\n").size() + 4 * (std::string("\r\n").size() + 10) +
        std::string("StartHTML:EndHTML:StartFragment:EndFragment:").size() + sourceLine.size();
    std::string out = "Version:0.9\r\n";
    out += "StartHTML:" + Offset(headerSize) + "\r\n";
    out += "EndHTML:" + Offset(headerSize + document.size()) + "\r\n";
    out += "StartFragment:" + Offset(headerSize + fragmentStart) + "\r\n";
    out += "EndFragment:" + Offset(headerSize + fragmentEnd) + "\r\n";
    out += sourceLine;
    out += document;
    return out;
}

}  // namespace platform
