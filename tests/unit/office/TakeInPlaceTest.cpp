// The tag pass's result written back into the buffer of the text it was made over: the same
// text as a taken copy, in place when the moves can be made, and a correct text when they cannot.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "Office/WorkingText.h"

namespace {

// The text "<html>" + body + "</html>" edited by `apply` over its body in place, and the same
// edits on a copy taken the usual way; answers whether the result stayed in the buffer.
bool TakenInPlace(const std::string& body, const std::function<void(TagPassText&)>& apply,
                  std::string& inPlace, std::string& copied) {
    std::string holder = "<html>" + body + "</html>";
    const char* const buffer = holder.data();
    {
        WorkingText over(WorkingText::Over{std::string_view(holder).substr(6, body.size())}, {});
        apply(over);
        over.TakeOver(holder);
    }
    WorkingText copy(body);
    apply(copy);
    copy.Take(copied);
    inPlace = holder;
    return holder.data() == buffer;
}

std::string Paragraphs(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text +=
            "<p class=MsoNormal id=p" + std::to_string(i) + ">text " + std::to_string(i) + "</p>";
    }
    return text;
}

TEST(TakeInPlaceTest, EditsGiveTheTextOfATakenCopyInTheSameBuffer) {
    const std::string shape = "<vshape id=s1><vimagedata src=\"file:///C:/a.png\"/></vshape>";
    std::string inPlace, copied;
    // Shrinking only: every token moves towards the front.
    EXPECT_TRUE(TakenInPlace(
        Paragraphs(50) + shape + Paragraphs(50),
        [](TagPassText& t) { t.EraseElement("<vshape id=s1>", "</vshape>"); }, inPlace, copied));
    EXPECT_EQ(inPlace, copied);
    // Growing at the front, shrinking more behind: the front of the text moves towards the back.
    EXPECT_TRUE(TakenInPlace(
        Paragraphs(3) + shape + Paragraphs(3) + std::string(2000, 'x'),
        [](TagPassText& t) {
            t.ReplaceAll("<p class=MsoNormal id=p0>",
                         "<p style=\"margin: 0cm 0cm 0pt; font-size: 10.5pt\">");
            t.EraseElement("<vshape id=s1>", "</vshape>");
        },
        inPlace, copied));
    EXPECT_EQ(inPlace, copied);
    EXPECT_NE(inPlace.find("font-size: 10.5pt"), std::string::npos);
}

// Runs of growth and shrinking in every order: tags replaced by longer or shorter ones, and
// elements erased, at random.
TEST(TakeInPlaceTest, RandomEditsGiveTheTextOfATakenCopy) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + static_cast<int>(random() % 40);
        std::string body;
        for (int i = 0; i < count; ++i) {
            body += "<p id=p" + std::to_string(i) + ">" + std::string(random() % 30, 't') +
                    "<b id=b" + std::to_string(i) + ">x</b></p>";
        }
        const unsigned seed = random();
        // The same edits on both sides, from the same seed.
        auto edit = [seed](TagPassText& t) {
            std::mt19937 r(seed);
            for (int i = 0; i < 40; ++i) {
                const std::string id = std::to_string(r() % 40);
                switch (r() % 3) {
                    case 0:
                        t.ReplaceAll("<p id=p" + id + ">",
                                     "<p style=\"" + std::string(r() % 60, 'g') + "\">");
                        break;
                    case 1:
                        t.ReplaceAll("<p id=p" + id + ">", "<p>");
                        break;
                    default:
                        t.EraseElement("<b id=b" + id + ">", "</b>");
                }
            }
        };
        std::string inPlace, copied;
        TakenInPlace(body, edit, inPlace, copied);
        ASSERT_EQ(inPlace, copied) << "round " << round;
    }
}

TEST(TakeInPlaceTest, AResultLongerThanTheBufferIsStillWhole) {
    std::string inPlace, copied;
    TakenInPlace(
        Paragraphs(20),
        [](TagPassText& t) {
            for (int i = 0; i < 20; ++i) {
                const std::string id = std::to_string(i);
                t.ReplaceAll(
                    "<p class=MsoNormal id=p" + id + ">",
                    "<p style=\"text-justify: inter-ideograph; text-align: justify\" id=p" + id +
                        ">");
            }
        },
        inPlace, copied);
    EXPECT_EQ(inPlace, copied);
    EXPECT_EQ(inPlace.find("class="), std::string::npos);
}

}  // namespace
