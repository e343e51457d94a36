#include "Network/TransferFigures.h"

#include <algorithm>
#include <cstdio>

std::string FormatHms(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>((seconds / 60) % 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string PercentText(int32_t posted, int32_t length) {
    if (posted == 0 || posted == length || length <= 0) return "100%";
    const int64_t percent = static_cast<int64_t>(static_cast<double>(posted) * 100 / length);
    return std::to_string(std::min<int64_t>(std::max<int64_t>(percent, 0), 100)) + "%";
}

std::string TimeLeftText(int32_t posted, int32_t length, int32_t speed) {
    if (speed <= 0) return "00:00:00";
    const int64_t remaining = static_cast<int64_t>(length) - posted;
    const int64_t seconds =
        static_cast<int64_t>(static_cast<double>(std::max<int64_t>(remaining, speed)) / speed);
    return FormatHms(seconds);
}
