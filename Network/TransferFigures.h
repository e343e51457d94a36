// The progress texts an upload shows: percent, time left and the hours-minutes-seconds form.
#pragma once

#include <cstdint>
#include <string>

// "H:MM:SS" with at least two digits for the hours: 3661 gives "01:01:01".
std::string FormatHms(int64_t seconds);
// "100%" before anything is counted and when all is; otherwise the truncated percentage.
std::string PercentText(int32_t posted, int32_t length);
// "00:00:00" without a speed; otherwise the larger of the remaining bytes and the speed,
// divided by the speed, so a positive speed always shows at least one second.
std::string TimeLeftText(int32_t posted, int32_t length, int32_t speed);
