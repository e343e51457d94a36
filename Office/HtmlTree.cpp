#include "Office/HtmlTree.h"

#include <htmlcxx/html/ParserDom.h>
#include <htmlcxx/html/ParserSax.h>

#include <unordered_map>
#include <utility>

namespace {

using htmlcxx::HTML::Node;

// The parser hands every node over by value; its strings are moved out rather than copied.
struct NodeFields : Node {
    static constexpr std::string Node::*kText = &NodeFields::mText;
    static constexpr std::string Node::*kTagName = &NodeFields::mTagName;
};

HtmlNode FromNode(Node& node, bool keepText) {
    HtmlNode out;
    out.offset = node.offset();
    out.length = node.length();
    out.isTag = node.isTag();
    out.isComment = node.isComment();
    if (out.isTag || node.tagName() != node.text())
        out.tagName = std::move(node.*NodeFields::kTagName);
    if (keepText) out.text = std::move(node.*NodeFields::kText);
    out.closingText = node.closingText();
    return out;
}

std::string AsciiLower(const std::string& s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

class TreeBuilder : public htmlcxx::HTML::ParserSax {
  public:
    explicit TreeBuilder(HtmlTree& tree) : tree_(tree) {}

  protected:
    void beginParsing() override {
        tree_.nodes.clear();
        tree_.nodes.reserve(1024);
        tree_.parent.clear();
        HtmlNode root;
        root.isTag = true;
        tree_.nodes.push_back(root);
        tree_.parent.push_back(-1);
        stack_.assign(1, 0);
        stackNames_.assign(1, std::string());
        children_.assign(1, std::vector<int>());
        byName_.clear();
    }

    void foundText(Node node) override { Append(FromNode(node, false)); }
    void foundComment(Node node) override { Append(FromNode(node, true)); }

    void foundTag(Node node, bool isEnd) override {
        if (!isEnd) {
            const int id = Append(FromNode(node, true));
            std::string name = AsciiLower(tree_.nodes[id].tagName);
            byName_[name].push_back(stack_.size());
            stack_.push_back(id);
            stackNames_.push_back(std::move(name));
            children_.emplace_back();
            return;
        }
        auto found = byName_.find(AsciiLower(node.tagName()));
        if (found == byName_.end() || found->second.empty()) {
            node.isTag(false);
            node.isComment(true);
            Append(FromNode(node, true));
            return;
        }
        const size_t depth = found->second.back();
        const int match = stack_[depth];
        HtmlNode& open = tree_.nodes[match];
        open.length = static_cast<uint32_t>(node.offset() + node.length() - open.offset);
        open.closingText = node.text();
        // Elements left open inside the closed one give their children to it.
        for (size_t d = depth + 1; d < stack_.size(); ++d) {
            for (int child : children_[d]) tree_.parent[child] = match;
        }
        while (stack_.size() > depth) {
            byName_[stackNames_.back()].pop_back();
            stack_.pop_back();
            stackNames_.pop_back();
            children_.pop_back();
        }
    }

    void endParsing() override { tree_.nodes[0].length = static_cast<uint32_t>(mCurrentOffset); }

  private:
    int Append(HtmlNode&& node) {
        const int id = static_cast<int>(tree_.nodes.size());
        const int parent = stack_.back();
        tree_.nodes.push_back(std::move(node));
        tree_.parent.push_back(parent);
        children_.back().push_back(id);
        return id;
    }

    HtmlTree& tree_;
    std::vector<int> stack_;  // open elements, root first
    std::vector<std::string> stackNames_;
    std::vector<std::vector<int>> children_;                       // children of each open element
    std::unordered_map<std::string, std::vector<size_t>> byName_;  // name -> depths in stack_
};

class Tokenizer : public htmlcxx::HTML::ParserSax {
  public:
    explicit Tokenizer(std::vector<HtmlToken>& tokens) : tokens_(tokens) {}

  protected:
    void foundText(Node node) override { Add(node, HtmlToken::kText); }
    void foundComment(Node node) override { Add(node, HtmlToken::kComment); }
    void foundTag(Node node, bool) override { Add(node, HtmlToken::kTag); }

  private:
    void Add(const Node& node, HtmlToken::Kind kind) {
        tokens_.push_back(HtmlToken{static_cast<uint32_t>(node.offset()),
                                    static_cast<uint32_t>(node.length()), kind});
    }
    std::vector<HtmlToken>& tokens_;
};

}  // namespace

htmlcxx::HTML::Node HtmlNode::Parsed() const {
    Node node;
    node.text(text);
    node.tagName(tagName);
    node.closingText(closingText);
    node.offset(offset);
    node.length(length);
    node.isTag(isTag);
    node.isComment(isComment);
    node.parseAttributes();
    return node;
}

HtmlTree BuildHtmlTree(const std::string& html) {
    HtmlTree tree;
    TreeBuilder builder(tree);
    builder.parse(html);
    return tree;
}

std::vector<HtmlToken> TokenizeHtml(const std::string& html) {
    std::vector<HtmlToken> tokens;
    Tokenizer tokenizer(tokens);
    tokenizer.parse(html);
    return tokens;
}

HtmlTree BuildHtmlTreeWithDom(const std::string& html) {
    HtmlTree out;
    htmlcxx::HTML::ParserDom dom;
    const tree<Node>& tr = dom.parseTree(html);
    std::unordered_map<const void*, int> index;
    for (auto it = tr.begin(); it != tr.end(); ++it) {
        index[it.node] = static_cast<int>(out.nodes.size());
        const auto up = tr.parent(it);
        out.parent.push_back(tr.is_valid(up) ? index[up.node] : -1);
        Node node = *it;
        out.nodes.push_back(FromNode(node, node.isTag() || node.isComment()));
    }
    return out;
}
