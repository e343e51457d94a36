// Taking the edited text back into the buffer that holds the original one: every live token is
// moved to its place in the result, in an order that never overwrites bytes still to be moved.
// Token numbers follow the document order, so a token's number tells on which side it lies.
#include <cstring>

#include "Office/TokenText.h"

uint32_t TokenText::OriginalFrom(uint32_t id) const {
    while (id != kNone && toks_[id].override >= 0) id = next_[id];
    return id;
}

uint32_t TokenText::OriginalBackFrom(uint32_t id) const {
    while (id != kNone && toks_[id].override >= 0) id = prev_[id];
    return id;
}

bool TokenText::MoveInPlace(char* holder, size_t holderSize, size_t total, bool write) {
    if (total > holderSize) return false;
    const size_t shift = static_cast<size_t>(base_.data() - holder);
    auto source = [&](uint32_t id) { return shift + toks_[id].offset; };
    auto original = [&](uint32_t id) { return toks_[id].override < 0; };
    auto put = [&](uint32_t id, size_t at) {
        if (!write) return;
        const std::string_view text = Text(id);
        if (holder + at != text.data()) std::memmove(holder + at, text.data(), text.size());
    };
    // From the front, token by token to the place `w`: an original token may move towards the
    // front or stay, and nothing may land on the bytes of the next original token.
    size_t w = 0;
    uint32_t id = head_;
    uint32_t nextOriginal = OriginalFrom(head_);
    for (; id != kNone; id = next_[id]) {
        if (nextOriginal == id) nextOriginal = OriginalFrom(next_[id]);
        const size_t size = Text(id).size();
        if (original(id) && w > source(id)) break;
        if (nextOriginal != kNone && w + size > source(nextOriginal)) break;
        put(id, w);
        w += size;
    }
    if (id == kNone) return w == total;
    // From the back down to the first token left: an original token may move towards the back
    // or stay, and nothing may land on the bytes of the previous original token still unmoved
    // (one numbered from `first` on) or on what the front pass wrote.
    const uint32_t first = id;
    uint32_t last = first;
    while (next_[last] != kNone) last = next_[last];
    size_t e = total;
    uint32_t prevOriginal = OriginalBackFrom(last);
    for (id = last;; id = prev_[id]) {
        if (prevOriginal == id) prevOriginal = id == first ? kNone : OriginalBackFrom(prev_[id]);
        if (prevOriginal != kNone && prevOriginal < first) prevOriginal = kNone;
        const size_t size = Text(id).size();
        if (size > e - w) return false;
        const size_t at = e - size;
        if (original(id) && at < source(id)) return false;
        if (prevOriginal != kNone && at < source(prevOriginal) + toks_[prevOriginal].length) {
            return false;
        }
        put(id, at);
        e = at;
        if (id == first) break;
    }
    return e == w;
}

bool TokenText::TakeInPlace(std::string& holder) {
    const char* const bytes = holder.data();
    if (base_.data() < bytes || base_.data() + base_.size() > bytes + holder.size()) return false;
    size_t total = 0;
    for (uint32_t id = head_; id != kNone; id = next_[id]) total += Text(id).size();
    // Every move is checked before the first one is made: a text whose moves cannot all be
    // made stays as it was, for Take.
    if (!MoveInPlace(&holder[0], holder.size(), total, false)) return false;
    MoveInPlace(&holder[0], holder.size(), total, true);
    holder.resize(total);
    return true;
}
