#include "util/Numbers.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace util {

std::string IntToString(int32_t value) {
    return std::to_string(value);
}
std::string LongToString(long value) {
    return std::to_string(value);
}
std::string Int64ToString(int64_t value) {
    return std::to_string(value);
}
std::string UInt64ToString(uint64_t value) {
    return std::to_string(value);
}

int64_t StringToInt64(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so that the minimum value is representable.
    int64_t value = 0;
    const int64_t min = std::numeric_limits<int64_t>::min();
    bool saturated = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (min + digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated) return negative ? min : std::numeric_limits<int64_t>::max();
    if (negative) return value;
    return value == min ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t StringToInt(const std::string& text) {
    const int64_t v = StringToInt64(text);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

double StringToDouble(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace util
