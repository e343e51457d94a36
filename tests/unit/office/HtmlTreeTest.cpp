#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <random>
#include <sstream>

#include "Office/HtmlTree.h"
#include "TestFiles.h"
#include "reference/DomTree.h"

namespace {

using testfiles::ReadFile;

// The elements of one name found without the tree are the tree's nodes of that name.
void ExpectSameElements(const std::string& html, const std::string& name) {
    const HtmlTree tree = BuildHtmlTree(html);
    const HtmlElements found = FindHtmlElements(html, name);
    size_t k = 0;
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        const HtmlNode node = tree.nodes[i];
        if (!node.isTag || node.tagName != name) continue;
        ASSERT_LT(k, found.elements.size());
        EXPECT_EQ(node.text, found.elements[k].text) << i;
        EXPECT_EQ(node.closingText, found.elements[k].closingText) << i;
        EXPECT_EQ(node.offset, found.elements[k].offset) << i;
        ++k;
    }
    EXPECT_EQ(k, found.elements.size());
}

void ExpectSameNodes(const HtmlTree& dom, const HtmlTree& fast) {
    ASSERT_EQ(dom.nodes.size(), fast.nodes.size());
    for (size_t i = 0; i < dom.nodes.size(); ++i) {
        const auto& a = dom.nodes[i];
        const auto& b = fast.nodes[i];
        ASSERT_EQ(dom.parent[i], fast.parent[i]) << "node " << i << " " << a.text;
        ASSERT_EQ(a.text, b.text) << i;
        ASSERT_EQ(a.closingText, b.closingText) << i;
        ASSERT_EQ(a.offset, b.offset) << i;
        ASSERT_EQ(a.length, b.length) << i;
        ASSERT_EQ(a.tagName, b.tagName) << i;
        ASSERT_EQ(a.isTag, b.isTag) << i;
        ASSERT_EQ(a.isComment, b.isComment) << i;
    }
}

// The fast tree and its elements alone, each against the DOM parser's.
void ExpectSameTree(const std::string& html) {
    const HtmlTree dom = BuildHtmlTreeWithDom(html);
    ExpectSameNodes(dom, BuildHtmlTree(html));
    ExpectSameNodes(ElementsOf(dom), BuildHtmlElementTree(html));
}

TEST(HtmlTreeTest, UnclosedElementsGiveTheirChildrenToTheClosedOne) {
    const std::string html = "<html><p>a<br>b<img src=x>c<span>d</p><i>e</i></b></html>";
    ExpectSameTree(html);
    const HtmlTree tree = BuildHtmlTree(html);
    // The </p> closes <p>: br, its text and img become children of p.
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        if (tree.nodes[i].text == "<img src=x>") {
            EXPECT_EQ("p", tree.nodes[tree.parent[i]].tagName);
        }
        if (tree.nodes[i].text == "</b>") {
            EXPECT_TRUE(tree.nodes[i].isComment);
        }
    }
}

TEST(HtmlTreeTest, SameTreeAsTheDomParserOnTheCorpus) {
    for (const char* folder : {"word", "excel", "browser"}) {
        const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/" + folder;
        DIR* d = opendir(dir.c_str());
        ASSERT_NE(nullptr, d) << dir;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() < 5 || name.substr(name.size() - 5) != ".html") continue;
            SCOPED_TRACE(name);
            const std::string html = ReadFile(dir + "/" + name);
            ExpectSameTree(html);
            for (const char* element : {"p", "span", "a", "td"}) ExpectSameElements(html, element);
        }
        closedir(d);
    }
}

TEST(HtmlTreeTest, SameTreeAsTheDomParserOnGeneratedMarkup) {
    std::mt19937 rng(7);
    const char* pieces[] = {"<p>",          "</p>",     "<br>",       "<B>",      "</b>",
                            "<span a='>'>", "</span>",  "x",          "<!--c-->", "</>",
                            "<style>",      "</style>", "< a",        "<img>",    "</img>",
                            "<div>",        "</DIV>",   "<a name=x>", "</a>",     "<"};
    for (int round = 0; round < 3000; ++round) {
        std::string html;
        const int n = rng() % 30;
        for (int i = 0; i < n; ++i) html += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        SCOPED_TRACE(html);
        ExpectSameTree(html);
        for (const char* element : {"p", "b", "B", "span", "img", "a"}) {
            ExpectSameElements(html, element);
        }
    }
}

TEST(HtmlTreeTest, TokensCoverTheText) {
    const std::string html = "a<p x='1>'>b<!-- c -->< d</p><style>e<f</style>";
    size_t at = 0;
    for (const HtmlToken& t : TokenizeHtml(html)) {
        EXPECT_EQ(at, t.offset);
        at += t.length;
    }
    EXPECT_EQ(html.size(), at);
}

TEST(HtmlTreeTest, DeepNestingIsLinear) {
    std::string html;
    for (int i = 0; i < 100000; ++i) html += "<div><br>";
    html += "</div>";
    const HtmlTree tree = BuildHtmlTree(html);
    EXPECT_EQ(200001u, tree.nodes.size());
}

}  // namespace
