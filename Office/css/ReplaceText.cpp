#include "Office/css/ReplaceText.h"

#include <cstdint>
#include <vector>

namespace quillon {
namespace css {

namespace {

bool ReplaceOnceEach(std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    std::size_t last = 0;
    for (std::size_t p = text.find(from); p != std::string::npos; p = text.find(from, last)) {
        out.append(text, last, p - last);
        out += to;
        last = p + from.size();
    }
    if (last == 0) return false;
    out.append(text, last, std::string::npos);
    text.swap(out);
    return true;
}

}  // namespace

bool ReplaceAllText(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty() || from == to || text.size() < from.size()) return false;
    if (text.find(from) == std::string::npos) return false;
    if (to.find(from) != std::string::npos) return ReplaceOnceEach(text, from, to);

    // The output never holds an occurrence; each byte appended may complete the leftmost one,
    // which is then swapped for `to`, and matching resumes from the state saved before it.
    const std::size_t m = from.size();
    std::vector<std::uint32_t> fail(m, 0);
    for (std::size_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && from[i] != from[k]) k = fail[k - 1];
        if (from[i] == from[k]) ++k;
        fail[i] = static_cast<std::uint32_t>(k);
    }

    struct Frame {
        const char* p;
        const char* end;
    };
    std::string out;
    out.reserve(text.size());
    std::vector<std::uint32_t> states;
    states.reserve(text.size() + 1);
    states.push_back(0);
    std::vector<Frame> frames{{text.data(), text.data() + text.size()}};
    // Restarts cannot loop forever in practice, but a hostile pair could keep regrowing
    // occurrences; past this many replacements the rest is copied unchanged.
    std::size_t replacementsLeft = 2 * (text.size() + to.size()) + 1024;

    while (!frames.empty()) {
        Frame& top = frames.back();
        if (top.p == top.end) {
            frames.pop_back();
            continue;
        }
        const char c = *top.p++;
        std::size_t s = states.back();
        while (s > 0 && from[s] != c) s = fail[s - 1];
        if (from[s] == c) ++s;
        out += c;
        if (s < m) {
            states.push_back(static_cast<std::uint32_t>(s));
            continue;
        }
        out.resize(out.size() - m);
        states.resize(states.size() - (m - 1));
        if (--replacementsLeft == 0) {
            out += to;
            for (auto f = frames.rbegin(); f != frames.rend(); ++f) out.append(f->p, f->end);
            break;
        }
        frames.push_back(Frame{to.data(), to.data() + to.size()});
    }
    text.swap(out);
    return true;
}

}  // namespace css
}  // namespace quillon
