// Registered clipboard format names and their numbers: the same name always gives the same
// number, from 0xC000 up, as the system's registration does. Callers hold their own lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace platform {

class FormatRegistry {
  public:
    uint32_t Register(const std::string& name) {
        auto it = ids_.find(name);
        if (it != ids_.end()) return it->second;
        const uint32_t id = 0xC000 + static_cast<uint32_t>(ids_.size());
        ids_[name] = id;
        return id;
    }
    // The name registered under `format`; empty when none is.
    std::string NameOf(uint32_t format) const {
        for (const auto& entry : ids_)
            if (entry.second == format) return entry.first;
        return std::string();
    }

  private:
    std::map<std::string, uint32_t> ids_;
};

}  // namespace platform
