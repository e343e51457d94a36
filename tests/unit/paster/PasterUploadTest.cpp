#include <string>
#include <vector>

#include "PasterFixture.h"

namespace pastertest {
namespace {

using testhost::Value;

bool IsDecimal(const Value& value) {
    const std::string& text = value.AsString();
    return value.IsString() && !text.empty() &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class PasterUploadTest : public PasterTest {
  protected:
    void SetUp() override {
        PasterTest::SetUp();
        object_ = host().NewFunction();
        onError_ = host().NewFunction();
        ASSERT_TRUE(instance().Set("ImgPst_PostUrl", Value(server().Url())));
        ASSERT_TRUE(instance().Set("ImgPst_Object", Value(object_)));
        ASSERT_TRUE(instance().Set("ImgPst_OnError", Value(onError_)));
    }
    // A file list whose first image is a.PNG, behind a file that is not an image.
    std::string PutPngOnClipboard(const std::string& bytes) {
        WriteFile(tempDir_ + "/notes.txt", "text");
        WriteFile(tempDir_ + "/a.PNG", bytes);
        clipboard().SetFileList({Wide(tempDir_ + "/notes.txt"), Wide(tempDir_ + "/a.PNG")});
        return bytes;
    }

    testhost::PageFunction object_;
    testhost::PageFunction onError_;
};

TEST_F(PasterUploadTest, BitmapIsUploadedAsJpegWithProgressThenCompletion) {
    // One function behind both callbacks keeps their relative order: progress calls carry five
    // arguments, the completion call one.
    testhost::PageFunction calls = host().NewFunction();
    ASSERT_TRUE(instance().Set("ImgPst_OnPost", Value(calls)));
    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(calls)));
    ASSERT_TRUE(instance().Call("ImgPst_AddField", {Value("user"), Value("1")}).ok);
    instance().Call("ImgPst_AddField", {Value("user"), Value("2")});
    instance().Call("ImgPst_AddField", {Value("n"), Value(5)});
    instance().Call("ImgPst_AddField", {Value(5), Value("v")});
    instance().Call("ImgPst_ClearFields");
    server().SetReply(200, "{\"url\":\"/files/1.jpg\"}");
    // The copied files are ignored while a bitmap is offered.
    PutPngOnClipboard("png bytes");
    clipboard().SetBitmap(TestBitmap(160, 120));

    EXPECT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(host().RunUntil(
        [&] { return calls.CallCount() > 0 && calls.Calls().back().size() == 1; }, kWait));
    host().RunPending();

    const std::vector<ReceivedUpload> uploads = server().Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_TRUE(EndsWith(uploads[0].fileName, ".jpg")) << uploads[0].fileName;
    ASSERT_GT(uploads[0].content.size(), 2u);
    EXPECT_EQ(uploads[0].content.substr(0, 2), "\xff\xd8");
    EXPECT_EQ(uploads[0].fields, (std::map<std::string, std::string>{{"user", "1"}}));

    const std::vector<std::vector<Value>> all = calls.Calls();
    ASSERT_GE(all.size(), 2u) << "at least one progress report before the completion";
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        ASSERT_EQ(all[i].size(), 5u);
        EXPECT_EQ(all[i][0], Value(object_));
        EXPECT_TRUE(IsDecimal(all[i][1])) << all[i][1];
        EXPECT_TRUE(IsDecimal(all[i][2])) << all[i][2];
        EXPECT_LE(std::stoll(all[i][2].AsString()),
                  static_cast<long long>(uploads[0].content.size()));
        EXPECT_TRUE(EndsWith(all[i][3].AsString(), "%")) << all[i][3];
        EXPECT_EQ(all[i][4].AsString().size(), 8u) << all[i][4];
    }
    EXPECT_EQ(all.back(), (std::vector<Value>{Value(object_)}));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("{\"url\":\"/files/1.jpg\"}"));
    EXPECT_EQ(onError_.CallCount(), 0u);
    EXPECT_EQ(host().OutstandingAllocations(), 0u) << "callback argument texts are freed";
}

TEST_F(PasterUploadTest, DeviceIndependentBitmapIsUploadedAsJpeg) {
    testhost::PageFunction onComplete = host().NewFunction();
    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(onComplete)));
    clipboard().SetData(platform::kClipboardDib, TestDib(8, 6));
    EXPECT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(WaitForCalls(onComplete, 1));
    const std::vector<ReceivedUpload> uploads = server().Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_TRUE(EndsWith(uploads[0].fileName, ".jpg"));
    EXPECT_EQ(uploads[0].content.substr(0, 2), "\xff\xd8");
}

TEST_F(PasterUploadTest, ResponseKeepsThePreviousAnswerOnlyDuringFileUploads) {
    testhost::PageFunction onComplete = host().NewFunction();
    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(onComplete)));
    const std::string png = PutPngOnClipboard(std::string("\x89PNG\r\n\x1a\n\0data", 13));
    server().SetReply(200, "first");
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(WaitForCalls(onComplete, 1));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("first"));
    ASSERT_EQ(server().Uploads().size(), 1u);
    EXPECT_EQ(server().Uploads()[0].content, png) << "an image file is sent unchanged";
    EXPECT_TRUE(EndsWith(server().Uploads()[0].fileName, ".png"));

    // A file upload under way: the previous answer stays readable, and a second paste is
    // refused without a start or any call.
    server().Hold();
    server().SetReply(200, "second");
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(server().WaitForArrivals(2));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("first"));
    clipboard().SetBitmap(TestBitmap(8, 8));
    EXPECT_TRUE(instance().Call("ImgPst_Paste").value.IsVoid());
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("first"));
    server().Release();
    ASSERT_TRUE(WaitForCalls(onComplete, 2));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("second"));

    // A bitmap upload under way: the response is empty until it completes.
    server().Hold();
    server().SetReply(200, "third");
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value(""));
    server().Release();
    ASSERT_TRUE(WaitForCalls(onComplete, 3));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("third"));
    host().RunPending();
    EXPECT_EQ(server().Uploads().size(), 3u) << "the refused paste sent nothing";
    EXPECT_EQ(onComplete.CallCount(), 3u);
    EXPECT_EQ(onError_.CallCount(), 0u);
}

TEST_F(PasterUploadTest, FailedStatusReportsError2AndKeepsTheResponse) {
    testhost::PageFunction onComplete = host().NewFunction();
    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(onComplete)));
    PutPngOnClipboard("png");
    server().SetReply(200, "kept");
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(WaitForCalls(onComplete, 1));

    server().SetReply(500, "broken");
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(WaitForCalls(onError_, 1));
    host().RunPending();
    EXPECT_EQ(onError_.Calls(), (std::vector<std::vector<Value>>{{Value(object_), Value(2)}}));
    EXPECT_EQ(onComplete.CallCount(), 1u);
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value("kept"));
}

TEST_F(PasterUploadTest, HeadersThatCannotBeSentReport1Then2) {
    ResettingServer resetting;
    ASSERT_NE(resetting.Port(), 0);
    ASSERT_TRUE(instance().Set(
        "ImgPst_PostUrl", Value("https://127.0.0.1:" + std::to_string(resetting.Port()) + "/")));
    clipboard().SetBitmap(TestBitmap(4, 4));
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    ASSERT_TRUE(WaitForCalls(onError_, 2));
    EXPECT_EQ(onError_.StringArgs(1), (std::vector<std::string>{"1", "2"}));
}

TEST_F(PasterUploadTest, CallsScheduledBeforeTheInstanceIsDestroyedDoNothing) {
    host().SetRunCallsForDestroyedInstances(true);  // even a browser that runs them anyway
    testhost::PageFunction calls = host().NewFunction();
    ASSERT_TRUE(instance().Set("ImgPst_OnPost", Value(calls)));
    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(calls)));
    const int64_t base = host().ReferenceCount(object_.object());
    server().Hold();
    clipboard().SetBitmap(TestBitmap(64, 64));
    ASSERT_EQ(instance().Call("ImgPst_Paste").value, Value(true));
    // The whole body has reached the server, so progress calls wait on the main thread.
    ASSERT_TRUE(server().WaitForArrivals(1));
    EXPECT_GT(host().PendingAsyncCalls(), 0u);
    // Destroying stops the held upload and waits for its worker.
    ASSERT_EQ(instance().Destroy(), NPERR_NO_ERROR);
    host().RunPending();
    EXPECT_EQ(calls.CallCount(), 0u);
    EXPECT_EQ(onError_.CallCount(), 0u);
    EXPECT_EQ(host().ReferenceCount(object_.object()), base - 1) << "released at destruction";
}

}  // namespace
}  // namespace pastertest
