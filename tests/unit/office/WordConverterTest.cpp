#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "Office/CfHtml.h"
#include "Office/WordConverter.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace {

const std::string kFixedParagraph =
    "<p style=\"text-justify: inter-ideograph; text-align: justify; margin: 0cm 0cm 0pt; "
    "font-family: 'Times New Roman'; font-size: 10.5pt\">";

class WordConverterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clipboard_ = std::make_shared<platform::MemoryClipboard>();
        platform::SetCurrentClipboard(clipboard_);
    }
    void TearDown() override { platform::SetCurrentClipboard(nullptr); }

    // Converts a fragment (the body's content) through the clipboard as Word content.
    std::string ConvertFragment(const std::string& fragment, const std::string& head = "") {
        clipboard_->SetHtml(WrapCfHtml("<html><head>" + head + "</head><body><!--StartFragment-->" +
                                           fragment + "<!--EndFragment--></body></html>",
                                       "file:///C:/a.docx"));
        converter_.GetWord();
        return converter_.Text();
    }

    std::shared_ptr<platform::MemoryClipboard> clipboard_;
    WordConverter converter_;
};

TEST_F(WordConverterTest, OriginTests) {
    EXPECT_FALSE(converter_.IsWord());
    EXPECT_FALSE(converter_.IsExcel());
    EXPECT_FALSE(converter_.HasHtml());

    clipboard_->SetHtml("Version:0.9\r\nStartHTML:0000000100\r\n<html></html>");
    EXPECT_TRUE(converter_.IsWord()) << "no SourceURL: counts as Word";
    EXPECT_FALSE(converter_.IsExcel());

    clipboard_->SetHtml("StartHTML:1\r\nSourceURL:file:///C:/Doc/Report.DOCX\r\n<html>");
    EXPECT_TRUE(converter_.IsWord()) << "case ignored, line break trimmed";
    clipboard_->SetHtml("StartHTML:1\r\nSourceURL:file:///C:/Doc/Book.xlsx\r\n<html>");
    EXPECT_FALSE(converter_.IsWord());
    EXPECT_TRUE(converter_.IsExcel());
    for (const char* other : {"a.docm", "a.dotx", "a.xlsm", "http://example.com/page"}) {
        clipboard_->SetHtml(std::string("StartHTML:1\r\nSourceURL:") + other + "\r\n<html>");
        EXPECT_FALSE(converter_.IsWord()) << other;
        EXPECT_FALSE(converter_.IsExcel()) << other;
    }
    clipboard_->SetHtml("StartHTML:1\r\nSourceURL:file:///x.doc");
    EXPECT_TRUE(converter_.IsWord()) << "without <html the value runs to the end";
}

TEST_F(WordConverterTest, ReadStopsAtNulAndKeepsTextWithoutData) {
    clipboard_->SetHtml(std::string("StartHTML\0tail", 14));
    converter_.ReadClipboard();
    EXPECT_EQ("StartHTML", converter_.Text());
    clipboard_->Clear();
    converter_.ReadClipboard();
    EXPECT_EQ("StartHTML", converter_.Text());
    converter_.GetWord();
    EXPECT_EQ("", converter_.Text());
    EXPECT_TRUE(converter_.Images().empty());
}

TEST_F(WordConverterTest, FragmentCut) {
    converter_.SetText("h<!--StartFragment-->plain <b>bold</b> x<!--EndFragment-->t");
    converter_.CutFragment();
    EXPECT_EQ("<b>bold</b> x", converter_.Text()) << "text before the first tag is dropped";

    converter_.SetText("h<!--StartFragment -->a<i>b</i><!--EndFragment-->");
    converter_.CutFragment();
    EXPECT_EQ("<i>b</i>", converter_.Text());

    const std::string wordsOnly = "h<!--StartFragment-->words<!--EndFragment-->";
    converter_.SetText(wordsOnly);
    converter_.CutFragment();
    EXPECT_EQ(wordsOnly, converter_.Text());

    converter_.SetText("<table><tr><!--StartFragment--><td>1</td><!--EndFragment--></tr></table>");
    converter_.CutTable();
    EXPECT_EQ("<table><tr><!--StartFragment--><td>1</td><!--EndFragment--></tr></table>",
              converter_.Text());
    const std::string noEnd = "x<table><tr><td>1</td></tr></table>";
    converter_.SetText(noEnd);
    converter_.CutTable();
    EXPECT_EQ(noEnd, converter_.Text());
}

TEST_F(WordConverterTest, ParagraphsAndOfficeMarkup) {
    EXPECT_EQ(kFixedParagraph + "Word</p>",
              ConvertFragment("<p class=MsoNormal>Word<o:p></o:p></p>"));
    EXPECT_EQ(134u, kFixedParagraph.size());
    EXPECT_EQ(
        "<p style=\"text-justify: inter-ideograph;margin: 0cm 0cm 0pt;font-family: 'Times New "
        "Roman';font-size: 10.5pt;text-align:center\">x</p>",
        ConvertFragment("<p class=MsoNormal align=center style='text-align:center'>x</p>"));
    EXPECT_EQ("<p class=msonormal>x</p>", ConvertFragment("<p class=msonormal>x</p>"));
    EXPECT_EQ("<span>&nbsp;</span>", ConvertFragment("<span><o:p>&nbsp;</o:p></span>"));
    EXPECT_EQ("<span>·</span>x",
              ConvertFragment("<!--[if !supportLists]--><span>·</span><!--[endif]-->x"));
    EXPECT_EQ("<i>a</i>b",
              ConvertFragment("<i>a</i><!--[if gte mso 9]><xml><o:x/></xml><![endif]-->b"));
    EXPECT_EQ("<i>a</i><!--[if gte mso 9]>b", ConvertFragment("<i>a</i><!--[if gte mso 9]>b"));
}

TEST_F(WordConverterTest, Anchors) {
    EXPECT_EQ("<b>x</b>", ConvertFragment("<b><a name=\"_Toc1\"></a>x</b>"));
    EXPECT_EQ("<a href=\"http://e.com/\">link</a>",
              ConvertFragment("<a href=\"http://e.com/\">link</a>"));
    EXPECT_EQ("kept", ConvertFragment("<a name=\"OLE_LINK1\">kept</a>"));
}

TEST_F(WordConverterTest, ClassStylesAreInlined) {
    const std::string out =
        ConvertFragment("<span class=Accent style='font-size:9pt'>x</span>",
                        "<style><!-- .Accent {color:red; mso-font-kerning:1pt} --></style>");
    EXPECT_EQ("<span  style='color:red;font-size:9pt'>x</span>", out);
}

std::string Shape(const std::string& id, const std::string& style, const std::string& src,
                  const std::string& extra = "") {
    return "<!--[if gte vml 1]><v:shape id=\"" + id + "\" type=\"#_x0000_t75\" style='" + style +
           "'><v:imagedata src=\"" + src + "\" o:title=\"\"" + extra + "/></v:shape><![endif]-->";
}

std::string Fallback(const std::string& id, const std::string& src) {
    return "<![if !vml]><img width=554 height=415 src=\"" + src + "\" v:shapes=\"" + id +
           "\"><![endif]>";
}

TEST_F(WordConverterTest, PngShapeReplacesItsFallbackPicture) {
    const std::string png = "file:///C:/T/clip_image002.png";
    const std::string out =
        ConvertFragment("<p>" + Shape("P1", "width:415.5pt;height:311.25pt", png) +
                        Fallback("P1", "file:///C:/T/clip_image001.jpg") + "</p>");
    const std::string img = "<img style=\"width:415.5pt;height:311.25pt;\"  src=\"" + png + "\" />";
    EXPECT_EQ("<p>" + img + "</p>", out);
    ASSERT_EQ(1u, converter_.Images().size());
    const ImageTag& tag = *converter_.Images().at("P1");
    EXPECT_EQ("554", tag.width);
    EXPECT_EQ("415", tag.height);
    EXPECT_EQ("C:/T/clip_image002.png", tag.src);
    EXPECT_EQ(img, tag.html);
    EXPECT_EQ("", tag.alt);
    EXPECT_EQ("P1", tag.id);
}

TEST_F(WordConverterTest, TopCroppedShapeLeavesTheFallbackPicture) {
    const std::string out = ConvertFragment(
        "<p>" +
        Shape("P1", "width:415.5pt;height:311.25pt", "file:///C:/T/a.png", " croptop=\"5f\"") +
        Fallback("P1", "file:///C:/T/b.jpg") + "</p>");
    const std::string img =
        "<img  width=\"554\" height=\"415\" alt=\"\" src=\"file:///C:/T/b.jpg\" />";
    EXPECT_EQ("<p>" + img + "</p>", out);
    ASSERT_EQ(1u, converter_.Images().size());
    EXPECT_EQ(img, converter_.Images().at("P1")->html);
    EXPECT_EQ("C:/T/b.jpg", converter_.Images().at("P1")->src);
}

TEST_F(WordConverterTest, ShapeSizesAndFormulas) {
    ConvertFragment(Shape("S1", "width:10pt;height:2in", "file:///C:/a.gif"));
    EXPECT_EQ("192", converter_.Images().at("S1")->height);
    EXPECT_EQ("13", converter_.Images().at("S1")->width);

    const std::string out = ConvertFragment(Shape("S2", "height:30pt", "file:///C:/b.gif"));
    EXPECT_EQ("<img style=\"pt;height:30pt;\"  src=\"file:///C:/b.gif\" />", out);
    EXPECT_EQ("0", converter_.Images().at("S2")->width);

    const std::string formula =
        ConvertFragment("<span>" + Shape("F1", "width:30pt;height:15pt", "file:///C:/e.wmz") +
                        Fallback("F1", "file:///C:/e.gif") + "</span>");
    EXPECT_EQ("<span><img style=\"width:30pt;height:15pt;\"  src=\"file:///C:/e.wmz\" /></span>",
              formula);
    EXPECT_EQ("C:/e.wmz", converter_.Images().at("F1")->src);
}

TEST_F(WordConverterTest, WebPicturesStayAndDuplicateShapeIdsKeepTheFirstRecord) {
    const std::string web = "<img src=\"http://e.com/a.png\" width=1 height=1>";
    EXPECT_EQ(web, ConvertFragment(web));
    EXPECT_TRUE(converter_.Images().empty());

    const std::string out = ConvertFragment(Shape("D", "width:3pt;height:3pt", "file:///C:/1.gif") +
                                            Shape("D", "width:6pt;height:6pt", "file:///C:/2.gif"));
    EXPECT_EQ(std::string::npos, out.find("vshape"));
    EXPECT_NE(std::string::npos, out.find("1.gif"));
    EXPECT_NE(std::string::npos, out.find("2.gif"));
    ASSERT_EQ(1u, converter_.Images().size());
    EXPECT_EQ("C:/1.gif", converter_.Images().at("D")->src);
}

TEST_F(WordConverterTest, PicturesWithoutShapeIdGetKeysOfTheirOwnInDocumentOrder) {
    const std::string out = ConvertFragment(
        "<img width=5 height=6 src=\"file:///C:/z.png\"><img width=7 height=8 "
        "src=\"file://server/share/a.png\"><img width=1 height=1 src=\"file:///C:/s.png\" "
        "v:shapes=\"0shape\">");
    ASSERT_EQ(3u, converter_.Images().size());
    auto it = converter_.Images().begin();
    EXPECT_EQ("C:/z.png", it->second->src);
    EXPECT_EQ("server/share/a.png", (++it)->second->src);
    EXPECT_EQ("0shape", (++it)->first);
    for (const auto& entry : converter_.Images()) {
        EXPECT_NE(std::string::npos, out.find(entry.second->html));
    }
}

TEST_F(WordConverterTest, LocalPicturesWithoutSizeAreSizedByContent) {
    const std::string dir = std::string(QUILLON_BINARY_DIR) + "/office-test-pictures";
    std::remove((dir + "/p.png").c_str());
    ASSERT_EQ(0, system(("mkdir -p '" + dir + "'").c_str()));
    // A PNG signature and IHDR chunk: 300 x 200.
    const unsigned char png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0,  0, 0,
                                 13,   'I', 'H', 'D', 'R',  0,    0,    1,    44, 0, 0,
                                 0,    200, 8,   2,   0,    0,    0,    0,    0,  0, 0};
    std::ofstream(dir + "/p.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png), sizeof png);
    ConvertFragment("<img src=\"file://" + dir + "/p.png\"><img src=\"file://" + dir +
                    "/missing.png\">");
    ASSERT_EQ(2u, converter_.Images().size());
    auto it = converter_.Images().begin();
    EXPECT_EQ(dir + "/p.png", it->second->src) << "the root of a POSIX path stays";
    EXPECT_EQ("300", it->second->width);
    EXPECT_EQ("200", it->second->height);
    ++it;
    EXPECT_EQ("0", it->second->width);
    EXPECT_EQ("0", it->second->height);
}

}  // namespace

// The converter keeps its buffers from one paste to the next: nothing of a large paste may
// show in a smaller one after it, nor in a paste whose read fails.
TEST_F(WordConverterTest, KeptBuffersLeakNothingIntoTheNextPaste) {
    std::string large;
    for (int i = 0; i < 5000; ++i) {
        const std::string n = std::to_string(i);
        large += "<p class=MsoNormal>paragraph " + n + " <img width=1 height=2 src=\"file:///C:/p" +
                 n + ".png\" v:shapes=\"i" + n + "\"></p>";
    }
    ConvertFragment(large);
    ASSERT_GT(converter_.Text().size(), 500000u);
    ASSERT_EQ(5000u, converter_.Images().size());

    const std::string small =
        "<p class=MsoNormal>short<img width=3 height=4 src=\"file:///C:/x.png\" v:shapes=\"s\">"
        "</p>";
    const std::string kept = ConvertFragment(small);
    WordConverter fresh;
    fresh.GetWord();
    EXPECT_EQ(fresh.Text(), kept);
    ASSERT_EQ(1u, converter_.Images().size());
    EXPECT_EQ(fresh.Images().begin()->second->html, converter_.Images().begin()->second->html);

    ConvertFragment(large);
    clipboard_->SetFailReads(true);
    EXPECT_FALSE(converter_.ConvertClipboard());
    EXPECT_EQ("", converter_.Text());
    EXPECT_TRUE(converter_.Images().empty());
}
