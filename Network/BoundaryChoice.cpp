#include "Network/BoundaryChoice.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>

namespace {

// A boundary like the fixed one with 16 random hexadecimal digits.
std::string RandomBoundary(std::mt19937_64& random) {
    static const char kDigits[] = "0123456789abcdef";
    std::string boundary(27, '-');
    uint64_t bits = random();
    for (int i = 0; i < 16; ++i, bits >>= 4) boundary += kDigits[bits & 0xF];
    return boundary;
}

}  // namespace

BoundaryChoice::BoundaryChoice(const std::string& fixed) {
    std::random_device device;
    std::seed_seq seed{
        device(), device(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937_64 random(seed);
    candidates_ = {fixed, RandomBoundary(random), RandomBoundary(random)};
    seen_.assign(candidates_.size(), false);
    for (const std::string& candidate : candidates_)
        longest_ = std::max(longest_, candidate.size());
}

bool BoundaryChoice::Contains(size_t candidate, const char* begin, const char* end) const {
    const std::string& needle = candidates_[candidate];
    if (static_cast<size_t>(end - begin) < needle.size()) return false;
    return std::search(begin, end,
                       std::boyer_moore_horspool_searcher<const char*>(
                           needle.data(), needle.data() + needle.size())) != end;
}

void BoundaryChoice::Search(const char* begin, const char* end) {
    for (size_t i = 0; i < candidates_.size(); ++i)
        if (!seen_[i] && Contains(i, begin, end)) seen_[i] = true;
}

void BoundaryChoice::Feed(const char* data, size_t length) {
    if (!data || length == 0) return;
    // Across the seam: the carried tail and the first bytes of this piece.
    if (!carry_.empty()) {
        std::string seam = carry_;
        seam.append(data, std::min(length, longest_ - 1));
        Search(seam.data(), seam.data() + seam.size());
    }
    Search(data, data + length);
    if (length >= longest_ - 1) {
        carry_.assign(data + length - (longest_ - 1), longest_ - 1);
    } else {
        carry_.append(data, length);
        if (carry_.size() > longest_ - 1) carry_.erase(0, carry_.size() - (longest_ - 1));
    }
}

void BoundaryChoice::Check(const std::string& text) {
    Search(text.data(), text.data() + text.size());
}

std::string BoundaryChoice::Chosen() const {
    for (size_t i = 0; i < candidates_.size(); ++i)
        if (!seen_[i]) return candidates_[i];
    return std::string();
}
