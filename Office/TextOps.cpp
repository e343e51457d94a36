#include "Office/TextOps.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace {

const std::string::size_type npos = std::string::npos;

// Knuth-Morris-Pratt automaton of one marker: tells whether a text ends with a non-empty
// proper prefix of the marker, which is what a cut needs to join into a new occurrence.
class PartialMatcher {
  public:
    explicit PartialMatcher(const std::string& marker) : marker_(marker), fail_(marker.size(), 0) {
        for (size_t i = 1, k = 0; i < marker.size(); ++i) {
            while (k > 0 && marker[i] != marker[k]) k = fail_[k - 1];
            if (marker[i] == marker[k]) ++k;
            fail_[i] = k;
        }
    }

    // Length of the longest proper border of the marker (0: occurrences never overlap).
    size_t Border() const { return marker_.empty() ? 0 : fail_.back(); }

    // Whether `tail` ends with a non-empty proper prefix of the marker.
    bool EndsWithPrefix(const char* tail, size_t size) const {
        const size_t m = marker_.size();
        if (m < 2 || size == 0) return false;
        const size_t from = size > m - 1 ? size - (m - 1) : 0;
        size_t k = 0;
        for (size_t i = from; i < size; ++i) {
            while (k > 0 && (k == m || tail[i] != marker_[k])) k = fail_[k - 1];
            if (tail[i] == marker_[k]) ++k;
        }
        return k > 0 && k < m;
    }

  private:
    const std::string& marker_;
    std::vector<size_t> fail_;
};

bool SuffixIsPrefix(const std::string& a, const std::string& b) {
    // Whether a non-empty proper suffix of `a` is a prefix of `b`.
    for (size_t len = 1; len < a.size() && len <= b.size(); ++len) {
        if (a.compare(a.size() - len, len, b, 0, len) == 0) return true;
    }
    return false;
}

// Markers whose occurrences can never overlap one another: then the pairs are found by one
// scan over the original text.
bool MarkersIndependent(const std::string& start, const std::string& end, const PartialMatcher& s,
                        const PartialMatcher& e) {
    if (start == end || s.Border() != 0 || e.Border() != 0) return false;
    if (start.find(end) != npos || end.find(start) != npos) return false;
    return !SuffixIsPrefix(start, end) && !SuffixIsPrefix(end, start);
}

bool EndsWithAnyPrefix(const std::string& tail, const PartialMatcher& s, const PartialMatcher& e) {
    return s.EndsWithPrefix(tail.data(), tail.size()) || e.EndsWithPrefix(tail.data(), tail.size());
}

// The last `want` bytes of the text as it stands while the first pending start marker is
// removed: `out` with the other pending start markers still in place.
std::string VirtualTail(const std::string& out, const std::deque<size_t>& pending,
                        const std::string& start, size_t want) {
    std::string rev;
    size_t pos = out.size();
    size_t idx = pending.size();
    while (rev.size() < want) {
        // Pending markers (other than the front one) sitting at `pos` come last.
        if (idx > 1 && pending[idx - 1] == pos) {
            --idx;
            for (size_t j = start.size(); j-- > 0 && rev.size() < want;) rev.push_back(start[j]);
            continue;
        }
        if (pos == 0) break;
        const size_t stopAt = idx > 1 ? pending[idx - 1] : 0;
        while (pos > stopAt && rev.size() < want) rev.push_back(out[--pos]);
    }
    std::reverse(rev.begin(), rev.end());
    return rev;
}

bool StripKeep(std::string& text, const std::string& start, const std::string& end, size_t first,
               const PartialMatcher& s, const PartialMatcher& e, std::string& out) {
    const size_t want = std::max(start.size(), end.size());
    out.clear();
    out.reserve(text.size());
    std::deque<size_t> pending;  // out positions of start markers still waiting for an end
    size_t i = 0;
    size_t ns = first;
    size_t ne = text.find(end, first);
    for (;;) {
        if (ns == npos && (ne == npos || pending.empty())) break;
        const bool isStart = ns != npos && (ne == npos || ns < ne);
        const size_t m = isStart ? ns : ne;
        out.append(text, i, m - i);
        if (isStart) {
            const std::string tail = out.substr(out.size() > want ? out.size() - want : 0);
            if (EndsWithAnyPrefix(tail, s, e)) return false;
            pending.push_back(out.size());
            i = m + start.size();
            ns = text.find(start, i);
        } else {
            if (pending.empty()) {
                out += end;
            } else {
                if (EndsWithAnyPrefix(VirtualTail(out, pending, start, want), s, e)) return false;
                pending.pop_front();
            }
            i = m + end.size();
            ne = text.find(end, i);
        }
    }
    out.append(text, i, npos);
    if (!pending.empty()) {
        // Start markers without an end stay where they were.
        std::string full;
        full.reserve(out.size() + pending.size() * start.size());
        size_t from = 0;
        for (size_t at : pending) {
            full.append(out, from, at - from);
            full += start;
            from = at;
        }
        full.append(out, from, npos);
        out.swap(full);
    }
    text.swap(out);
    return true;
}

bool StripDrop(std::string& text, const std::string& start, const std::string& end, size_t first,
               const PartialMatcher& s, const PartialMatcher& e, std::string& out) {
    const size_t want = std::max(start.size(), end.size());
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    for (size_t p = first; p != npos; p = text.find(start, i)) {
        const size_t c = text.find(end, p + start.size());
        if (c == npos) break;
        out.append(text, i, p - i);
        const std::string tail = out.substr(out.size() > want ? out.size() - want : 0);
        if (EndsWithAnyPrefix(tail, s, e)) return false;
        i = c + end.size();
    }
    out.append(text, i, npos);
    text.swap(out);
    return true;
}

}  // namespace

bool TextBetween(const std::string& source, const std::string& start, const std::string& end,
                 std::string& out) {
    out.clear();
    const size_t a = source.find(start);
    if (a == npos) return false;
    const size_t from = a + start.size();
    const size_t b = source.find(end, from);
    out = source.substr(from, b == npos ? npos : b - from);
    return !out.empty();
}

void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement) {
    std::string scratch;
    ReplaceAll(text, searched, replacement, scratch);
}

void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement,
                std::string& out) {
    if (searched.empty() || searched == replacement) return;
    const size_t first = text.find(searched);
    if (first == npos) return;
    const size_t n = searched.size();
    out.clear();
    // Room for some growth: a longer replacement would otherwise reallocate the whole text.
    out.reserve(replacement.size() > n ? text.size() + text.size() / 4 : text.size());
    if (replacement.find(searched) != npos) {
        size_t pos = 0;
        for (size_t q = first; q != npos; q = text.find(searched, pos)) {
            out.append(text, pos, q - pos);
            out += replacement;
            pos = q + n;
        }
        out.append(text, pos, npos);
        text.swap(out);
        return;
    }
    // The text is out + pending + text[i..]: `out` holds no occurrence, `pending` is what the
    // last replacement put in. Only an occurrence that starts in the last n-1 bytes of `out`
    // or inside `pending` can have been made by a replacement; everything else is found by
    // searching the untouched input.
    const size_t k = n - 1;
    out.append(text, 0, first);
    size_t i = first + n;
    std::string pending = replacement;
    for (;;) {
        for (;;) {
            const size_t tail = std::min(k, out.size());
            std::string window = out.substr(out.size() - tail);
            window += pending;
            window.append(text, i, k);
            const size_t w = window.find(searched);
            if (w == npos) break;
            const size_t outEnd = out.size();
            const size_t pendEnd = outEnd + pending.size();
            const size_t a = outEnd - tail + w;
            const size_t e = a + n;
            std::string next = replacement;
            if (a < outEnd) {
                out.resize(a);
            } else {
                out.append(pending, 0, a - outEnd);
            }
            if (e <= pendEnd) {
                next.append(pending, e - outEnd, npos);
            } else {
                i += e - pendEnd;
            }
            pending.swap(next);
        }
        out += pending;
        pending.clear();
        const size_t q = text.find(searched, i);
        if (q == npos) break;
        out.append(text, i, q - i);
        i = q + n;
        pending = replacement;
    }
    out.append(text, i, npos);
    text.swap(out);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep) {
    std::string scratch;
    StripBlocks(text, start, end, keep, scratch);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep,
                 std::string& scratch) {
    if (start.empty() || end.empty()) return;
    const size_t first = text.find(start);
    if (first == npos) return;
    PartialMatcher s(start);
    PartialMatcher e(end);
    if (MarkersIndependent(start, end, s, e)) {
        // The one-scan forms give up (and leave the text alone) when a cut could join two
        // pieces into a new marker; the literal form below handles those texts.
        if (keep ? StripKeep(text, start, end, first, s, e, scratch)
                 : StripDrop(text, start, end, first, s, e, scratch)) {
            return;
        }
    }
    plain::StripBlocks(text, start, end, keep);
}

namespace plain {

void ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement) {
    if (searched.empty() || searched == replacement) return;
    if (replacement.find(searched) != npos) {
        size_t pos = 0;
        for (size_t q; (q = text.find(searched, pos)) != npos; pos = q + replacement.size()) {
            text.replace(q, searched.size(), replacement);
        }
        return;
    }
    for (size_t q; (q = text.find(searched)) != npos;)
        text.replace(q, searched.size(), replacement);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep) {
    if (start.empty() || end.empty()) return;
    size_t p = text.find(start);
    while (p != npos) {
        const size_t c = text.find(end, p);
        if (c == npos) return;
        const size_t inner = p + start.size();
        const std::string content = keep && c > inner ? text.substr(inner, c - inner) : "";
        text.replace(p, c + end.size() - p, content);
        p = text.find(start);
    }
}

}  // namespace plain
