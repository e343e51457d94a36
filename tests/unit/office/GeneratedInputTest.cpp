// Large clipboard texts made from the real documents (fragments of several documents in one
// page, repeated shapes, damaged markup) convert exactly as the literal steps convert them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "ShapeMarkup.h"
#include "TestFiles.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "reference/ReferenceConverter.h"

namespace {

using testfiles::ReadFile;

std::vector<std::string> WordDocuments() {
    std::vector<std::string> docs;
    const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/word";
    if (DIR* d = opendir(dir.c_str())) {
        std::vector<std::string> names;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 5 && name.substr(name.size() - 5) == ".html") names.push_back(name);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) docs.push_back(ReadFile(dir + "/" + name));
    }
    return docs;
}

const char kStart[] = "<!--StartFragment-->";
const char kEnd[] = "<!--EndFragment-->";

std::string Fragment(const std::string& doc) {
    const size_t a = doc.find(kStart);
    const size_t b = doc.find(kEnd);
    if (a == std::string::npos || b == std::string::npos || b < a) return std::string();
    return doc.substr(a + sizeof kStart - 1, b - a - (sizeof kStart - 1));
}

// Cuts that real clipboard data does not have but a broken source could.
std::string Damage(std::string text, std::mt19937& rng) {
    const char* inserts[] = {"<br>",
                             "</span>",
                             "<p class=MsoNormal>",
                             "<o:p>",
                             "<![endif]>",
                             "<!--[if gte vml 1]>",
                             "<img src=\"file:///C:/x.png\">",
                             "</p>"};
    for (int k = 0; k < 3 && !text.empty(); ++k) {
        const size_t at = rng() % text.size();
        if (rng() % 2) {
            text.insert(at, inserts[rng() % (sizeof inserts / sizeof *inserts)]);
        } else {
            text.erase(at, rng() % 40);
        }
    }
    return text;
}

class GeneratedInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
    }
    void TearDown() override { platform::SetCurrentClipboard(nullptr); }

    void ExpectSameAsLiteral(const std::string& page) {
        clipboard_->SetHtml(WrapCfHtml(page, "file:///C:/d.docx"));
        WordConverter fast;
        ReferenceConverter literal;
        fast.GetWord();
        literal.GetWord();
        ASSERT_EQ(literal.Text(), fast.Text());
        ASSERT_EQ(literal.Images().size(), fast.Images().size());
        for (auto a = literal.Images().begin(), b = fast.Images().begin();
             a != literal.Images().end(); ++a, ++b) {
            ASSERT_EQ(a->first, b->first);
            ASSERT_EQ(a->second->html, b->second->html);
            ASSERT_EQ(a->second->width, b->second->width);
            ASSERT_EQ(a->second->height, b->second->height);
            ASSERT_EQ(a->second->src, b->second->src);
        }
    }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
};

TEST_F(GeneratedInputTest, CycledAndDamagedFragmentsConvertAsTheLiteralSteps) {
    const std::vector<std::string> docs = WordDocuments();
    ASSERT_GE(docs.size(), 10u);
    std::mt19937 rng(2024);
    for (int round = 0; round < 12; ++round) {
        // The head (stylesheet) of one document around fragments of several.
        const std::string& host = docs[rng() % docs.size()];
        const size_t a = host.find(kStart);
        const size_t b = host.find(kEnd);
        if (a == std::string::npos || b == std::string::npos || b < a) continue;
        std::string body;
        for (int k = 0; k < 6; ++k) {
            std::string fragment = Fragment(docs[rng() % docs.size()]);
            if (round % 3 == 2) fragment = Damage(fragment, rng);
            body += fragment;
        }
        SCOPED_TRACE(round);
        ExpectSameAsLiteral(host.substr(0, a + sizeof kStart - 1) + body + host.substr(b));
    }
}

// Shape markup that repeats or hides a shape's tags (a copy inside a comment or an attribute,
// the same opening tag twice, a shape left open): the shape tables read from the VML text agree
// with plain searches of it.
TEST_F(GeneratedInputTest, ShapesWithRepeatedOrHiddenTagsConvertAsTheLiteralSteps) {
    auto shape = [](const std::string& id, const std::string& file, bool closed,
                    bool cropped = false) {
        return "<!--[if gte vml 1]><v:shape id=\"" + id +
               "\" style='width:30pt;height:20pt'><v:imagedata src=\"file:///C:/t/" + file +
               "\" o:title=\"\"" + (cropped ? " croptop=\"1f\"" : "") + "/>" +
               (closed ? "</v:shape>" : "") +
               "<![endif]--><![if !vml]><img width=40 height=27 src=\"file:///C:/t/" + file +
               "\" v:shapes=\"" + id + "\"><![endif]>";
    };
    const std::string hidden =
        "<!--[if gte vml 1]><!-- <v:shape id=\"s2\" style='width:30pt;height:20pt'>"
        "<v:imagedata src=\"file:///C:/t/z.wmz\"/> --><![endif]-->";
    const std::string inAttribute =
        "<!--[if gte vml 1]><v:rect alt=\"<v:shape id=&quot;s3&quot;>\"></v:rect><![endif]-->";
    const std::vector<std::string> bodies = {
        shape("s1", "a.png", true, true) + shape("s1", "b.png", true),
        hidden + shape("s2", "c.png", true, true) + shape("s9", "d.wmz", true),
        inAttribute + shape("s3", "e.png", true) + shape("s8", "j.png", true, true),
        shape("s4", "f.png", false) + shape("s5", "g.png", true),
        shape("s6", "h.wmz", true) + "<p class=MsoNormal><span>" + shape("s7", "i.png", true) +
            "</span></p>",
    };
    for (size_t k = 0; k < bodies.size(); ++k) {
        SCOPED_TRACE(k);
        ExpectSameAsLiteral("<html><body><!--StartFragment-->" + bodies[k] +
                            "<!--EndFragment--></body></html>");
    }
}

// Shapes nested, repeated, unclosed and with misplaced end tags, which the fast steps answer
// without reading each shape's element text, also behind tags whose edits leave the tag list
// for a while: the same result as reading every text.
TEST_F(GeneratedInputTest, ShapeFormsConvertAsTheLiteralSteps) {
    using namespace shapemarkup;
    for (Form form : {Form::kNested, Form::kNestedInVml, Form::kRepeated, Form::kUnclosed,
                      Form::kInterleaved}) {
        for (size_t count : {1, 2, 7, 40}) {
            SCOPED_TRACE(std::string(FormName(form)) + " x" + std::to_string(count));
            ExpectSameAsLiteral(Page(Shapes(form, count)));
            ExpectSameAsLiteral(Page(UncleanTags() + Shapes(form, count) + UncleanTags()));
        }
    }
    // A picture address joined inside later shapes when the first empty anchor's text, and with
    // it every empty anchor, is removed (after the first shape was looked at).
    for (const char* cut : {"fi<a></a>le://", "file:/<a></a>/", "f<a></a>ile:///"}) {
        SCOPED_TRACE(cut);
        ExpectSameAsLiteral(Page(
            std::string("<v:shape id=t></v:shape><a></a>x") + "<v:shape id=s style='width:2pt'>" +
            cut + "C:/t/x.png\"</v:shape><v:shape id=u>" + cut + "C:/t/y.wmz\"</v:shape>"));
    }
}

}  // namespace
