// Taking the edited text back into the buffer that holds the original one. The result's tokens
// keep their order, so each original token moves towards the front or towards the back of the
// buffer by its own distance. Moved in runs, those going to the front from the front and those
// going to the back from the back, no original token lands on the bytes of one not yet moved:
// a token going to the back lands before the place of the next original token, which is before
// that token's bytes when it goes to the front, and a token going to the front lands behind the
// place of the previous one, which is behind that token's bytes when it went to the back. The
// edited tokens' texts live apart and are written last.
#include <cstring>

#include "Office/TokenText.h"

void TokenText::MoveInPlace(char* holder) {
    const size_t shift = static_cast<size_t>(base_.data() - holder);
    auto original = [&](uint32_t id) { return toks_[id].override < 0; };
    auto move = [&](uint32_t id, size_t at) {
        const size_t from = shift + toks_[id].offset;
        if (at != from) std::memmove(holder + at, holder + from, toks_[id].length);
    };
    // The open run of tokens going to the back: its first token, and the place behind its last.
    uint32_t runFirst = kNone;
    auto moveRun = [&](uint32_t last, size_t end) {
        for (uint32_t id = last;; id = prev_[id]) {
            end -= Text(id).size();
            if (original(id)) move(id, end);
            if (id == runFirst) break;
        }
        runFirst = kNone;
    };
    size_t w = 0;
    uint32_t last = kNone;
    for (uint32_t id = head_; id != kNone; last = id, id = next_[id]) {
        if (original(id)) {
            const bool toTheBack = w > shift + toks_[id].offset;
            if (toTheBack && runFirst == kNone) runFirst = id;
            if (!toTheBack) {
                if (runFirst != kNone) moveRun(prev_[id], w);
                move(id, w);
            }
        }
        w += Text(id).size();
    }
    if (runFirst != kNone) moveRun(last, w);
    w = 0;
    for (uint32_t id = head_; id != kNone; id = next_[id]) {
        const std::string_view text = Text(id);
        if (!original(id)) std::memcpy(holder + w, text.data(), text.size());
        w += text.size();
    }
}

bool TokenText::TakeInPlace(std::string& holder) {
    const char* const bytes = holder.data();
    if (base_.data() < bytes || base_.data() + base_.size() > bytes + holder.size()) return false;
    size_t total = 0;
    for (uint32_t id = head_; id != kNone; id = next_[id]) total += Text(id).size();
    if (total > holder.size()) return false;
    MoveInPlace(&holder[0]);
    holder.resize(total);
    return true;
}
