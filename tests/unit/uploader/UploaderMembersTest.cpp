#include "UploadServer.h"
#include "UploaderFixture.h"
#include "platform/kernel/CodePage.h"

namespace {

using testhost::Value;

TEST_F(UploaderTest, IdsCountUpAndAreNeverReused) {
    EXPECT_EQ(AddFile(), "1");
    EXPECT_EQ(AddFile(), "2");
    EXPECT_TRUE(Call("FileUploader_DelFile", {Value("1")}).ok);
    EXPECT_EQ(AddFile(), "3");
    // The deleted id is gone: its members do nothing.
    EXPECT_TRUE(Call("FileUploader_GetResponse", {Value("1")}).value.IsVoid());
    EXPECT_TRUE(Call("FileUploader_GetResponse", {Value("2")}).value.IsString());
}

TEST_F(UploaderTest, UnknownIdsChangeNothing) {
    AppConfig& app = AppConfig::Instance();
    app.postUrl = "http://kept/";
    app.encodeType = "UTF-8";
    AddFile();
    for (const char* member :
         {"FileUploader_Post", "FileUploader_Stop", "FileUploader_GetResponse",
          "FileUploader_DelFile", "FileUploader_SetLocalFile", "FileUploader_Init"}) {
        testhost::ScriptResult result = Call(member, {Value("7"), Value("{}")});
        EXPECT_TRUE(result.ok) << member;
        EXPECT_TRUE(result.value.IsVoid()) << member;
    }
    Call("FileUploader_SetPostUrl", {Value("7"), Value("http://changed/")});
    Call("FileUploader_SetEncodeType", {Value("0"), Value("GBK")});
    EXPECT_EQ(app.postUrl, "http://kept/");
    EXPECT_EQ(app.encodeType, "UTF-8");
    EXPECT_EQ(AddFile(), "2") << "the unknown DelFile left the table alone";
    Pump(50);
    EXPECT_EQ(onEvent_.CallCount(), 0u);
}

TEST_F(UploaderTest, ProcessSettingsAreWrittenThroughAnyKnownEntry) {
    AppConfig& app = AppConfig::Instance();
    const std::string id = AddFile();
    Call("FileUploader_SetEncodeType", {Value(id), Value("UTF-8")});
    Call("FileUploader_SetImageType", {Value(id), Value("JPG")});
    Call("FileUploader_SetJpgQuality", {Value(id), Value(300)});
    EXPECT_EQ(app.encodeType, "utf-8");
    EXPECT_EQ(app.imageType, "jpg");
    EXPECT_EQ(app.jpegQuality, 300);
    Call("FileUploader_SetJpgQuality", {Value(id), Value(100)});

    // The address is kept in the ANSI code page.
    platform::SetAnsiCodePage("GBK");
    Call("FileUploader_SetPostUrl", {Value(id), Value(u8"http://h/上传")});
    EXPECT_EQ(app.postUrl, "http://h/\xC9\xCF\xB4\xAB");
    platform::SetAnsiCodePage("");
    app.postUrl.clear();
}

TEST_F(UploaderTest, ScriptObjectsAreKeptOnceAndReleasedWithTheEntry) {
    const std::string id = AddFile();
    testhost::PageFunction first = host().NewFunction();
    testhost::PageFunction second = host().NewFunction();
    const int64_t base = host().ReferenceCount(first.object());
    Call("FileUploader_SetOnComplete", {Value(id), Value(first)});
    Call("FileUploader_SetObject", {Value(id), Value(first)});
    Call("FileUploader_StateChanged", {Value(id), Value(first)});
    EXPECT_EQ(host().ReferenceCount(first.object()), base + 3);
    Call("FileUploader_SetOnComplete", {Value(id), Value(second)});
    EXPECT_EQ(host().ReferenceCount(first.object()), base + 2) << "a replaced object is released";
    Call("FileUploader_DelFile", {Value(id)});
    EXPECT_EQ(host().ReferenceCount(first.object()), base);
    EXPECT_EQ(host().ReferenceCount(second.object()), base);
    EXPECT_EQ(first.CallCount() + second.CallCount(), 0u) << "never called";
}

TEST_F(UploaderTest, PostWithoutAddressOrSourceStartsNothing) {
    UploadServer server;
    const std::string path = WriteFile("a.txt", "abc");
    const std::string id = AddFile();
    Call("FileUploader_SetLocalFile", {Value(id), Value(path)});
    Call("FileUploader_Post", {Value(id)});  // no address yet

    const std::string empty = AddFile();
    Call("FileUploader_SetPostUrl", {Value(empty), Value(server.Url("/upload"))});
    Call("FileUploader_Post", {Value(empty)});  // no source

    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 0));
    Pump(100);
    EXPECT_EQ(server.UploadCount(), 1u);
    EXPECT_EQ(CountEvents("File_PostComplete", 0), 1u);
}

}  // namespace
