// The scan must cut every input exactly where htmlcxx's SAX parser cuts it.
#include <gtest/gtest.h>
#include <htmlcxx/html/ParserSax.h>

#include <dirent.h>

#include <fstream>
#include <random>
#include <sstream>

#include "Office/HtmlScan.h"
#include "TestFiles.h"

namespace {

struct Piece {
    HtmlPiece::Kind kind;
    uint32_t offset;
    uint32_t length;
    std::string text;
    std::string name;
    bool operator==(const Piece& o) const {
        return kind == o.kind && offset == o.offset && length == o.length && text == o.text &&
               name == o.name;
    }
};

std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << int(p.kind) << "@" << p.offset << "+" << p.length << " [" << p.text << "] <"
              << p.name << ">";
}

class Recorder : public htmlcxx::HTML::ParserSax {
  public:
    std::vector<Piece> pieces;

  protected:
    void foundText(htmlcxx::HTML::Node n) override { Add(HtmlPiece::kText, n); }
    void foundComment(htmlcxx::HTML::Node n) override { Add(HtmlPiece::kComment, n); }
    void foundTag(htmlcxx::HTML::Node n, bool isEnd) override {
        Add(isEnd ? HtmlPiece::kEndTag : HtmlPiece::kTag, n);
    }

  private:
    void Add(HtmlPiece::Kind kind, const htmlcxx::HTML::Node& n) {
        const bool tag = kind == HtmlPiece::kTag || kind == HtmlPiece::kEndTag;
        pieces.push_back(Piece{kind, static_cast<uint32_t>(n.offset()),
                               static_cast<uint32_t>(n.length()), n.text(),
                               tag ? n.tagName() : std::string()});
    }
};

void ExpectSameCuts(const std::string& html) {
    Recorder sax;
    sax.parse(html);
    std::vector<Piece> ours;
    ScanHtml(html, [&](const HtmlPiece& p) {
        const size_t nameAt = p.offset + (p.kind == HtmlPiece::kEndTag ? 2 : 1);
        const bool tag = p.kind == HtmlPiece::kTag || p.kind == HtmlPiece::kEndTag;
        ours.push_back(Piece{p.kind, p.offset, p.length, html.substr(p.offset, p.length),
                             tag ? html.substr(nameAt, p.nameLength) : std::string()});
    });
    ASSERT_EQ(sax.pieces.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(sax.pieces[i], ours[i]) << "piece " << i;
}

using testfiles::ReadFile;

TEST(HtmlScanTest, CutsTheCorpusAsTheSaxParserDoes) {
    size_t files = 0;
    for (const char* folder : {"word", "excel", "browser"}) {
        const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/" + folder;
        DIR* d = opendir(dir.c_str());
        ASSERT_NE(nullptr, d) << dir;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() < 5 || name.substr(name.size() - 5) != ".html") continue;
            SCOPED_TRACE(name);
            ExpectSameCuts(ReadFile(dir + "/" + name));
            ++files;
        }
        closedir(d);
    }
    EXPECT_GE(files, 40u);
}

TEST(HtmlScanTest, LiteralElementsCommentsAndBrokenMarkup) {
    for (const char* html : {"<style>a<b>c</b></STYLE >d",
                             "<script>x<!-- </script> -->y</script>z",
                             "<plaintext>a</plaintext>b",
                             "<textarea>a<b></textarea>",
                             "<xmp>a</xmp",
                             "<style>",
                             "<style><",
                             "<style></",
                             "<style></styl",
                             "<style><!-",
                             "<!-- a -- >b",
                             "<!--a--",
                             "<!doctype html>",
                             "<?xml a='>'?>",
                             "<%x%>",
                             "</ >",
                             "</1>",
                             "<",
                             "a<",
                             "<a href=\"x>y\">",
                             "<a href='x",
                             "<a b= 'c'>",
                             "<a b=",
                             "<p\0q>r",
                             "<P>x</p>",
                             "<br/><img src=a.png>",
                             "\xc3\xa9<\xc3\xa9>",
                             "<a\xff=1>"}) {
        SCOPED_TRACE(html);
        ExpectSameCuts(html);
    }
    const char withNul[] = "<p\0q>r</p>\0<a";
    ExpectSameCuts(std::string(withNul, sizeof withNul - 1));
}

TEST(HtmlScanTest, GeneratedMarkup) {
    std::mt19937 rng(11);
    const char* pieces[] = {"<p>",   "</p>",     "<br>",    "<!--",      "-->", "-- >", "<",
                            ">",     "</",       "=",       "'",         "\"",  " ",    "x",
                            "<a b=", "<style>",  "</style", "</style >", "<!",  "<?",   "<%",
                            "-",     "<script>", "<xmp>",   "</XMP>",    "\n",  "</a>", "\0"};
    for (int round = 0; round < 5000; ++round) {
        std::string html;
        const int n = rng() % 40;
        for (int i = 0; i < n; ++i) {
            const char* p = pieces[rng() % (sizeof pieces / sizeof *pieces)];
            html += *p ? std::string(p) : std::string(1, '\0');
        }
        SCOPED_TRACE(html);
        ExpectSameCuts(html);
    }
}

}  // namespace
