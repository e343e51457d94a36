// Every real document of the corpus, wrapped as clipboard data with LF and CRLF line ends.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "TestFiles.h"
#include "events/PageEvents.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "reference/ReferenceConverter.h"

namespace {

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    for (const char* folder : {"word", "excel", "browser"}) {
        const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/" + folder;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name.size() > 5 && name.substr(name.size() - 5) == ".html") {
                    files.push_back(dir + "/" + name);
                }
            }
            closedir(d);
        }
    }
    return files;
}

using testfiles::ReadFile;

std::string WithCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
    }
    void TearDown() override { platform::SetCurrentClipboard(nullptr); }
    std::shared_ptr<platform::MemoryClipboard> clipboard_;
};

TEST_P(CorpusTest, ConvertsAsTheLiteralStepsDoAndKeepsItsPromises) {
    ASSERT_GE(CorpusFiles().size(), 40u);
    const std::string doc = ReadFile(GetParam());
    const bool excel = GetParam().find("/excel/") != std::string::npos;
    for (const std::string& text : {doc, WithCrlf(doc)}) {
        clipboard_->SetHtml(WrapCfHtml(text, excel ? "file:///C:/b.xlsx" : "file:///C:/d.docx"));
        WordConverter fast;
        ReferenceConverter literal;
        if (excel) {
            fast.GetExcel();
            literal.GetExcel();
        } else {
            fast.GetWord();
            literal.GetWord();
        }
        const std::string out = fast.Text();
        ASSERT_EQ(literal.Text(), out);
        ASSERT_EQ(literal.Images().size(), fast.Images().size());
        for (auto a = literal.Images().begin(), b = fast.Images().begin();
             a != literal.Images().end(); ++a, ++b) {
            EXPECT_EQ(a->first, b->first);
            EXPECT_EQ(a->second->html, b->second->html);
            EXPECT_EQ(a->second->width, b->second->width);
            EXPECT_EQ(a->second->src, b->second->src);
        }
        EXPECT_EQ(std::string::npos, out.find("<o:p>"));
        EXPECT_EQ(std::string::npos, out.find("</o:p>"));
        EXPECT_EQ(std::string::npos, out.find("<v:shape"));
        // Pairs of conditional-comment markers are resolved.
        if (Count(out, "<![endif]-->") == 0) {
            EXPECT_EQ(0u, Count(out, "<!--[if gte vml 1]>"));
            EXPECT_EQ(0u, Count(out, "<!--[if gte mso 9]>"));
        }
        EXPECT_FALSE(out.find("<![if !vml]>") != std::string::npos &&
                     out.find("<![endif]>", out.find("<![if !vml]>")) != std::string::npos);
        for (const auto& entry : fast.Images()) {
            EXPECT_NE(std::string::npos, out.find(entry.second->html)) << entry.first;
            EXPECT_EQ(std::string::npos, entry.second->src.find("file://"));
        }
        // Every local VML picture is listed.
        size_t vmlPictures = 0;
        for (size_t p = text.find("<v:imagedata"); p != std::string::npos;
             p = text.find("<v:imagedata", p + 1)) {
            const size_t end = text.find('>', p);
            const std::string tag = text.substr(p, end - p);
            if (tag.find("file:") != std::string::npos) ++vmlPictures;
        }
        if (vmlPictures > 0 && text.find("<!--StartFragment") != std::string::npos) {
            EXPECT_FALSE(fast.Images().empty());
        }
        WordConverter again;
        if (excel) {
            again.GetExcel();
        } else {
            again.GetWord();
        }
        EXPECT_EQ(out, again.Text()) << "converting twice gives the same bytes";
    }
}

TEST_P(CorpusTest, PasteEventListsEveryPicture) {
    const std::string doc = ReadFile(GetParam());
    const bool excel = GetParam().find("/excel/") != std::string::npos;
    clipboard_->SetHtml(WrapCfHtml(doc, excel ? "file:///C:/b.xlsx" : "file:///C:/d.docx"));
    WordConverter converter;
    const Json::Value event = PasteWordEvent(converter);
    EXPECT_EQ(excel ? "Parser_PasteExcel" : "Parser_PasteWord", event["name"].asString());
    EXPECT_EQ(converter.Text(), event["word"].asString());
    EXPECT_EQ(converter.Images().size(), event["imgs"].size());
    for (const Json::Value& img : event["imgs"]) {
        EXPECT_NE(std::string::npos, converter.Text().find(img["html"].asString()));
        const std::string src = img["src"].asString();
        EXPECT_EQ(src.substr(src.size() - img["name"].asString().size()), img["name"].asString());
    }
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(info.param.rfind('/') + 1);
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Documents, CorpusTest, ::testing::ValuesIn(CorpusFiles()), TestName);

}  // namespace
