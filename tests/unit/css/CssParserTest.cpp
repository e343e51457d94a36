#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Office/css/CssParser.h"

using quillon::css::Parser;

namespace {

std::map<std::string, std::string> Query(const Parser& p, const std::string& element,
                                         const std::string& cls) {
    Parser::Selector s;
    s.setElement(element);
    s.setClass(cls);
    return p.getAttributes({s});
}

// The query WordCss makes for class C: element and class both C.
std::map<std::string, std::string> ClassQuery(const Parser& p, const std::string& cls) {
    return Query(p, cls, cls);
}

}  // namespace

TEST(CssParser, ReadsWordSheetSkippingAtRulesAndKeepingQuotedText) {
    Parser p;
    ASSERT_TRUE(p.parse(
        "/* Font Definitions */\n@font-face\n\t{font-family:\"Odd;Name{x}\";\n\tpanose-1:2 4;}\n"
        "@page WordSection1\n\t{size:595.3pt 841.9pt;\n\tmso-header-margin:35.4pt;}\n"
        "@list l0:level1\n\t{mso-level-text:\"\\F0B7\";}\n"
        "@media print { .Hidden {display:none} }\n"
        "p.MsoNormal, li.MsoNormal, .Accent\n\t{margin:0cm;\n\tfont-family:\"Times New Roman\",\n"
        "\t\tserif;\n\tmso-fareast-font-family:\"Odd;}Name\";\n\tCOLOR:Red !IMPORTANT;}\n"));
    EXPECT_EQ(3u, p.ruleCount());
    const auto accent = ClassQuery(p, "accent");
    EXPECT_EQ("0cm", accent.at("margin"));
    EXPECT_EQ("\"Times New Roman\", serif", accent.at("font-family"));
    EXPECT_EQ("\"Odd;}Name\"", accent.at("mso-fareast-font-family"));
    EXPECT_EQ("Red", accent.at("color"));
    EXPECT_EQ(4u, accent.size());
    // Nothing from the skipped at-rules leaks into a rule.
    EXPECT_TRUE(ClassQuery(p, "hidden").empty());
    EXPECT_TRUE(ClassQuery(p, "wordsection1").empty());
    // htmlcxx's matching: an element-qualified rule needs that element on the path.
    EXPECT_TRUE(ClassQuery(p, "MsoNormal").empty());
    EXPECT_EQ(4u, Query(p, "P", "MSONORMAL").size());
}

TEST(CssParser, FollowsHtmlcxxMatchingRules) {
    Parser p;
    ASSERT_TRUE(p.parse("p {a:1} .x {b:2} p.x {c:3} #i {d:4} a:link {e:5} div p {f:6} * {g:7}"));
    EXPECT_EQ((std::map<std::string, std::string>{{"b", "2"}, {"c", "3"}}), Query(p, "p", "x"));
    EXPECT_EQ((std::map<std::string, std::string>{{"a", "1"}, {"g", "7"}}), Query(p, "p", ""));
    // A path element without a name matches nothing.
    EXPECT_TRUE(Query(p, "", "x").empty());

    Parser::Selector div, span, para, body, link;
    div.setElement("div");
    span.setElement("span");
    para.setElement("p");
    body.setElement("body");
    link.setElement("a");
    link.setPseudoClass(Parser::LINK);
    EXPECT_EQ("5", p.getAttributes({link}).at("e"));
    EXPECT_EQ(0u, p.getAttributes({link}).count("g"));  // pseudo parts must be equal
    // Chains are anchored at the first path element, with gaps allowed after it.
    EXPECT_EQ("6", p.getAttributes({div, span, para}).at("f"));
    EXPECT_EQ(0u, p.getAttributes({body, div, para}).count("f"));
    EXPECT_TRUE(p.getAttributes({}).empty());
}

TEST(CssParser, LaterValuesReplaceEarlierOnesAcrossSheets) {
    Parser p;
    ASSERT_TRUE(p.parse(".a {color:red; margin:1pt} .a {color:blue}"));
    ASSERT_TRUE(p.parse(".A {MARGIN:2pt}"));
    EXPECT_EQ((std::map<std::string, std::string>{{"color", "blue"}, {"margin", "2pt"}}),
              ClassQuery(p, "a"));
    EXPECT_EQ(1u, p.ruleCount());
}

TEST(CssParser, SurvivesBrokenAndHostileInput) {
    Parser p;
    // Markup of a document head around the sheet, stray braces, a bad string, a NUL byte, an
    // unterminated last block: the good rules are kept.
    const std::string sheet =
        "<meta charset=utf-8><title>T{x}</title><style><!--\n} ; .a {color:red}\n"
        ".b {font-family:\"broken\n; size:1pt}\n.c" +
        std::string(1, '\0') + "d {x:1}\n.e {top:0; left:1";
    p.parse(sheet);
    EXPECT_EQ("red", ClassQuery(p, "a").at("color"));
    EXPECT_EQ((std::map<std::string, std::string>{{"size", "1pt"}}), ClassQuery(p, "b"));
    EXPECT_EQ((std::map<std::string, std::string>{{"left", "1"}, {"top", "0"}}),
              ClassQuery(p, "e"));
    EXPECT_TRUE(ClassQuery(p, "c").empty());
    EXPECT_TRUE(ClassQuery(p, "title").empty());

    // Unsupported selectors are dropped rather than matched too widely.
    Parser q;
    q.parse(".a.b {x:1} .c[title] {x:2} .d > .e {x:3} .f + .g {x:4} v\\:* {x:5} .h:hover {x:6}");
    for (const char* cls : {"a", "b", "c", "e", "g", "h"}) EXPECT_TRUE(ClassQuery(q, cls).empty());

    // Inputs that would make a rescanning parser quadratic finish at once.
    for (const std::string& unit :
         {std::string("{"), std::string("\""), std::string("/*"), std::string("@x{"),
          std::string("a,"), std::string(".a{b:c;")}) {
        std::string big;
        while (big.size() < (4u << 20)) big += unit;
        Parser r;
        r.parse(big);
        r.parse(nullptr, 0);
    }
}
