#include "Office/HtmlTree.h"

#include "Office/HtmlScan.h"
#include "platform/kernel/LargeBuffer.h"

#include <cctype>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace {

using htmlcxx::HTML::Node;

// What both walkers over the scanned pieces need: the input, and tag names lower-cased
// into one reused buffer.
class PieceWalker {
  protected:
    explicit PieceWalker(const std::string& html) : html_(html) {}

    void Lower(std::string_view name) {
        lower_.assign(name.data(), name.size());
        for (char& c : lower_) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
    }

    std::string_view View(size_t offset, size_t length) const {
        return std::string_view(html_).substr(offset, length);
    }

    const std::string& html_;
    std::string lower_;  // the name looked up last, lower-cased
};

// Builds the tree from the scan: each open element is found by name through an index, and
// the children of the elements it leaves open are re-linked once.
class TreeBuilder : PieceWalker {
    using Packed = HtmlNodeList::Packed;

  public:
    TreeBuilder(HtmlTree& tree, const std::string& html, bool elementsOnly)
        : PieceWalker(html), tree_(tree), elementsOnly_(elementsOnly) {
        // A node per piece and the root: reserving that many spares the copies of a growing
        // vector, and reserves nothing for markup that is not there. (The bound would reserve
        // several times the nodes of a Word text, whose VML sits in comments, and a huge page
        // is resident as a whole once touched.) The elements alone are a node per "<" and
        // letter, nearly exactly, once the VML comments are opened.
        const size_t nodes = (elementsOnly ? HtmlTagsBound(html) : CountHtmlPieces(html)) + 1;
        tree_.nodes.base = html;
        platform::ReserveLarge(tree_.nodes.packed, nodes);
        platform::ReserveLarge(tree_.parent, nodes);
        Packed root{};
        root.flags = Packed::kTag;
        tree_.nodes.packed.push_back(root);
        tree_.parent.push_back(-1);
        stack_.assign(1, 0);
        stackDepths_.assign(1, nullptr);
        childStart_.assign(1, 0);
    }

    void operator()(const HtmlPiece& piece) {
        Packed node{};
        node.offset = piece.offset;
        node.length = piece.length;
        switch (piece.kind) {
            case HtmlPiece::kText:
                if (!elementsOnly_) Append(node);
                return;
            case HtmlPiece::kComment:
                if (elementsOnly_) return;
                node.flags = Packed::kComment;
                node.textLength = piece.length;
                Append(node);
                return;
            case HtmlPiece::kTag: {
                node.flags = Packed::kTag;
                node.textLength = piece.length;
                node.nameLength = piece.nameLength;
                Lower(View(piece.offset + 1, piece.nameLength));
                const int id = Append(node);
                std::vector<size_t>& depths = byName_[lower_];
                depths.push_back(stack_.size());
                stack_.push_back(id);
                stackDepths_.push_back(&depths);
                childStart_.push_back(children_.size());
                return;
            }
            case HtmlPiece::kEndTag:
                Close(piece);
                return;
        }
    }

    void Finish(size_t size) { tree_.nodes.packed[0].length = static_cast<uint32_t>(size); }

  private:
    void Close(const HtmlPiece& piece) {
        Lower(View(piece.offset + 2, piece.nameLength));
        auto found = byName_.find(lower_);
        if (found == byName_.end() || found->second.empty()) {
            if (elementsOnly_) return;
            // An end tag that closes nothing stays as a comment that keeps its name.
            Packed node{};
            node.offset = piece.offset;
            node.length = piece.length;
            node.flags = Packed::kComment | Packed::kNameAfterSlash;
            node.textLength = piece.length;
            node.nameLength = piece.nameLength;
            Append(node);
            return;
        }
        const size_t depth = found->second.back();
        const int match = stack_[depth];
        Packed& open = tree_.nodes.packed[match];
        open.length = piece.offset + piece.length - open.offset;
        open.closeAt = piece.offset;
        open.closeLength = piece.length;
        // Elements left open inside the closed one give their children to it.
        // The children of the open elements are kept in one list, deepest last.
        if (depth + 1 < childStart_.size()) {
            for (size_t k = childStart_[depth + 1]; k < children_.size(); ++k) {
                tree_.parent[children_[k]] = match;
            }
        }
        children_.resize(childStart_[depth]);
        while (stack_.size() > depth) {
            stackDepths_.back()->pop_back();
            stack_.pop_back();
            stackDepths_.pop_back();
            childStart_.pop_back();
        }
    }

    int Append(const Packed& node) {
        const int id = static_cast<int>(tree_.nodes.packed.size());
        const int parent = stack_.back();
        tree_.nodes.packed.push_back(node);
        tree_.parent.push_back(parent);
        children_.push_back(id);
        return id;
    }

    HtmlTree& tree_;
    const bool elementsOnly_;                        // no text or comment nodes
    std::vector<int> stack_;                         // open elements, root first
    std::vector<std::vector<size_t>*> stackDepths_;  // the byName_ entry of each open element
    std::vector<int> children_;       // children of the open elements, element by element
    std::vector<size_t> childStart_;  // where each open element's children start in children_
    std::unordered_map<std::string, std::vector<size_t>> byName_;  // name -> depths in stack_
};

// Follows the open elements as TreeBuilder does (an end tag closes the nearest open element
// of its name and everything opened inside it), keeping only the elements of one name.
class ElementFinder : PieceWalker {
  public:
    ElementFinder(const std::string& html, std::string_view name, HtmlElements& out)
        : PieceWalker(html), name_(name), out_(out) {
        Lower(name);
        target_ = lower_;
    }

    void operator()(const HtmlPiece& piece) {
        if (piece.kind != HtmlPiece::kTag && piece.kind != HtmlPiece::kEndTag) return;
        ++out_.tags;
        const bool end = piece.kind == HtmlPiece::kEndTag;
        const size_t nameAt = piece.offset + (end ? 2 : 1);
        if (piece.nameLength == 0 || nameAt > html_.size() ||
            !std::isalpha(static_cast<unsigned char>(html_[nameAt]))) {
            out_.tagsStartTagLike = false;
        }
        const std::string_view name = View(nameAt, piece.nameLength);
        const std::string_view text = View(piece.offset, piece.length);
        Lower(name);
        if (!end) {
            std::vector<size_t>& depths = byName_[lower_];
            depths.push_back(stack_.size());
            stackDepths_.push_back(&depths);
            if (name == name_) {
                stack_.push_back(static_cast<int>(out_.elements.size()));
                out_.elements.push_back(HtmlElements::Element{text, {}, piece.offset});
            } else {
                stack_.push_back(-1);
            }
            return;
        }
        if (lower_ == target_) out_.ends.push_back(text);
        auto found = byName_.find(lower_);
        if (found == byName_.end() || found->second.empty()) return;
        const size_t depth = found->second.back();
        if (stack_[depth] >= 0) out_.elements[stack_[depth]].closingText = text;
        while (stack_.size() > depth) {
            stackDepths_.back()->pop_back();
            stack_.pop_back();
            stackDepths_.pop_back();
        }
    }

  private:
    const std::string_view name_;
    HtmlElements& out_;
    std::vector<int> stack_;  // open elements: index into out_.elements, -1 for other names
    std::vector<std::vector<size_t>*> stackDepths_;
    std::unordered_map<std::string, std::vector<size_t>> byName_;
    std::string target_;
};

}  // namespace

HtmlElements FindHtmlElements(const std::string& html, std::string_view name) {
    HtmlElements out;
    ElementFinder finder(html, name, out);
    ScanHtml(html, finder);
    return out;
}

htmlcxx::HTML::Node HtmlNode::Parsed(bool attributes) const {
    Node node;
    node.text(std::string(text));
    node.tagName(std::string(tagName));
    node.closingText(std::string(closingText));
    node.offset(offset);
    node.length(length);
    node.isTag(isTag);
    node.isComment(isComment);
    if (attributes) node.parseAttributes();
    return node;
}

namespace {

HtmlTree BuildTreeOf(const std::string& html, bool elementsOnly) {
    HtmlTree tree;
    TreeBuilder builder(tree, html, elementsOnly);
    ScanHtml(html, builder);
    builder.Finish(html.size());
    return tree;
}

}  // namespace

HtmlTree BuildHtmlTree(const std::string& html) {
    return BuildTreeOf(html, false);
}

HtmlTree BuildHtmlElementTree(const std::string& html) {
    return BuildTreeOf(html, true);
}

HtmlTree ElementsOf(const HtmlTree& tree) {
    HtmlTree out;
    out.nodes.base = tree.nodes.base;
    out.store = tree.store;
    std::vector<int> kept(tree.nodes.size(), -1);
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        if (i != 0 && !tree.nodes[i].isTag) continue;
        kept[i] = static_cast<int>(out.parent.size());
        out.parent.push_back(tree.parent[i] >= 0 ? kept[tree.parent[i]] : -1);
        if (tree.nodes.full.empty()) {
            out.nodes.packed.push_back(tree.nodes.packed[i]);
        } else {
            out.nodes.full.push_back(tree.nodes.full[i]);
        }
    }
    return out;
}

std::vector<HtmlToken> TokenizeHtml(const std::string& html) {
    std::vector<HtmlToken> tokens;
    platform::ReserveLarge(tokens, HtmlPiecesBound(html));
    ScanHtml(html, [&tokens](const HtmlPiece& piece) {
        const HtmlToken::Kind kind = piece.kind == HtmlPiece::kText      ? HtmlToken::kText
                                     : piece.kind == HtmlPiece::kComment ? HtmlToken::kComment
                                                                         : HtmlToken::kTag;
        tokens.push_back(HtmlToken{piece.offset, piece.length, kind});
    });
    return tokens;
}
