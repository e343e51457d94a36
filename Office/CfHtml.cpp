#include "Office/CfHtml.h"

#include <cstdio>

namespace {

const char kStart[] = "<!--StartFragment-->";
const char kEnd[] = "<!--EndFragment-->";

std::string WithFragmentMarkers(const std::string& html) {
    if (html.find(kStart) != std::string::npos && html.find(kEnd) != std::string::npos) {
        return html;
    }
    size_t from = 0;
    const size_t body = html.find("<body");
    if (body != std::string::npos) {
        const size_t gt = html.find('>', body);
        from = gt == std::string::npos ? html.size() : gt + 1;
    }
    size_t to = html.rfind("</body>");
    if (to == std::string::npos || to < from) to = html.size();
    return html.substr(0, from) + kStart + html.substr(from, to - from) + kEnd + html.substr(to);
}

std::string Offset(size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", value);
    return text;
}

}  // namespace

std::string WrapCfHtml(const std::string& html, const std::string& sourceUrl) {
    const std::string doc = WithFragmentMarkers(html);
    const std::string zero = Offset(0);
    const std::string header = "Version:0.9\r\nStartHTML:" + zero + "\r\nEndHTML:" + zero +
                               "\r\nStartFragment:" + zero + "\r\nEndFragment:" + zero +
                               "\r\nSourceURL:" + sourceUrl + "\r\n";
    const size_t startHtml = header.size();
    const size_t endHtml = startHtml + doc.size();
    const size_t startFragment = startHtml + doc.find(kStart) + sizeof(kStart) - 1;
    const size_t endFragment = startHtml + doc.find(kEnd);
    return "Version:0.9\r\nStartHTML:" + Offset(startHtml) + "\r\nEndHTML:" + Offset(endHtml) +
           "\r\nStartFragment:" + Offset(startFragment) + "\r\nEndFragment:" + Offset(endFragment) +
           "\r\nSourceURL:" + sourceUrl + "\r\n" + doc;
}
