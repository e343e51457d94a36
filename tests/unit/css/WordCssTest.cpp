#include <gtest/gtest.h>
#include <htmlcxx/html/ParserDom.h>

#include <dirent.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Office/TextOps.h"
#include "Office/css/WordCss.h"
#include "TestFiles.h"

namespace {

std::string Page(const std::string& head, const std::string& body) {
    return "Version:0.9\r\nStartHTML:0\r\n<html><head>" + head + "</head><body>" + body +
           "</body></html>";
}

std::string Inline(WordCss& css, std::string text) {
    css.InlineClassStyles(text);
    return text;
}

// The rewrite done literally: a DOM tree, then for each class tag a restarting whole-text
// replacement of its opening-tag text. The table comes from the WordCss under test.
std::string LiteralInline(const std::string& text,
                          const std::map<std::string, std::string>& table) {
    std::string copy = text;
    auto replaceAll = [](std::string& t, const std::string& a, const std::string& b) {
        if (a == b || a.empty()) return;
        if (b.find(a) != std::string::npos) {
            ReplaceAllBounded(t, a, b);  // the guarded single pass
            return;
        }
        for (std::size_t p = t.find(a); p != std::string::npos; p = t.find(a))
            t.replace(p, a.size(), b);
    };
    htmlcxx::HTML::ParserDom dom;
    const auto tree = dom.parseTree(text);
    for (auto it = tree.begin(); it != tree.end(); ++it) {
        if (!it->isTag()) continue;
        it->parseAttributes();
        const auto cls = it->attribute("class");
        if (!cls.first) continue;
        const auto found = table.find(cls.second);
        if (found == table.end()) continue;
        const auto style = it->attribute("style");
        std::string own;
        for (char c : style.second) own += (c == '\'') ? std::string("&#39;") : std::string(1, c);
        const std::string r = "style='" + found->second + own + "'";
        std::string t = it->text();
        if (style.first) {
            replaceAll(t, "class=" + cls.second, "");
            replaceAll(t, "style='" + style.second + "'", r);
            replaceAll(t, "style=\"" + style.second + "\"", r);
        } else {
            replaceAll(t, "class=" + cls.second, r);
        }
        replaceAll(copy, it->text(), t);
    }
    return copy;
}

std::vector<std::string> CorpusFiles(const std::string& folder) {
    std::vector<std::string> files;
    const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/" + folder;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0) {
                files.push_back(dir + "/" + name);
            }
        }
        closedir(d);
    }
    return files;
}

using testfiles::ReadFile;

}  // namespace

TEST(TextBetweenLast, TakesTheLastStartMarker) {
    std::string out = "stale";
    EXPECT_TRUE(TextBetweenLast("<s>a</s><s>b</s>tail", "<s>", "</s>", out));
    EXPECT_EQ("b", out);
    EXPECT_TRUE(TextBetweenLast("x<s>a</s><s>open", "<s>", "</s>", out));
    EXPECT_EQ("open", out);
    EXPECT_FALSE(TextBetweenLast("<s></s>", "<s>", "</s>", out));
    EXPECT_FALSE(TextBetweenLast("nothing", "<s>", "</s>", out));
    EXPECT_EQ("", out);
}

TEST(WordCss, LoadsTheCommentOfTheLastStyleBlockOrTheWholeHead) {
    WordCss commented;
    commented.LoadStyles(
        Page("<style>.a {color:red}</style><style>\n<!--\n.b {color:blue}\n-->\n</style>", ""));
    EXPECT_EQ("style='color:blue;'",
              Inline(commented, "<i class=b>x</i><i class=a>").substr(3, 19));
    EXPECT_EQ("<i class=a>", Inline(commented, "<i class=a>"));

    // The last block has no comment: the whole head, markup and both blocks, is read.
    WordCss whole;
    whole.LoadStyles(Page(
        "<title>t</title><style>\n<!--\n.a {color:red}\n-->\n</style><style>.b {top:0}</style>",
        ""));
    EXPECT_EQ("<i style='color:red;'><i style='top:0;'>", Inline(whole, "<i class=a><i class=b>"));

    WordCss none;
    none.LoadStyles("<html><body class=a>.a {color:red}</body></html>");
    EXPECT_EQ(0u, none.Parser().ruleCount());
}

TEST(WordCss, InlinesClassDeclarationsWithoutOfficeOnesAheadOfTheOwnStyle) {
    WordCss css;
    css.LoadStyles(
        Page("<style><!-- .Accent {color:red; mso-font-kerning:1pt} p.MsoNormal {margin:0}"
             " .OnlyMso {mso-x:1; MSO-Y:2} --></style>",
             ""));
    EXPECT_EQ("<span  style='color:red;font-size:9pt'>a</span>",
              Inline(css, "<span class=Accent style='font-size:9pt'>a</span>"));
    EXPECT_EQ("<b  style='color:red;top:0'>", Inline(css, "<b class=Accent style=\"top:0\">"));
    EXPECT_EQ("<b style='color:red;'>", Inline(css, "<b class=Accent>"));
    // The class must be written unquoted to be removed; the style is still merged.
    EXPECT_EQ("<b class=\"Accent\" style='color:red;top:0'>",
              Inline(css, "<b class=\"Accent\" style='top:0'>"));
    // An element-qualified rule does not apply to the class query.
    EXPECT_EQ("<p class=MsoNormal>", Inline(css, "<p class=MsoNormal>"));
    // Only Office declarations: the class goes, the style stays or becomes empty.
    EXPECT_EQ("<i  style='top:0'>", Inline(css, "<i class=OnlyMso style='top:0'>"));
    EXPECT_EQ("<i style=''>", Inline(css, "<i class=OnlyMso>"));
    EXPECT_EQ("", css.ClassStyles().at("OnlyMso"));
    // The table is keyed by the class as written; the query ignores case.
    EXPECT_EQ("<u style='color:red;'>", Inline(css, "<u class=ACCENT>"));
    EXPECT_EQ(1u, css.ClassStyles().count("ACCENT"));
}

TEST(WordCss, KeepsTheFirstDeclarationsOfAClassAcrossConversions) {
    WordCss css;
    css.LoadStyles(Page("<style><!-- .a {color:red} --></style>", ""));
    EXPECT_EQ("<i style='color:red;'>", Inline(css, "<i class=a>"));
    css.LoadStyles(Page("<style><!-- .a {color:blue} .b {top:1pt} --></style>", ""));
    EXPECT_EQ("<i style='color:red;'><i style='top:1pt;'>", Inline(css, "<i class=a><i class=b>"));
    EXPECT_EQ(
        "blue",
        css.Parser().getAttributes({quillon::css::Parser::Selector("a", "", "a")}).at("color"));
}

TEST(WordCss, QuotesInValuesCannotBreakTheStyleAttribute) {
    WordCss css;
    css.LoadStyles(Page("<style><!-- .f {font-family:'A B'} --></style>", ""));
    EXPECT_EQ("<i  style='font-family:&#39;A B&#39;;font-size:&#39;x&#39;'>",
              Inline(css, "<i class=f style=\"font-size:'x'\">"));
}

TEST(WordCss, RewriteMatchesLiteralReplacementOnCorpusAndOddInputs) {
    std::vector<std::pair<std::string, std::string>> cases;  // head, body
    for (const char* folder : {"word", "excel", "browser"}) {
        for (const std::string& file : CorpusFiles(folder)) {
            const std::string html = ReadFile(file);
            cases.emplace_back(html, html);
        }
    }
    ASSERT_GT(cases.size(), 20u);
    const std::string sheet =
        "<head><style><!-- .a {color:red} .b {mso-x:1} .c {x:\"<p class=a>\"} --></style></head>";
    cases.emplace_back(
        sheet, "<p class=a><!-- <p class=a> --><p class=a>x<p class=a title=\"1>2\"><b class=a");
    cases.emplace_back(sheet,
                       "<i class=a><i class=a><script><i class=a></script><i class=b class=a>");
    cases.emplace_back(sheet, "<p class=c>x<p class=a>y<style>p class=a</style><p class=c>");
    std::mt19937 rng(7);
    const char* pieces[] = {"<p class=a>", "<i class=b style='q'>",
                            "<b class=c>", "<!--",
                            "-->",         "<",
                            ">",           "class=a",
                            " x ",         "<p class=a",
                            "\"",          "<style>",
                            "</style>",    "'"};
    for (int n = 0; n < 300; ++n) {
        std::string body;
        for (int k = 0; k < 12; ++k) body += pieces[rng() % (sizeof(pieces) / sizeof(*pieces))];
        cases.emplace_back(sheet, body);
    }
    for (const auto& c : cases) {
        WordCss css;
        css.LoadStyles(c.first);
        std::string fast = c.second;
        css.InlineClassStyles(fast);
        EXPECT_EQ(LiteralInline(c.second, css.ClassStyles()), fast) << c.second.substr(0, 200);
    }
}

TEST(WordCss, CorpusStylesheetsYieldTheirClassRules) {
    for (const std::string& file : CorpusFiles("word")) {
        const std::string html = ReadFile(file);
        WordCss css;
        css.LoadStyles(html);
        // Every Word sheet styles its normal paragraphs.
        const auto defaults =
            css.Parser().getAttributes({quillon::css::Parser::Selector("p", "", "MsoNormal")});
        EXPECT_FALSE(defaults.empty()) << file;
        EXPECT_GT(css.Parser().ruleCount(), 3u) << file;
        for (const auto& d : defaults)
            EXPECT_EQ(std::string::npos, d.second.find_first_of("{};\n")) << file;
    }
}

TEST(ReplaceAllBounded, RestartsFromTheBeginningAndStopsOnSelfContainingReplacements) {
    std::string t = "<o:p><o:p></o:p></o:p>";
    ReplaceAllBounded(t, "<o:p></o:p>", "");
    EXPECT_EQ("", t);
    t = "aabb";  // removing "ab" joins a new "ab"
    ReplaceAllBounded(t, "ab", "");
    EXPECT_EQ("", t);
    t = "xaaby";
    ReplaceAllBounded(t, "ab", "b");
    EXPECT_EQ("xby", t);
    t = "a-a";
    ReplaceAllBounded(t, "a", "[a]");
    EXPECT_EQ("[a]-[a]", t);
    std::string big(1 << 22, 'a');
    ReplaceAllBounded(big, "aa", "a");
    EXPECT_EQ("a", big);
}
