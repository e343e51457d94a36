#include "Office/CfHtml.h"
#include "platform/kernel/LargeBuffer.h"

#include <cstdio>

namespace {

const char kStart[] = "<!--StartFragment-->";
const char kEnd[] = "<!--EndFragment-->";

// Appends the document with its fragment markers (around the body's content when it has none).
void AppendWithFragmentMarkers(const std::string& html, std::string& out) {
    if (html.find(kStart) != std::string::npos && html.find(kEnd) != std::string::npos) {
        out += html;
        return;
    }
    size_t from = 0;
    const size_t body = html.find("<body");
    if (body != std::string::npos) {
        const size_t gt = html.find('>', body);
        from = gt == std::string::npos ? html.size() : gt + 1;
    }
    size_t to = html.rfind("</body>");
    if (to == std::string::npos || to < from) to = html.size();
    out.append(html, 0, from).append(kStart).append(html, from, to - from).append(kEnd);
    out.append(html, to, std::string::npos);
}

std::string Offset(size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%010zu", value);
    return text;
}

}  // namespace

std::string WrapCfHtml(const std::string& html, const std::string& sourceUrl) {
    // The header has a fixed size (offsets of ten digits), so the document is written once,
    // after a placeholder header, and the offsets filled in afterwards.
    const std::string zero = Offset(0);
    const std::string header = "Version:0.9\r\nStartHTML:" + zero + "\r\nEndHTML:" + zero +
                               "\r\nStartFragment:" + zero + "\r\nEndFragment:" + zero +
                               "\r\nSourceURL:" + sourceUrl + "\r\n";
    std::string out;
    platform::ReserveLarge(out, header.size() + html.size() + sizeof(kStart) + sizeof(kEnd));
    out += header;
    AppendWithFragmentMarkers(html, out);
    const size_t startHtml = header.size();
    const size_t endHtml = out.size();
    const size_t startFragment = out.find(kStart, startHtml) + sizeof(kStart) - 1;
    const size_t endFragment = out.find(kEnd, startHtml);
    const std::string filled =
        "Version:0.9\r\nStartHTML:" + Offset(startHtml) + "\r\nEndHTML:" + Offset(endHtml) +
        "\r\nStartFragment:" + Offset(startFragment) + "\r\nEndFragment:" + Offset(endFragment);
    out.replace(0, filled.size(), filled);
    return out;
}
