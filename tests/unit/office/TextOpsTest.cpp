#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Office/TextOps.h"
#include "reference/LiteralEngine.h"

namespace {

std::string Replaced(std::string text, const std::string& s, const std::string& r) {
    ReplaceAll(text, s, r);
    return text;
}

std::string Stripped(std::string text, const std::string& s, const std::string& e, bool keep) {
    StripBlocks(text, s, e, keep);
    return text;
}

TEST(TextBetweenTest, FirstStartToFollowingEndOrTextEnd) {
    std::string out;
    EXPECT_TRUE(TextBetween("a[x]b[y]", "[", "]", out));
    EXPECT_EQ("x", out);
    EXPECT_TRUE(TextBetween("SourceURL:file:///a.docx", "SourceURL:", "<html", out));
    EXPECT_EQ("file:///a.docx", out);
    EXPECT_FALSE(TextBetween("a[]b", "[", "]", out));
    EXPECT_FALSE(TextBetween("abc", "[", "]", out));
    EXPECT_EQ("", out);
}

TEST(ReplaceAllTest, RestartsSoJoinedPiecesAreReplacedToo) {
    EXPECT_EQ("", Replaced("<o:p><o:p></o:p></o:p>", "<o:p></o:p>", ""));
    EXPECT_EQ("x", Replaced("<o:p><o:p><o:p></o:p></o:p></o:p>x", "<o:p></o:p>", ""));
    EXPECT_EQ("bbbb", Replaced("aaab", "ab", "bb"));
    EXPECT_EQ("a-b-c", Replaced("a--b---c", "--", "-"));
    EXPECT_EQ("same", Replaced("same", "same", "same"));
    EXPECT_EQ("text", Replaced("text", "", "x"));
}

TEST(ReplaceAllTest, ReplacementHoldingTheSearchedTextEndsAfterOnePass) {
    EXPECT_EQ("aab aab", Replaced("ab ab", "ab", "aab"));
    EXPECT_EQ("xaxxax", Replaced("aa", "a", "xax"));
}

TEST(StripBlocksTest, KeepsContentAndResolvesNesting) {
    EXPECT_EQ("&nbsp;", Stripped("<o:p>&nbsp;</o:p>", "<o:p>", "</o:p>", true));
    EXPECT_EQ("xy", Stripped("<o:p><o:p>x</o:p>y</o:p>", "<o:p>", "</o:p>", true));
    EXPECT_EQ("a[ b", Stripped("a[ b", "[", "]", true)) << "a start without end stops";
    EXPECT_EQ("a b[c", Stripped("a[ ]b[c", "[", "]", true));
    EXPECT_EQ("]x", Stripped("]x", "[", "]", true)) << "an end before any start stays";
}

TEST(StripBlocksTest, DropRemovesContent) {
    EXPECT_EQ("ab", Stripped("a<!--[if gte mso 9]><xml>x</xml><![endif]-->b", "<!--[if gte mso 9]>",
                             "<![endif]-->", false));
    EXPECT_EQ("a<!--[if gte mso 9]>b",
              Stripped("a<!--[if gte mso 9]>b", "<!--[if gte mso 9]>", "<![endif]-->", false));
}

TEST(StripBlocksTest, CutsThatJoinIntoNewMarkersMatchTheLiteralForm) {
    // Removing the inner pair brings "<o:" and "p>" together into a new start marker.
    const std::string text = "<o:<o:p>p>x</o:p>y</o:p>";
    std::string literal = text;
    reference::StripBlocks(literal, "<o:p>", "</o:p>", true);
    EXPECT_EQ(literal, Stripped(text, "<o:p>", "</o:p>", true));
    EXPECT_EQ("xy", literal);
}

// The fast forms against the literal ones on random texts over a tiny alphabet, where markers
// overlap, nest and join as often as possible.
TEST(TextOpsDifferentialTest, FastFormsEqualLiteralForms) {
    std::mt19937 rng(12345);
    const char alphabet[] = "ab<>/";
    auto randomText = [&](size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s) c = alphabet[rng() % 5];
        return s;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = randomText(24);
        std::string s = randomText(3);
        std::string r = randomText(4);
        if (s.empty()) s = "a";
        std::string fast = text;
        std::string literal = text;
        ReplaceAll(fast, s, r);
        if (r.size() <= s.size() || r.find(s) != std::string::npos) {
            reference::ReplaceAll(literal, s, r);
            ASSERT_EQ(literal, fast) << text << " / " << s << " -> " << r;
        }
        std::string e = randomText(3);
        if (e.empty()) e = ">";
        for (bool keep : {true, false}) {
            fast = text;
            literal = text;
            StripBlocks(fast, s, e, keep);
            reference::StripBlocks(literal, s, e, keep);
            ASSERT_EQ(literal, fast) << text << " / " << s << " .. " << e << " keep " << keep;
        }
    }
}

// One scratch buffer carried through many steps (it holds the previous text each time, and
// the forms that give up midway leave partial output in it) changes no result.
TEST(TextOpsDifferentialTest, SharedScratchBufferEqualsFreshBuffers) {
    std::mt19937 rng(777);
    const char alphabet[] = "ab<>/";
    auto randomText = [&](size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s) c = alphabet[rng() % 5];
        return s;
    };
    std::string scratch = "stale";
    for (int round = 0; round < 5000; ++round) {
        std::string shared = randomText(40);
        std::string fresh = shared;
        for (int step = 0; step < 4; ++step) {
            std::string s = randomText(3);
            if (s.empty()) s = "<";
            const std::string r = randomText(3);
            const std::string e = randomText(2) + ">";
            if (step % 2 == 0) {
                ReplaceAll(shared, s, r, scratch);
                ReplaceAll(fresh, s, r);
            } else {
                StripBlocks(shared, s, e, step == 1, scratch);
                StripBlocks(fresh, s, e, step == 1);
            }
            ASSERT_EQ(fresh, shared) << "round " << round << " step " << step;
        }
    }
}

// "ab" -> "bbaa" keeps making a new "ab" in "aab" for ever: the bounded form stops after its
// 2 x (3 + 4) + 1024 replacements, each two bytes longer, as the stylesheet's texts need.
TEST(ReplaceAllBoundedTest, RegrowingPairStopsAtItsBudget) {
    std::string t = "aab";
    EXPECT_TRUE(ReplaceAllBounded(t, "ab", "bbaa"));
    EXPECT_EQ(3u + 2 * (2 * (3 + 4) + 1024), t.size());
    EXPECT_NE(std::string::npos, t.find("ab")) << "the rest stays as it is";
    std::string done = "xaby";
    EXPECT_TRUE(ReplaceAllBounded(done, "ab", "bbaa"));
    EXPECT_EQ("xbbaay", done);
    EXPECT_FALSE(ReplaceAllBounded(done, "ab", "bbaa"));
}

TEST(TextOpsDifferentialTest, LongNestedRunsStayFast) {
    // 100 000 nested pairs: quadratic work here would not finish in test time.
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<o:p>";
    text += "x";
    for (int i = 0; i < 100000; ++i) text += "</o:p>";
    std::string copy = text;
    StripBlocks(copy, "<o:p>", "</o:p>", true);
    EXPECT_EQ("x", copy);
    std::string empties;
    for (int i = 0; i < 100000; ++i) empties += "<o:p>";
    for (int i = 0; i < 100000; ++i) empties += "</o:p>";
    ReplaceAll(empties, "<o:p></o:p>", "");
    EXPECT_EQ("", empties);
}

}  // namespace
