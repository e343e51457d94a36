// Decimal text of integers and the standard leading-number parsing (no number gives 0).
#pragma once

#include <cstdint>
#include <string>

namespace util {

std::string IntToString(int32_t value);
std::string LongToString(long value);
std::string Int64ToString(int64_t value);
std::string UInt64ToString(uint64_t value);

// Like atoi/atoll/atof: leading blanks, optional sign, digits; stops at the first other byte.
// Values beyond the type's range saturate instead of overflowing.
int32_t StringToInt(const std::string& text);
int64_t StringToInt64(const std::string& text);
double StringToDouble(const std::string& text);

}  // namespace util
