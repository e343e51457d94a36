#include "Network/ResponseHeaders.h"

#include <strings.h>

#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& raw) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= raw.size()) {
        size_t end = raw.find_first_of("\r\n", start);
        if (end == std::string::npos) end = raw.size();
        if (end > start) lines.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::map<std::string, std::string> ParseResponseHeaders(const std::string& raw) {
    std::map<std::string, std::string> headers;
    for (const std::string& line : Lines(raw)) {
        const size_t first = line.find(':');
        if (first == std::string::npos) continue;
        const size_t second = line.find(':', first + 1);
        const std::string value = second == std::string::npos
                                      ? line.substr(first + 1)
                                      : line.substr(first + 1, second - first - 1);
        headers.insert(std::make_pair(line.substr(0, first), value));
    }
    return headers;
}

bool FindResponseHeader(const std::string& raw, const std::string& name, std::string* value) {
    for (const std::string& line : Lines(raw)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || colon != name.size() ||
            strncasecmp(line.data(), name.data(), name.size()) != 0) {
            continue;
        }
        const size_t begin = line.find_first_not_of(" \t", colon + 1);
        const size_t end = line.find_last_not_of(" \t");
        *value = begin == std::string::npos ? std::string() : line.substr(begin, end - begin + 1);
        return true;
    }
    return false;
}
