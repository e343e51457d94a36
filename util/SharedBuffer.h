// A shared byte buffer with its 32-bit count; an empty buffer has a null pointer and count 0.
#pragma once

#include <boost/shared_array.hpp>
#include <cstdint>
#include <string>

namespace util {

struct SharedBuffer {
    boost::shared_array<char> data;
    uint32_t size = 0;

    bool empty() const { return !data || size == 0; }
    std::string str() const { return data ? std::string(data.get(), size) : std::string(); }
    // A zero-filled buffer of `count` bytes plus one terminating zero byte.
    static SharedBuffer Allocate(uint32_t count);
    static SharedBuffer FromString(const std::string& bytes);
};

}  // namespace util
