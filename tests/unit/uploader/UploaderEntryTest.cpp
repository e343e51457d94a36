#include <gtest/gtest.h>

#include "config/AppConfig.h"
#include "image/CImageFileUploader.h"

namespace {

TEST(WebAddress, NeedsASchemeOfTwoOrMoreCharactersBeforeColonSlashSlash) {
    EXPECT_TRUE(IsWebAddress(L"http://h/a.png"));
    EXPECT_TRUE(IsWebAddress(L"HTTPS://h/"));
    EXPECT_TRUE(IsWebAddress(L"ftp://h/x"));
    EXPECT_TRUE(IsWebAddress(L"svn+ssh://h/x"));
    EXPECT_FALSE(IsWebAddress(L"C:\\pics\\a.png"));
    EXPECT_FALSE(IsWebAddress(L"C://pics/a.png")) << "a drive letter";
    EXPECT_FALSE(IsWebAddress(L"/tmp/http://x"));
    EXPECT_FALSE(IsWebAddress(L"1http://x"));
    EXPECT_FALSE(IsWebAddress(L"mailto:a@b"));
    EXPECT_FALSE(IsWebAddress(L""));
}

TEST(DownloadedExtension, ServedNameFirstThenTheAddressPathWithoutQuery) {
    EXPECT_EQ(DownloadedExtension(L"a b.JPG", L"http://h/get"), L".JPG");
    EXPECT_EQ(DownloadedExtension(L"photo.png?size=2", L"http://h/photo.png?size=2"), L".png");
    EXPECT_EQ(DownloadedExtension(L"get?x=1.gif", L"http://h/get?x=1.gif"), L"");
    EXPECT_EQ(DownloadedExtension(L"", L"http://h/d/p.gif#top"), L".gif");
    EXPECT_EQ(DownloadedExtension(L"", L"http://example.com"), L"") << "not the host";
    EXPECT_EQ(DownloadedExtension(L"", L"http://example.com/"), L"");
}

class UploaderDocument : public ::testing::Test {
  protected:
    void SetUp() override { AppConfig::Instance().postUrl = "http://before/"; }
    void TearDown() override { AppConfig::Instance().postUrl.clear(); }
    // These entries never transfer, so no event reaches the sink.
    struct NoEvents : script::EventSink {
        void PostEvent(std::string) override {}
    } events_;
    CImageFileUploader entry_{4, events_};
};

TEST_F(UploaderDocument, ConfigKeysAreAppliedTogether) {
    ASSERT_TRUE(entry_.ApplyDocument(
        "{\"config\":{\"pathLoc\":\"/p/\xE5\x9B\xBE.png\",\"idLoc\":7,\"Cookie\":\"c=1\","
        "\"Width\":\"640\",\"Height\":\"48x\",\"ThumbWidth\":\"9\",\"ThumbHeight\":\"8\"}}"));
    EXPECT_EQ(entry_.source(), L"/p/\u56FE.png");
    EXPECT_EQ(entry_.reportedId(), 7);
    EXPECT_EQ(entry_.tableId(), 4);
    EXPECT_EQ(entry_.cookie(), "c=1");
    EXPECT_EQ(entry_.width(), 640);
    EXPECT_EQ(entry_.height(), 48);
    EXPECT_EQ(entry_.thumbWidth(), 9);
    EXPECT_EQ(entry_.thumbHeight(), 8);
    EXPECT_EQ(AppConfig::Instance().postUrl, "") << "a config without PostUrl clears it";
    EXPECT_EQ(entry_.sourceSize(), 0) << "the document does not take the size";
}

TEST_F(UploaderDocument, AFailingConfigAppliesNothingButEarlierFieldsStay) {
    EXPECT_FALSE(entry_.ApplyDocument(
        "{\"fields\":{\"a\":\"1\"},\"config\":{\"pathLoc\":\"/x\",\"idLoc\":\"7\"}}"));
    EXPECT_FALSE(entry_.ApplyDocument("{\"config\":{\"Width\":640}}"));
    EXPECT_FALSE(entry_.ApplyDocument("{\"config\":[1]}"));
    EXPECT_FALSE(entry_.ApplyDocument("not json"));
    EXPECT_FALSE(entry_.ApplyDocument("{\"fields\":{\"b\":[1]}}"));
    EXPECT_EQ(entry_.reportedId(), 0);
    EXPECT_EQ(entry_.width(), 0);
    EXPECT_TRUE(entry_.source().empty());
    EXPECT_EQ(AppConfig::Instance().postUrl, "http://before/");
    EXPECT_EQ(entry_.fields(), (FormFieldMap{{"a", "1"}}));
}

TEST_F(UploaderDocument, ADocumentWithoutConfigKeepsTheSettings) {
    ASSERT_TRUE(entry_.ApplyDocument("{\"config\":{\"PostUrl\":\"http://u/\",\"idLoc\":3}}"));
    ASSERT_TRUE(entry_.ApplyDocument("{\"fields\":{\"a\":\"1\"}}"));
    EXPECT_EQ(entry_.reportedId(), 3);
    EXPECT_EQ(AppConfig::Instance().postUrl, "http://u/");
}

TEST_F(UploaderDocument, PostIsRefusedWithoutSourceOrOverTheLimit) {
    EXPECT_FALSE(entry_.Post()) << "no source";
    entry_.SetLocalFile(L"/nonexistent/file.png");
    EXPECT_EQ(entry_.sourceSize(), 0);
    EXPECT_TRUE(entry_.Validate());
    AppConfig::Instance().postUrl.clear();
    EXPECT_FALSE(entry_.Validate());
    AppConfig::Instance().postUrl = "http://before/";
    entry_.SetLocalFile(L"/proc/self/exe");  // some real file
    EXPECT_GT(entry_.sourceSize(), 0);
    AppConfig::Instance().maxFileSize = entry_.sourceSize() - 1;
    EXPECT_FALSE(entry_.Validate());
    AppConfig::Instance().maxFileSize = entry_.sourceSize();
    EXPECT_TRUE(entry_.Validate());
    AppConfig::Instance().maxFileSize = 10485760;
    // A web address keeps the size taken before.
    const int32_t size = entry_.sourceSize();
    entry_.SetLocalFile(L"http://h/a.png");
    EXPECT_EQ(entry_.sourceSize(), size);
}

}  // namespace
