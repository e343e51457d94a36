#include "Office/WorkingText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <deque>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Office/HtmlScan.h"
#include "Office/HtmlTree.h"
#include "Office/TextOps.h"

namespace {

const std::string::size_type npos = std::string::npos;
const uint32_t kNone = UINT32_MAX;

bool IsAlpha(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// The name of a tag text: what follows "<" or "</" up to a blank, "/" or ">".
std::string_view TagName(std::string_view tag) {
    size_t i = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
    const size_t from = std::min(i, tag.size());
    while (i < tag.size() && tag[i] != '>' && tag[i] != '/' &&
           !std::isspace(static_cast<unsigned char>(tag[i]))) {
        ++i;
    }
    return tag.substr(from, i - from);
}

}  // namespace

// A tag text that the parser cuts the same way wherever it stands: "<" and a letter (or "</"
// and a letter), no other "<", every quoted value closed, ending at its first unquoted ">".
bool SelfDelimitedTag(std::string_view x) {
    if (x.size() < 3 || x[0] != '<' || x.back() != '>') return false;
    size_t i = 1;
    if (x[1] == '/') ++i;
    if (i >= x.size() || !IsAlpha(x[i])) return false;
    if (x.find('<', 1) != std::string_view::npos) return false;
    // The parser's tag scan: a quote right after "=" (and blanks) runs to its partner.
    while (i < x.size() && x[i] != '>') {
        if (x[i] != '=') {
            ++i;
            continue;
        }
        ++i;
        while (i < x.size() && std::isspace(static_cast<unsigned char>(x[i]))) ++i;
        if (i == x.size()) return false;
        if (x[i] == '"' || x[i] == '\'') {
            const size_t close = x.find(x[i], i + 1);
            if (close == std::string_view::npos) return false;
            i = close + 1;
        }
    }
    return i == x.size() - 1;
}

// The working text as a linked list of the parser's tokens; tag tokens are indexed by text.
// Tokens keep their document order through every edit (a replaced run keeps the number of its
// first token), so "first occurrence" is "lowest live token number".
class TokenText {
  public:
    // Takes the text over (its buffer stays where it is); gives it back when the tag list cannot
    // hold it.
    static std::unique_ptr<TokenText> Create(std::string& text,
                                             const std::vector<std::string>& names) {
        std::unique_ptr<TokenText> t(new TokenText());
        t->names_ = names;
        t->base_.swap(text);
        if (!t->Build()) {
            text.swap(t->base_);
            return nullptr;
        }
        return t;
    }

    // Each operation answers false, changing nothing, when it cannot be done exactly here.
    bool Contains(const std::string& x, bool& found) {
        if (!Indexed(x)) return false;
        found = First(x) != kNone;
        return true;
    }

    bool ReplaceAll(const std::string& x, const std::string& y) {
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

    bool StripBlocks(const std::string& s, const std::string& e) {
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

    bool ElementText(const std::string& open, const std::string& close, bool& found,
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

    // ElementText, when that text holds `needle`; `found` is false otherwise. The watched tokens
    // answer whether it does without reading the element.
    bool ElementTextWith(const std::string& open, const std::string& close,
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

    bool EraseElement(const std::string& open, const std::string& close) {
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

    bool EraseFrom(const std::string& x, size_t length) {
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

    bool ClosesRightAfter(const std::string& open, const std::string& close, bool& result) {
        result = false;
        if (close.empty()) return true;
        if (!Indexed(open) || !Indexed(close)) return false;
        const uint32_t a = First(open);
        if (a == kNone) return true;
        const uint32_t nx = next_[a];
        result = nx != kNone && Text(nx) == close;
        return true;
    }

    void Take(std::string& out) {
        out.clear();
        size_t size = 0;
        for (uint32_t id = head_; id != kNone; id = next_[id]) size += Text(id).size();
        out.reserve(size);
        for (uint32_t id = head_; id != kNone; id = next_[id]) out += Text(id);
    }

  private:
    struct Tok {
        uint32_t offset;
        uint32_t length;
        int32_t override;  // index into overrides_, -1 while the token is the original text
        bool alive;
    };
    struct Entry {
        std::vector<uint32_t> ids;  // original tokens with this text, in order
        size_t cursor = 0;          // ids before it are no longer live with this text
        std::set<uint32_t> added;   // tokens that got this text by an edit
        // Over positions in ids: a position known dead points further on (a union-find
        // forest, path-compressed), so that searches from a token skip each dead one once.
        std::vector<uint32_t> skip;
    };
    // The tokens in which an occurrence of one needle starts (running on into the tokens behind
    // when it must), kept up to date through every edit.
    struct Watched {
        std::string needle;
        std::vector<uint8_t> inside;  // per token: its text holds the needle
        std::set<uint32_t> hot;       // live tokens where an occurrence starts
    };

    TokenText() = default;

    // Cuts the text into tokens straight from the scan (no intermediate token lists).
    bool Build() {
        // A token per piece; tags written inside texts and comments add more as they come.
        toks_.reserve(CountHtmlPieces(base_));
        bool ok = true;
        size_t covered = 0;
        ScanHtml(base_, [&](const HtmlPiece& piece) {
            if (!ok) return;
            if (piece.offset != covered) {
                ok = false;
                return;
            }
            covered += piece.length;
            const HtmlToken tok{piece.offset, piece.length,
                                piece.kind == HtmlPiece::kText      ? HtmlToken::kText
                                : piece.kind == HtmlPiece::kComment ? HtmlToken::kComment
                                                                    : HtmlToken::kTag};
            if (tok.kind == HtmlToken::kTag) {
                ok = NoteInnerTags(tok);
                if (ok) Push(tok);
            } else {
                ok = SplitInnerTags(tok);
            }
        });
        if (!ok || covered != base_.size()) return false;
        const uint32_t n = static_cast<uint32_t>(toks_.size());
        next_.resize(n);
        prev_.resize(n);
        for (uint32_t id = 0; id < n; ++id) {
            next_[id] = id + 1 < n ? id + 1 : kNone;
            prev_[id] = id > 0 ? id - 1 : kNone;
        }
        head_ = n > 0 ? 0 : kNone;
        return true;
    }

    void Push(const HtmlToken& tok) {
        const uint32_t id = static_cast<uint32_t>(toks_.size());
        toks_.push_back(Tok{tok.offset, tok.length, -1, true});
        if (tok.kind == HtmlToken::kTag && Wanted(Text(id))) index_[Text(id)].ids.push_back(id);
    }

    // A text whose every occurrence is a tag token: self-delimited, and not one of the tags
    // written inside a comment or a text.
    bool Indexed(const std::string& x) const {
        return SelfDelimitedTag(x) && Wanted(x) && shadowed_.count(x) == 0;
    }

    // Whether tags of this text's name are indexed (all of them when no names were given).
    bool Wanted(std::string_view tag) const {
        if (names_.empty()) return true;
        const std::string_view name = TagName(tag);
        for (const std::string& n : names_) {
            if (n.size() == name.size() &&
                std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                return true;
            }
        }
        return false;
    }

    // Cuts a text or comment token at the tags written inside it (a comment such as
    // "<!--[if supportFields]><span ...>" holds tags the edits also find), so that every "<"
    // that could start a tag text starts a piece. False when such a tag runs out of the token
    // or a "<" could start one once the piece behind it is removed.
    bool SplitInnerTags(const HtmlToken& tok) {
        const size_t end = tok.offset + tok.length;
        size_t start = tok.offset;
        for (size_t q = base_.find('<', tok.offset); q < end; q = base_.find('<', q + 1)) {
            size_t i = q + 1;
            if (i < end && base_[i] == '/') ++i;
            if (i >= end) return false;
            if (!IsAlpha(base_[i])) continue;
            while (i < end && base_[i] != '>') {
                if (base_[i] == '<') return false;
                if (base_[i] != '=') {
                    ++i;
                    continue;
                }
                ++i;
                while (i < end && std::isspace(static_cast<unsigned char>(base_[i]))) ++i;
                if (i < end && (base_[i] == '"' || base_[i] == '\'')) {
                    const size_t close = base_.find(base_[i], i + 1);
                    if (close >= end || base_.find('<', i) < close) return false;
                    i = close + 1;
                }
            }
            if (i >= end) return false;
            if (q > start && base_[q - 1] == '<') return false;
            if (q > start) {
                Push(HtmlToken{static_cast<uint32_t>(start), static_cast<uint32_t>(q - start),
                               tok.kind});
            }
            Push(HtmlToken{static_cast<uint32_t>(q), static_cast<uint32_t>(i + 1 - q),
                           HtmlToken::kTag});
            start = i + 1;
            q = i;
        }
        if (end > start) {
            Push(HtmlToken{static_cast<uint32_t>(start), static_cast<uint32_t>(end - start),
                           tok.kind});
        }
        return true;
    }

    // Looks at every "<" inside a token that is not a tag's own: a tag text that could start
    // there goes into shadowed_. False when one could start there but runs out of the token,
    // where later edits could change what follows it.
    bool NoteInnerTags(const HtmlToken& tok) {
        const size_t end = tok.offset + tok.length;
        size_t q = tok.offset + (tok.kind == HtmlToken::kTag ? 1 : 0);
        for (; (q = base_.find('<', q)) < end; ++q) {
            size_t i = q + 1;
            if (i < end && base_[i] == '/') ++i;
            if (i >= end) return false;
            if (!IsAlpha(base_[i])) continue;
            bool possible = true;
            while (i < end && base_[i] != '>' && possible) {
                if (base_[i] == '<') {
                    possible = false;
                } else if (base_[i] != '=') {
                    ++i;
                } else {
                    ++i;
                    while (i < end && std::isspace(static_cast<unsigned char>(base_[i]))) ++i;
                    if (i < end && (base_[i] == '"' || base_[i] == '\'')) {
                        const size_t close = base_.find(base_[i], i + 1);
                        if (close >= end) return false;
                        if (base_.find('<', i) < close) possible = false;
                        i = close + 1;
                    }
                }
            }
            if (!possible) continue;
            if (i >= end) return false;
            shadowed_.insert(base_.substr(q, i + 1 - q));
        }
        return true;
    }

    std::string_view Text(uint32_t id) const {
        const Tok& t = toks_[id];
        if (t.override >= 0) return overrides_[t.override];
        return std::string_view(base_).substr(t.offset, t.length);
    }

    bool Live(uint32_t id, const std::string& x) const { return toks_[id].alive && Text(id) == x; }

    void Kill(uint32_t id) {
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
            watch_->hot.erase(id);
            if (p != kNone) {
                UpdateHot(p);
                UpdateHotBefore(p);
            }
        }
    }

    void SetText(uint32_t id, const std::string& y) {
        overrides_.push_back(y);
        toks_[id].override = static_cast<int32_t>(overrides_.size() - 1);
        index_[std::string_view(overrides_.back())].added.insert(id);
        if (watch_) {
            watch_->inside[id] = y.find(watch_->needle) != npos;
            UpdateHot(id);
            UpdateHotBefore(id);
        }
    }

    uint32_t First(const std::string& x) {
        auto it = index_.find(x);
        if (it == index_.end()) return kNone;
        Entry& e = it->second;
        while (e.cursor < e.ids.size() && !Live(e.ids[e.cursor], x)) ++e.cursor;
        while (!e.added.empty() && !Live(*e.added.begin(), x)) e.added.erase(e.added.begin());
        uint32_t best = e.cursor < e.ids.size() ? e.ids[e.cursor] : kNone;
        if (!e.added.empty()) best = std::min(best, *e.added.begin());
        return best;
    }

    // The first live token with text x whose number is above `after`.
    uint32_t FirstAfter(const std::string& x, uint32_t after) {
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
        for (auto p = e.added.upper_bound(after); p != e.added.end() && *p < best;) {
            if (Live(*p, x)) {
                best = *p;
                break;
            }
            p = e.added.erase(p);  // a token gets this text again only through SetText
        }
        return best;
    }

    static size_t SkipDead(std::vector<uint32_t>& skip, size_t k) {
        size_t root = k;
        while (skip[root] != root) root = skip[root];
        while (skip[k] != root) {
            const size_t up = skip[k];
            skip[k] = static_cast<uint32_t>(root);
            k = up;
        }
        return root;
    }

    void Watch(const std::string& needle) {
        watch_.reset(new Watched());
        watch_->needle = needle;
        watch_->inside.resize(toks_.size());
        for (uint32_t id = head_; id != kNone; id = next_[id]) {
            watch_->inside[id] = Text(id).find(needle) != npos;
        }
        for (uint32_t id = head_; id != kNone; id = next_[id]) UpdateHot(id);
    }

    // Whether an occurrence of the watched needle starts in this token: inside it, or in its
    // last bytes running on into the live tokens behind it.
    void UpdateHot(uint32_t id) {
        Watched& w = *watch_;
        bool hot = toks_[id].alive && w.inside[id];
        if (toks_[id].alive && !hot) {
            const size_t m = w.needle.size();
            const std::string_view text = Text(id);
            const std::string_view tail =
                text.substr(text.size() > m - 1 ? text.size() - (m - 1) : 0);
            if (tail.find(w.needle[0]) != npos) {
                std::string window(tail);
                for (uint32_t t = next_[id]; t != kNone && window.size() < tail.size() + m - 1;
                     t = next_[t]) {
                    window += Text(t).substr(0, tail.size() + m - 1 - window.size());
                }
                hot = window.find(w.needle) < tail.size();
            }
        }
        if (hot) {
            w.hot.insert(id);
        } else {
            w.hot.erase(id);
        }
    }

    // After an edit at `id`: the tokens before it whose last bytes may run on into it.
    void UpdateHotBefore(uint32_t id) {
        if (!watch_) return;
        const size_t reach = watch_->needle.size() - 1;
        size_t passed = 0;
        for (uint32_t t = prev_[id]; t != kNone && passed < reach; t = prev_[t]) {
            if (!toks_[t].alive) continue;
            UpdateHot(t);
            passed += Text(t).size();
        }
    }

    // Every live token with text x, in order.
    std::vector<uint32_t> All(const std::string& x) {
        std::vector<uint32_t> out;
        auto it = index_.find(x);
        if (it == index_.end()) return out;
        const Entry& e = it->second;
        for (size_t k = e.cursor; k < e.ids.size(); ++k) {
            if (Live(e.ids[k], x)) out.push_back(e.ids[k]);
        }
        const size_t mid = out.size();
        for (uint32_t id : e.added) {
            if (Live(id, x)) out.push_back(id);
        }
        std::inplace_merge(out.begin(), out.begin() + mid, out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    bool Element(const std::string& open, const std::string& close, bool& found, uint32_t& a,
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

    // Splits a text into its tags; false unless it is nothing but self-delimited tags and text
    // without "<", starting with a tag.
    static bool SplitTags(const std::string& x, std::vector<std::string>& tags) {
        // Only the first tag (where every occurrence starts) and the last one (where it ends)
        // matter; what lies between is compared byte by byte.
        std::vector<HtmlToken> tokens = TokenizeHtml(x);
        if (tokens.empty() || tokens[0].kind != HtmlToken::kTag) return false;
        for (const HtmlToken& tok : tokens) {
            if (tok.kind == HtmlToken::kTag) tags.push_back(x.substr(tok.offset, tok.length));
        }
        const size_t last = x.rfind('<');
        return SelfDelimitedTag(tags.front()) && SelfDelimitedTag(x.substr(last)) &&
               tokens.back().kind == HtmlToken::kTag && tokens.back().offset == last;
    }

    // Whether the live tokens from `id` on spell exactly x; `run` gets them.
    bool RunEquals(uint32_t id, const std::string& x, std::vector<uint32_t>& run) const {
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

    // Removes every `open` directly followed by `close`; a removal that brings another such
    // pair together removes that one too.
    bool RemovePairs(const std::string& open, const std::string& close) {
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

    std::string base_;
    std::vector<Tok> toks_;
    std::vector<uint32_t> next_;
    std::vector<uint32_t> prev_;
    uint32_t head_ = kNone;
    std::deque<std::string> overrides_;  // a deque: the index keeps views of its texts
    // Keys view base_ or overrides_.
    std::unordered_map<std::string_view, Entry> index_;
    std::set<std::string> shadowed_;
    std::unique_ptr<Watched> watch_;
    std::vector<std::string> names_;  // the tag names indexed; empty: all
};

WorkingText::WorkingText(std::string text, bool literal, const std::vector<std::string>& names)
    : literal_(literal), names_(names) {
    if (!literal) tokens_ = TokenText::Create(text, names);
    if (!tokens_) text_.swap(text);
}

WorkingText::~WorkingText() = default;

void WorkingText::ToPlain() {
    tokens_->Take(text_);
    tokens_.reset();
}

void WorkingText::Plain() {
    if (tokens_) ToPlain();
    ++plainEdits_;
}

void WorkingText::Retokenize() {
    if (tokens_ || literal_ || !retokenize_ || plainEdits_ < kPlainEditsBeforeRetokenize) return;
    plainEdits_ = 0;
    tokens_ = TokenText::Create(text_, names_);
    if (tokens_) {
        text_.clear();
    } else {
        retokenize_ = false;  // the text stays one the tag list cannot hold
    }
}

bool WorkingText::Contains(const std::string& x) {
    Retokenize();
    bool found = false;
    if (tokens_ && tokens_->Contains(x, found)) return found;
    Plain();
    return text_.find(x) != npos;
}

void WorkingText::ReplaceAll(const std::string& x, const std::string& y) {
    Retokenize();
    if (tokens_ && tokens_->ReplaceAll(x, y)) return;
    Plain();
    if (literal_) {
        plain::ReplaceAll(text_, x, y);
    } else {
        ::ReplaceAll(text_, x, y);
    }
}

void WorkingText::StripBlocks(const std::string& start, const std::string& end) {
    Retokenize();
    if (tokens_ && tokens_->StripBlocks(start, end)) return;
    Plain();
    if (literal_) {
        plain::StripBlocks(text_, start, end, true);
    } else {
        ::StripBlocks(text_, start, end, true);
    }
}

bool WorkingText::ElementText(const std::string& open, const std::string& close,
                              std::string& text) {
    Retokenize();
    bool found = false;
    if (tokens_ && tokens_->ElementText(open, close, found, text)) return found;
    Plain();
    text.clear();
    const size_t a = text_.find(open);
    if (a == npos) return false;
    if (close.empty()) return true;
    const size_t c = text_.find(close, a);
    if (c == npos) return false;
    text = text_.substr(a, c + close.size() - a);
    return true;
}

bool WorkingText::ElementTextWith(const std::string& open, const std::string& close,
                                  const std::string& needle, std::string& text) {
    Retokenize();
    bool found = false;
    if (tokens_ && tokens_->ElementTextWith(open, close, needle, found, text)) return found;
    if (!ElementText(open, close, text)) return false;
    if (text.find(needle) != npos) return true;
    text.clear();
    return false;
}

void WorkingText::EraseElement(const std::string& open, const std::string& close) {
    Retokenize();
    if (tokens_ && tokens_->EraseElement(open, close)) return;
    Plain();
    const size_t a = text_.find(open);
    if (a == npos || close.empty()) return;
    const size_t c = text_.find(close, a);
    if (c == npos) return;
    text_.erase(a, c + close.size() - a);
}

void WorkingText::EraseFrom(const std::string& x, size_t length) {
    Retokenize();
    if (tokens_ && tokens_->EraseFrom(x, length)) return;
    Plain();
    const size_t a = text_.find(x);
    if (a != npos) text_.erase(a, length);
}

bool WorkingText::ClosesRightAfter(const std::string& open, const std::string& close) {
    Retokenize();
    bool result = false;
    if (tokens_ && tokens_->ClosesRightAfter(open, close, result)) return result;
    Plain();
    if (close.empty()) return false;
    const size_t a = text_.find(open);
    if (a == npos) return false;
    return text_.find(close, a) == a + open.size();
}

void WorkingText::Take(std::string& out) {
    if (tokens_) {
        tokens_->Take(out);
        tokens_.reset();
    } else {
        out.swap(text_);
    }
}
