#include "Office/WorkingText.h"

#include "Office/TextOps.h"
#include "Office/TokenText.h"

namespace {

const std::string::size_type npos = std::string::npos;

}  // namespace

WorkingText::WorkingText(std::string text, const std::vector<std::string>& names) : names_(names) {
    tokens_ = TokenText::Create(text, names);
    if (!tokens_) text_.swap(text);
}

WorkingText::WorkingText(Over original, const std::vector<std::string>& names) : names_(names) {
    tokens_ = TokenText::CreateOver(original.text, names);
    if (!tokens_) text_.assign(original.text.data(), original.text.size());
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
    if (tokens_ || !retokenize_ || plainEdits_ < kPlainEditsBeforeRetokenize) return;
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
    ::ReplaceAll(text_, x, y);
}

void WorkingText::StripBlocks(const std::string& start, const std::string& end) {
    Retokenize();
    if (tokens_ && tokens_->StripBlocks(start, end)) return;
    Plain();
    ::StripBlocks(text_, start, end, true);
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

void WorkingText::TakeOver(std::string& holder) {
    if (tokens_ && tokens_->TakeInPlace(holder)) {
        tokens_.reset();
        return;
    }
    TagPassText::TakeOver(holder);
}

void WorkingText::Take(std::string& out) {
    if (tokens_) {
        tokens_->Take(out);
        tokens_.reset();
    } else {
        out.swap(text_);
    }
}
