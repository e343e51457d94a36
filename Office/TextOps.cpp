#include "Office/TextOps.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

#include "platform/kernel/LargeBuffer.h"

namespace {

const std::string::size_type npos = std::string::npos;

// How often a byte stands in Word's HTML, roughly: 3 for markup, 2 for lower-case and UTF-8
// text, 1 for capitals, digits and some signs, 0 for brackets and the like.
int Commonness(unsigned char c) {
    if (c >= 0x80 || (c >= 'a' && c <= 'z')) return 2;
    switch (c) {
        case ' ':
        case '<':
        case '>':
        case '=':
        case '"':
        case '/':
        case '\r':
        case '\n':
        case '\t':
            return 3;
        case '-':
        case '.':
        case ';':
        case '\'':
        case '&':
            return 2;
        default:
            break;
    }
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return 1;
    return c == ':' || c == '_' || c == '#' || c == '%' || c == '(' || c == ')' || c == ',' ? 1 : 0;
}

// string::find looks at every place the needle's first byte occurs, and the markers all begin
// with "<", the commonest byte of HTML (a text of mostly "<" is read once per byte for each
// marker). This search lets memchr find the places of the needle's rarest byte instead ("M" of
// "<p class=MsoNormal>", "[" of "<![endif]-->") and compares only there. Each place costs a
// comparison that fails at its first differing byte, so a text full of that byte is still read
// in linear time; and memchr, unlike memmem, reads no further than it finds, which keeps the
// sanitizer builds' range checks linear too.
size_t Find(const std::string& text, const std::string& needle, size_t from = 0) {
    if (from > text.size()) return npos;
    if (needle.empty()) return from;
    // A short text (a tag) is read faster byte by byte.
    if (text.size() - from < 256) return text.find(needle, from);
    const size_t m = needle.size();
    if (m > text.size() - from) return npos;
    size_t pivot = 0;
    for (size_t i = 1; i < m; ++i) {
        if (Commonness(static_cast<unsigned char>(needle[i])) <
            Commonness(static_cast<unsigned char>(needle[pivot]))) {
            pivot = i;
        }
    }
    const char* const data = text.data();
    const size_t last = text.size() - m + pivot;  // the pivot byte of the last possible match
    for (size_t at = from + pivot; at <= last;) {
        const void* hit = std::memchr(data + at, needle[pivot], last + 1 - at);
        if (!hit) return npos;
        const size_t p = static_cast<size_t>(static_cast<const char*>(hit) - data);
        if (std::memcmp(data + p - pivot, needle.data(), m) == 0) return p - pivot;
        at = p + 1;
    }
    return npos;
}

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

void VirtualTail(std::string_view out, const std::deque<size_t>& pending, const std::string& start,
                 size_t want, std::string& rev) {
    rev.clear();
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
}

// The last `want` bytes of the text written so far, buf[0..w).
std::string_view Tail(const char* buf, size_t w, size_t want) {
    return std::string_view(buf + (w > want ? w - want : 0), std::min(w, want));
}

bool EndsWithAnyPrefix(std::string_view tail, const PartialMatcher& s, const PartialMatcher& e) {
    return s.EndsWithPrefix(tail.data(), tail.size()) || e.EndsWithPrefix(tail.data(), tail.size());
}

// A marker removed from the text being compacted: where it was cut out of the written text.
struct Cut {
    size_t at;
    bool start;
};

// Puts the removed markers back, giving the text as it was before: the written text buf[0..w)
// with the markers re-inserted fills exactly buf[0..i), which the compaction has not reached.
void UndoCuts(char* buf, size_t w, size_t i, const std::vector<Cut>& cuts, const std::string& start,
              const std::string& end) {
    size_t dst = i;
    size_t from = w;
    for (size_t k = cuts.size(); k-- > 0;) {
        const size_t len = from - cuts[k].at;
        dst -= len;
        std::memmove(buf + dst, buf + cuts[k].at, len);
        const std::string& marker = cuts[k].start ? start : end;
        dst -= marker.size();
        std::memcpy(buf + dst, marker.data(), marker.size());
        from = cuts[k].at;
    }
}

// Keeps the content: only markers are removed, so the text is compacted in place (the write
// position never passes the read position). A cut that could join two pieces into a new marker
// puts every removed marker back and answers false.
bool StripKeep(std::string& text, const std::string& start, const std::string& end, size_t first,
               const PartialMatcher& s, const PartialMatcher& e) {
    const size_t want = std::max(start.size(), end.size());
    const size_t size = text.size();
    char* buf = &text[0];
    std::deque<size_t> pending;  // write positions of start markers still waiting for an end
    std::vector<Cut> cuts;       // every marker removed so far, in order
    size_t w = 0;                // buf[0..w) is the text written so far
    size_t i = 0;                // buf[i..] is the text not yet read
    size_t ns = first;
    size_t ne = Find(text, end, first);
    std::string virtualTail;
    for (;;) {
        if (ns == npos && (ne == npos || pending.empty())) break;
        const bool isStart = ns != npos && (ne == npos || ns < ne);
        const size_t m = isStart ? ns : ne;
        std::memmove(buf + w, buf + i, m - i);
        w += m - i;
        i = m;
        if (isStart) {
            if (EndsWithAnyPrefix(Tail(buf, w, want), s, e)) {
                UndoCuts(buf, w, i, cuts, start, end);
                return false;
            }
            pending.push_back(w);
            cuts.push_back(Cut{w, true});
            i = m + start.size();
            ns = Find(text, start, i);
        } else {
            if (pending.empty()) {
                std::memmove(buf + w, buf + m, end.size());
                w += end.size();
            } else {
                VirtualTail(std::string_view(buf, w), pending, start, want, virtualTail);
                if (EndsWithAnyPrefix(virtualTail, s, e)) {
                    UndoCuts(buf, w, i, cuts, start, end);
                    return false;
                }
                pending.pop_front();
                cuts.push_back(Cut{w, false});
            }
            i = m + end.size();
            ne = Find(text, end, i);
        }
    }
    std::memmove(buf + w, buf + i, size - i);
    w += size - i;
    if (!pending.empty()) {
        // Start markers without an end stay where they were: expand from the back (the text
        // still fits, those markers came out of it).
        size_t dst = w + pending.size() * start.size();
        size_t from = w;
        for (size_t k = pending.size(); k-- > 0;) {
            const size_t len = from - pending[k];
            dst -= len;
            std::memmove(buf + dst, buf + pending[k], len);
            dst -= start.size();
            std::memcpy(buf + dst, start.data(), start.size());
            from = pending[k];
        }
        w += pending.size() * start.size();
    }
    text.resize(w);
    return true;
}

// The last `want` bytes of the pieces kept so far (empty pieces are never listed).
void KeptTail(const std::string& text, const std::vector<std::pair<size_t, size_t>>& kept,
              size_t want, std::string& tail) {
    tail.clear();
    for (size_t k = kept.size(); k-- > 0 && tail.size() < want;) {
        const size_t len = std::min(want - tail.size(), kept[k].second - kept[k].first);
        tail.insert(0, text, kept[k].second - len, len);
    }
}

// Drops the content: the pieces to keep are listed and checked first, so that a text whose
// cuts could join into a new marker is left untouched; then the text is compacted in place.
bool StripDrop(std::string& text, const std::string& start, const std::string& end, size_t first,
               const PartialMatcher& s, const PartialMatcher& e) {
    const size_t want = std::max(start.size(), end.size());
    std::vector<std::pair<size_t, size_t>> kept;
    std::string tail;
    size_t i = 0;
    for (size_t p = first; p != npos; p = Find(text, start, i)) {
        const size_t c = Find(text, end, p + start.size());
        if (c == npos) break;
        if (p > i) kept.emplace_back(i, p);
        KeptTail(text, kept, want, tail);
        if (EndsWithAnyPrefix(tail, s, e)) return false;
        i = c + end.size();
    }
    if (i < text.size()) kept.emplace_back(i, text.size());
    char* buf = &text[0];
    size_t w = 0;
    for (const auto& piece : kept) {
        std::memmove(buf + w, buf + piece.first, piece.second - piece.first);
        w += piece.second - piece.first;
    }
    text.resize(w);
    return true;
}

// Replaces every occurrence by a replacement no longer than the searched text, in place: the
// written text never grows past the read position. Same rules as the copying form below.
void ReplaceShrinking(std::string& text, const std::string& searched,
                      const std::string& replacement, size_t first, size_t left) {
    const size_t n = searched.size();
    const size_t k = n - 1;
    const size_t size = text.size();
    char* buf = &text[0];
    // The text is buf[0..w) + pending + buf[i..size): buf[0..w) holds no occurrence, `pending` is
    // what the last replacement put in; w + pending.size() <= i throughout.
    size_t w = first;
    size_t i = first + n;
    std::string pending = replacement;
    std::string window;
    std::string next;
    --left;
    for (;;) {
        for (; left > 0; --left) {
            const size_t tail = std::min(k, w);
            window.assign(buf + w - tail, tail);
            window += pending;
            window.append(buf + i, std::min(k, size - i));
            const size_t f = window.find(searched);
            if (f == npos) break;
            const size_t outEnd = w;
            const size_t pendEnd = outEnd + pending.size();
            const size_t a = outEnd - tail + f;
            const size_t e = a + n;
            next = replacement;
            if (a < outEnd) {
                w = a;
            } else {
                std::memcpy(buf + w, pending.data(), a - outEnd);
                w += a - outEnd;
            }
            if (e <= pendEnd) {
                next.append(pending, e - outEnd, npos);
            } else {
                i += e - pendEnd;
            }
            pending.swap(next);
        }
        std::memcpy(buf + w, pending.data(), pending.size());
        w += pending.size();
        pending.clear();
        if (left == 0) break;
        const size_t q = Find(text, searched, i);
        if (q == npos) break;
        std::memmove(buf + w, buf + i, q - i);
        w += q - i;
        i = q + n;
        pending = replacement;
        --left;
    }
    std::memmove(buf + w, buf + i, size - i);
    text.resize(w + size - i);
}

// Every pair found by searching again from the beginning after each removal: what the
// one-scan forms hand over when a cut could join two pieces into a new marker.
void StripBlocksRescanning(std::string& text, const std::string& start, const std::string& end,
                           bool keep) {
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

// The text from behind the `start` found at `a` up to the first `end` behind it.
bool TextBehind(const std::string& source, size_t a, const std::string& start,
                const std::string& end, std::string& out) {
    out.clear();
    if (a == npos) return false;
    const size_t from = a + start.size();
    const size_t b = source.find(end, from);
    out.assign(source, from, b == npos ? npos : b - from);
    return !out.empty();
}

// Replaces as ReplaceAll does, stopping after `left` replacements.
bool ReplaceUpTo(std::string& text, const std::string& searched, const std::string& replacement,
                 std::string& out, size_t left) {
    if (searched.empty() || searched == replacement) return false;
    const size_t first = Find(text, searched);
    if (first == npos) return false;
    const size_t n = searched.size();
    if (replacement.size() <= n) {
        ReplaceShrinking(text, searched, replacement, first, left);
        return true;
    }
    out.clear();
    // Room for some growth: a longer replacement would otherwise reallocate the whole text.
    platform::ReserveLarge(out, text.size() + text.size() / 4, text.size());
    if (replacement.find(searched) != npos) {
        size_t pos = 0;
        for (size_t q = first; q != npos; q = Find(text, searched, pos)) {
            out.append(text, pos, q - pos);
            out += replacement;
            pos = q + n;
        }
        out.append(text, pos, npos);
        text.swap(out);
        return true;
    }
    // The text is out + pending + text[i..]: `out` holds no occurrence, `pending` is what the
    // last replacement put in. Only an occurrence that starts in the last n-1 bytes of `out`
    // or inside `pending` can have been made by a replacement; everything else is found by
    // searching the untouched input.
    const size_t k = n - 1;
    out.append(text, 0, first);
    size_t i = first + n;
    std::string pending = replacement;
    std::string window;
    std::string next;
    --left;
    for (;;) {
        for (; left > 0; --left) {
            const size_t tail = std::min(k, out.size());
            window.assign(out, out.size() - tail, tail);
            window += pending;
            window.append(text, i, k);
            const size_t w = window.find(searched);
            if (w == npos) break;
            const size_t outEnd = out.size();
            const size_t pendEnd = outEnd + pending.size();
            const size_t a = outEnd - tail + w;
            const size_t e = a + n;
            next = replacement;
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
        if (left == 0) break;
        const size_t q = Find(text, searched, i);
        if (q == npos) break;
        out.append(text, i, q - i);
        i = q + n;
        pending = replacement;
        --left;
    }
    out.append(text, i, npos);
    text.swap(out);
    return true;
}

}  // namespace

bool TextBetween(const std::string& source, const std::string& start, const std::string& end,
                 std::string& out) {
    return TextBehind(source, source.find(start), start, end, out);
}

bool TextBetweenLast(const std::string& source, const std::string& start, const std::string& end,
                     std::string& out) {
    return TextBehind(source, source.rfind(start), start, end, out);
}

bool ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement) {
    std::string scratch;
    return ReplaceAll(text, searched, replacement, scratch);
}

bool ReplaceAll(std::string& text, const std::string& searched, const std::string& replacement,
                std::string& scratch) {
    return ReplaceUpTo(text, searched, replacement, scratch, SIZE_MAX);
}

bool ReplaceAllBounded(std::string& text, const std::string& searched,
                       const std::string& replacement) {
    std::string scratch;
    return ReplaceUpTo(text, searched, replacement, scratch,
                       2 * (text.size() + replacement.size()) + 1024);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep) {
    std::string scratch;
    StripBlocks(text, start, end, keep, scratch);
}

void StripBlocks(std::string& text, const std::string& start, const std::string& end, bool keep,
                 std::string& /*scratch*/) {
    if (start.empty() || end.empty()) return;
    const size_t first = Find(text, start);
    if (first == npos) return;
    PartialMatcher s(start);
    PartialMatcher e(end);
    if (MarkersIndependent(start, end, s, e)) {
        // The one-scan forms give up (and leave the text alone) when a cut could join two
        // pieces into a new marker; the rescanning form handles those texts.
        if (keep ? StripKeep(text, start, end, first, s, e)
                 : StripDrop(text, start, end, first, s, e)) {
            return;
        }
    }
    StripBlocksRescanning(text, start, end, keep);
}
