// One attribute read from a tag text gives what htmlcxx's attribute parser gives for it, on the
// corpus's shapes and on generated tags full of the parser's corner cases (repeated names,
// names in capitals, unclosed quotes, blanks inside quotes, bare values, stray signs).
#include <gtest/gtest.h>

#include <dirent.h>
#include <htmlcxx/html/Node.h>

#include <random>
#include <string>

#include "Office/TagAttribute.h"
#include "TestFiles.h"

namespace {

void ExpectAsParser(const std::string& tag) {
    htmlcxx::HTML::Node node;
    node.text(tag);
    node.isTag(true);
    node.parseAttributes();
    for (const char* name : {"id", "style", "o:spid", "x"}) {
        const auto expected = node.attribute(name);
        std::string value = "stale";
        EXPECT_EQ(expected.first, TagAttribute(tag, name, value)) << name << " in " << tag;
        EXPECT_EQ(expected.second, value) << name << " in " << tag;
    }
}

TEST(TagAttributeTest, SameAsTheAttributeParserOnCorpusShapes) {
    const std::string dir = std::string(QUILLON_CORPUS_DIR) + "/word";
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(nullptr, d) << dir;
    size_t shapes = 0;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 5 || name.substr(name.size() - 5) != ".html") continue;
        const std::string html = testfiles::ReadFile(dir + "/" + name);
        for (size_t p = html.find("<v:shape "); p != std::string::npos;
             p = html.find("<v:shape ", p + 1)) {
            const size_t end = html.find('>', p);
            if (end == std::string::npos) break;
            ExpectAsParser(html.substr(p, end + 1 - p));
            ++shapes;
        }
    }
    closedir(d);
    EXPECT_GT(shapes, 10u);
}

TEST(TagAttributeTest, SameAsTheAttributeParserOnGeneratedTags) {
    // Each tag starts "<v " so that the parser's name scan, which does not stop at the end of
    // its text, stops at the blank.
    const std::string pieces[] = {"id",
                                  "ID",
                                  "Id",
                                  "x",
                                  "=",
                                  "\"",
                                  "'",
                                  " ",
                                  "\t",
                                  ">",
                                  "-",
                                  "/",
                                  ":",
                                  "a",
                                  "1",
                                  "id=a",
                                  "id='b c' ",
                                  "x=\"",
                                  "\"d\"",
                                  "style",
                                  " = ",
                                  "o:spid",
                                  std::string(1, '\0')};
    std::mt19937 random(20261210);
    for (int round = 0; round < 20000; ++round) {
        std::string tag = "<v ";
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) tag += pieces[random() % std::size(pieces)];
        if (random() % 2) tag += '>';
        ExpectAsParser(tag);
        if (HasFailure()) return;
    }
}

}  // namespace
