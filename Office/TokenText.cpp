// The edits of the tag pass on the tag list.
#include <algorithm>

#include "Office/TokenText.h"
#include "platform/kernel/LargeBuffer.h"

namespace {

const std::string::size_type npos = std::string::npos;

}  // namespace

bool TokenText::Contains(const std::string& x, bool& found) {
    if (!Indexed(x)) return false;
    found = First(x) != kNone;
    return true;
}

bool TokenText::ReplaceAll(const std::string& x, const std::string& y) {
    if (x == y) return true;
    if (!y.empty() && !SelfDelimitedTag(y)) return false;
    if (Indexed(x)) {
        for (uint32_t id : All(x)) {
            if (y.empty()) {
                Kill(id);
            } else {
                SetText(id, y);
            }
        }
        return true;
    }
    std::vector<std::string> pieces;
    if (!SplitTags(x, pieces) || pieces.empty() || !Indexed(pieces[0])) return false;
    if (y.empty()) {
        return pieces.size() == 2 && x == pieces[0] + pieces[1] && Indexed(pieces[1]) &&
               RemovePairs(pieces[0], pieces[1]);
    }
    // No occurrence can contain the new tag, so one pass finds every occurrence.
    if (x.find(y) != npos) return false;
    for (uint32_t id : All(pieces[0])) {
        if (!Live(id, pieces[0])) continue;
        std::vector<uint32_t> run;
        if (!RunEquals(id, x, run)) continue;
        SetText(id, y);
        for (size_t k = 1; k < run.size(); ++k) Kill(run[k]);
    }
    return true;
}

bool TokenText::StripBlocks(const std::string& s, const std::string& e) {
    if (s == e || !Indexed(s) || !Indexed(e)) return false;
    // Each start in order takes the first unused end behind it; the first start without
    // one ends the pairing (no later start has one either). Only the pairs removed and one
    // more start are looked at, however many unpaired markers there are.
    for (uint32_t start = First(s); start != kNone; start = FirstAfter(s, start)) {
        const uint32_t end = FirstAfter(e, start);
        if (end == kNone) break;
        Kill(start);
        Kill(end);
    }
    return true;
}

bool TokenText::ElementText(const std::string& open, const std::string& close, bool& found,
                            std::string& text) {
    uint32_t a = 0;
    uint32_t c = 0;
    if (!Element(open, close, found, a, c)) return false;
    text.clear();
    if (!found || c == kNone) return true;
    for (uint32_t id = a;; id = next_[id]) {
        text += Text(id);
        if (id == c) break;
    }
    return true;
}

bool TokenText::ElementTextWith(const std::string& open, const std::string& close,
                                const std::string& needle, bool& found, std::string& text) {
    if (needle.empty() || needle.find_first_of("<>") != npos) return false;
    uint32_t a = 0;
    uint32_t c = 0;
    if (!Element(open, close, found, a, c)) return false;
    text.clear();
    if (!found || c == kNone) {
        found = false;
        return true;
    }
    if (!watch_ || watch_->needle != needle) Watch(needle);
    // A needle without "<" or ">" cannot run into the opening tag from before it nor out of
    // the closing tag: its first occurrence in the element starts in a token a..c.
    const auto hot = watch_->hot.lower_bound(a);
    found = hot != watch_->hot.end() && *hot <= c;
    if (!found) return true;
    for (uint32_t id = a;; id = next_[id]) {
        text += Text(id);
        if (id == c) break;
    }
    return true;
}

bool TokenText::EraseElement(const std::string& open, const std::string& close) {
    uint32_t a = 0;
    uint32_t c = 0;
    bool found = false;
    if (!Element(open, close, found, a, c)) return false;
    if (!found || c == kNone) return true;
    for (uint32_t id = a;;) {
        const uint32_t nx = next_[id];
        Kill(id);
        if (id == c) break;
        id = nx;
    }
    return true;
}

bool TokenText::EraseFrom(const std::string& x, size_t length) {
    if (length == 0) return true;
    if (!Indexed(x)) return false;
    const uint32_t a = First(x);
    if (a == kNone) return true;
    size_t sum = 0;
    uint32_t last = a;
    for (uint32_t id = a; id != kNone && sum < length; id = next_[id]) {
        sum += Text(id).size();
        last = id;
    }
    if (sum > length) return false;  // the cut would split a token
    for (uint32_t id = a;;) {
        const uint32_t nx = next_[id];
        Kill(id);
        if (id == last) break;
        id = nx;
    }
    return true;
}

bool TokenText::ClosesRightAfter(const std::string& open, const std::string& close, bool& result) {
    result = false;
    if (close.empty()) return true;
    if (!Indexed(open) || !Indexed(close)) return false;
    const uint32_t a = First(open);
    if (a == kNone) return true;
    const uint32_t nx = next_[a];
    result = nx != kNone && Text(nx) == close;
    return true;
}

void TokenText::Take(std::string& out) {
    out.clear();
    size_t size = 0;
    for (uint32_t id = head_; id != kNone; id = next_[id]) size += Text(id).size();
    platform::ReserveLarge(out, size);
    for (uint32_t id = head_; id != kNone; id = next_[id]) out += Text(id);
}

std::string_view TokenText::Text(uint32_t id) const {
    const Tok& t = toks_[id];
    if (t.override >= 0) return overrides_[t.override];
    return base_.substr(t.offset, t.length);
}

void TokenText::Kill(uint32_t id) {
    if (!toks_[id].alive) return;
    toks_[id].alive = false;
    const uint32_t p = prev_[id];
    const uint32_t n = next_[id];
    if (p != kNone) {
        next_[p] = n;
    } else {
        head_ = n;
    }
    if (n != kNone) prev_[n] = p;
    if (watch_) {
        if (watch_->inHot[id]) {
            watch_->hot.erase(id);
            watch_->inHot[id] = 0;
        }
        if (p != kNone) {
            UpdateHot(p);
            UpdateHotBefore(p);
        }
    }
}

void TokenText::SetText(uint32_t id, const std::string& y) {
    overrides_.push_back(y);
    toks_[id].override = static_cast<int32_t>(overrides_.size() - 1);
    auto& added = index_[std::string_view(overrides_.back())].added;
    if (!added) added = std::make_unique<std::set<uint32_t>>();
    added->insert(id);
    if (watch_) {
        watch_->inside[id] = y.find(watch_->needle) != npos;
        UpdateHot(id);
        UpdateHotBefore(id);
    }
}

uint32_t TokenText::First(const std::string& x) {
    auto it = index_.find(x);
    if (it == index_.end()) return kNone;
    Entry& e = it->second;
    while (e.cursor < e.ids.size() && !Live(e.ids[e.cursor], x)) ++e.cursor;
    uint32_t best = e.cursor < e.ids.size() ? e.ids[e.cursor] : kNone;
    if (e.added) {
        std::set<uint32_t>& added = *e.added;
        while (!added.empty() && !Live(*added.begin(), x)) added.erase(added.begin());
        if (!added.empty()) best = std::min(best, *added.begin());
    }
    return best;
}

uint32_t TokenText::FirstAfter(const std::string& x, uint32_t after) {
    auto it = index_.find(x);
    if (it == index_.end()) return kNone;
    Entry& e = it->second;
    uint32_t best = kNone;
    if (e.skip.empty()) {
        e.skip.resize(e.ids.size() + 1);
        for (uint32_t k = 0; k < e.skip.size(); ++k) e.skip[k] = k;
    }
    size_t k = std::upper_bound(e.ids.begin(), e.ids.end(), after) - e.ids.begin();
    for (;; ++k) {
        k = SkipDead(e.skip, k);
        if (k == e.ids.size()) break;
        if (Live(e.ids[k], x)) {
            best = e.ids[k];
            break;
        }
        e.skip[k] = static_cast<uint32_t>(k + 1);
    }
    if (!e.added) return best;
    for (auto p = e.added->upper_bound(after); p != e.added->end() && *p < best;) {
        if (Live(*p, x)) {
            best = *p;
            break;
        }
        p = e.added->erase(p);  // a token gets this text again only through SetText
    }
    return best;
}

size_t TokenText::SkipDead(std::vector<uint32_t>& skip, size_t k) {
    size_t root = k;
    while (skip[root] != root) root = skip[root];
    while (skip[k] != root) {
        const size_t up = skip[k];
        skip[k] = static_cast<uint32_t>(root);
        k = up;
    }
    return root;
}

void TokenText::Watch(const std::string& needle) {
    watch_.reset(new Watched());
    watch_->needle = needle;
    watch_->inside.resize(toks_.size());
    watch_->inHot.resize(toks_.size());
    for (uint32_t id = head_; id != kNone; id = next_[id]) {
        watch_->inside[id] = Text(id).find(needle) != npos;
    }
    for (uint32_t id = head_; id != kNone; id = next_[id]) UpdateHot(id);
}

void TokenText::UpdateHot(uint32_t id) {
    Watched& w = *watch_;
    bool hot = toks_[id].alive && w.inside[id];
    if (toks_[id].alive && !hot) {
        const size_t m = w.needle.size();
        const std::string_view text = Text(id);
        const std::string_view tail = text.substr(text.size() > m - 1 ? text.size() - (m - 1) : 0);
        if (tail.find(w.needle[0]) != npos) {
            std::string window(tail);
            for (uint32_t t = next_[id]; t != kNone && window.size() < tail.size() + m - 1;
                 t = next_[t]) {
                window += Text(t).substr(0, tail.size() + m - 1 - window.size());
            }
            hot = window.find(w.needle) < tail.size();
        }
    }
    if (hot == (w.inHot[id] != 0)) return;
    if (hot) {
        w.hot.insert(id);
    } else {
        w.hot.erase(id);
    }
    w.inHot[id] = hot;
}

void TokenText::UpdateHotBefore(uint32_t id) {
    if (!watch_) return;
    const size_t reach = watch_->needle.size() - 1;
    size_t passed = 0;
    for (uint32_t t = prev_[id]; t != kNone && passed < reach; t = prev_[t]) {
        if (!toks_[t].alive) continue;
        UpdateHot(t);
        passed += Text(t).size();
    }
}

std::vector<uint32_t> TokenText::All(const std::string& x) {
    std::vector<uint32_t> out;
    auto it = index_.find(x);
    if (it == index_.end()) return out;
    const Entry& e = it->second;
    for (size_t k = e.cursor; k < e.ids.size(); ++k) {
        if (Live(e.ids[k], x)) out.push_back(e.ids[k]);
    }
    const size_t mid = out.size();
    if (e.added) {
        for (uint32_t id : *e.added) {
            if (Live(id, x)) out.push_back(id);
        }
    }
    std::inplace_merge(out.begin(), out.begin() + mid, out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool TokenText::Element(const std::string& open, const std::string& close, bool& found, uint32_t& a,
                        uint32_t& c) {
    if (!Indexed(open) || (!close.empty() && !Indexed(close))) return false;
    a = First(open);
    found = a != kNone;
    c = kNone;
    if (!found) return true;
    if (close.empty()) return true;
    c = FirstAfter(close, a);
    if (c == kNone) found = false;
    return true;
}

bool TokenText::RunEquals(uint32_t id, const std::string& x, std::vector<uint32_t>& run) const {
    size_t pos = 0;
    for (uint32_t t = id; t != kNone && pos < x.size(); t = next_[t]) {
        const std::string_view piece = Text(t);
        if (x.compare(pos, piece.size(), piece.data(), piece.size()) != 0) return false;
        if (pos + piece.size() > x.size()) return false;
        pos += piece.size();
        run.push_back(t);
    }
    return pos == x.size();
}

bool TokenText::RemovePairs(const std::string& open, const std::string& close) {
    if (open == close) return false;
    for (uint32_t id : All(open)) {
        if (!Live(id, open)) continue;
        uint32_t a = id;
        for (;;) {
            const uint32_t c = next_[a];
            if (c == kNone || !Live(c, close)) break;
            const uint32_t before = prev_[a];
            Kill(a);
            Kill(c);
            if (before == kNone || !Live(before, open)) break;
            a = before;
        }
    }
    return true;
}
