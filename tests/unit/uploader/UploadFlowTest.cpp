#include <algorithm>
#include <set>

#include "UploadServer.h"
#include "UploaderFixture.h"
#include "image/ImageEncoding.h"
#include "platform/kernel/Text.h"

namespace {

using testhost::Value;

class UploadFlowTest : public UploaderTest {
  protected:
    void SetUp() override {
        UploaderTest::SetUp();
        AppConfig::Instance().postUrl = server_.Url("/upload");
    }
    void TearDown() override {
        server_.HoldUploads(false);
        UploaderTest::TearDown();
        AppConfig::Instance().postUrl.clear();
    }
    // An entry whose source is `path`, posted.
    std::string PostFile(const std::string& path) {
        const std::string id = AddFile();
        Call("FileUploader_SetLocalFile", {Value(id), Value(path)});
        Call("FileUploader_Post", {Value(id)});
        return id;
    }
    std::string Init(const std::string& id, const std::string& document) {
        Call("FileUploader_Init", {Value(id), Value(document)});
        return id;
    }

    UploadServer server_;
};

TEST_F(UploadFlowTest, PreparedBytesArriveUnderTheirCrcNameWithEventsCarryingIdLoc) {
    // A 2x1 BMP: re-encoded before it leaves.
    std::string bmp(
        "BM\x3e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x01\0\0\0\x01\0\x18\0"
        "\0\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
        "\xff\0\0\0\xff\0\0\0",
        62);
    const std::string path = WriteFile("pic.bmp", bmp);
    const EncodedImage prepared = PrepareUploadImage(util::Utf8ToWide(path), 0, 0);
    ASSERT_GT(prepared.bytes.size, 0u);
    const std::string expected(prepared.bytes.data.get(), prepared.bytes.size);
    server_.SetUploadAnswer("{\"url\":\"/u/1.jpg\"}\n\xff");

    const std::string id = AddFile();
    Init(id, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" + path +
                 "\",\"idLoc\":7,\"Cookie\":\"s=1\"},\"fields\":{\"b\":\"2\",\"a\":\"1\"}}");
    EXPECT_TRUE(Call("FileUploader_GetResponse", {Value(id)}).value == Value(""));
    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 7));

    ASSERT_EQ(server_.UploadCount(), 1u);
    const ReceivedUpload upload = server_.Uploads()[0];
    EXPECT_EQ(upload.fileName, Crc32Name(expected, util::WideToUtf8(prepared.extension)));
    EXPECT_EQ(upload.bytes, expected);
    EXPECT_EQ(upload.cookie, "s=1");
    EXPECT_EQ(upload.fields, (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));

    const std::vector<Json::Value> events = Events();
    ASSERT_GE(events.size(), 2u);
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i]["name"].asString(), "File_PostProcess");
        EXPECT_EQ(events[i]["id"].asInt(), 7);
    }
    const std::string last = EventTexts().back();
    EXPECT_EQ(last,
              "{\"id\":7,\"name\":\"File_PostComplete\",\"value\":"
              "\"{\\\"url\\\":\\\"/u/1.jpg\\\"}\\n\xEF\xBF\xBD\"}\n");
    EXPECT_EQ(Call("FileUploader_GetResponse", {Value(id)}).value.AsString(),
              "{\"url\":\"/u/1.jpg\"}\n\xEF\xBF\xBD");
}

TEST_F(UploadFlowTest, SizeLimitHoldsForSetLocalFileOnly) {
    const std::string exact = SparseFile("exact.dat", 10485760);
    const std::string over = SparseFile("over.dat", 10485761);
    const std::string a = PostFile(exact);
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 0, 30));
    Init(a, "{\"config\":{\"idLoc\":1}}");  // the last Init cleared the address
    EXPECT_TRUE(AppConfig::Instance().postUrl.empty());
    AppConfig::Instance().postUrl = server_.Url("/upload");

    PostFile(over);
    Pump(100);
    EXPECT_EQ(server_.UploadCount(), 1u) << "one byte over the limit is refused";

    const std::string c = AddFile();
    Init(c, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" + over +
                "\",\"idLoc\":3}}");
    Call("FileUploader_Post", {Value(c)});
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 3, 30));
    const std::vector<ReceivedUpload> uploads = server_.Uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].bytes.size(), 10485760u);
    EXPECT_EQ(uploads[1].bytes.size(), 10485761u);
}

TEST_F(UploadFlowTest, FileOverThe32BitCountEndsInErrorNotInAnEmptyUpload) {
    // A ".bmp" would be re-encoded and any other file sent unchanged: both are refused.
    const char* names[] = {"huge.dat", "huge.bmp"};
    for (int reported = 5; reported <= 6; ++reported) {
        const std::string huge = SparseFile(names[reported - 5], off_t(3) << 30);
        const std::string id = AddFile();
        Init(id, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" +
                     huge + "\",\"idLoc\":" + std::to_string(reported) + "}}");
        Call("FileUploader_Post", {Value(id)});
        ASSERT_TRUE(WaitForEvent("File_PostError", reported)) << names[reported - 5];
        Call("FileUploader_DelFile", {Value(id)});
    }
    for (const Json::Value& event : Events()) {
        EXPECT_NE(event["name"].asString(), "File_PostComplete");
        if (event["name"].asString() == "File_PostError") {
            EXPECT_EQ(event["value"].asUInt(), 2u);
        }
    }
    EXPECT_EQ(CountEvents("File_PostError", 5) + CountEvents("File_PostError", 6), 2u);
    EXPECT_EQ(server_.UploadCount(), 0u);
}

TEST_F(UploadFlowTest, MissingFileUploadsNothingUnderTheEmptyCrcName) {
    PostFile(folder_ + "/missing.png");
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 0));
    ASSERT_EQ(server_.UploadCount(), 1u);
    EXPECT_EQ(server_.Uploads()[0].fileName, "00000000.png");
    EXPECT_EQ(server_.Uploads()[0].bytes, "");
}

TEST_F(UploadFlowTest, AddFieldReplacesInitKeepsTheFirstAndARunningUploadKeepsItsCopy) {
    const std::string path = WriteFile("f.txt", "x");
    const std::string id = AddFile();
    Call("FileUploader_SetLocalFile", {Value(id), Value(path)});
    Init(id, "{\"fields\":{\"a\":\"1\"}}");
    Init(id, "{\"fields\":{\"a\":\"2\",\"b\":\"1\"}}");
    Call("FileUploader_AddField", {Value(id), Value("b"), Value("2")});
    server_.HoldUploads(true);
    Call("FileUploader_Post", {Value(id)});
    Call("FileUploader_AddField", {Value(id), Value("late"), Value("x")});
    Call("FileUploader_Post", {Value(id)});  // refused: the first upload still runs
    ASSERT_TRUE(host().RunUntil([&] { return server_.HeldUploads() == 1; }));
    server_.HoldUploads(false);
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 0));
    Pump(100);
    ASSERT_EQ(server_.UploadCount(), 1u);
    EXPECT_EQ(server_.Uploads()[0].fields,
              (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));

    // Idle again: the entry posts once more, now with the late field.
    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(host().RunUntil([&] { return CountEvents("File_PostComplete", 0) == 2; }));
    ASSERT_EQ(server_.UploadCount(), 2u);
    EXPECT_EQ(server_.Uploads()[1].fields.count("late"), 1u);
}

TEST_F(UploadFlowTest, FailedUploadReportsTwoAndKeepsTheEarlierResponse) {
    const std::string id = PostFile(WriteFile("g.txt", "g"));
    server_.SetUploadAnswer("first");
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 0));
    server_.SetUploadAnswer("broken", 500);
    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(WaitForEvent("File_PostError", 0));
    EXPECT_EQ(EventTexts().back(), "{\"id\":0,\"name\":\"File_PostError\",\"value\":2}\n");
    EXPECT_EQ(Call("FileUploader_GetResponse", {Value(id)}).value.AsString(), "first");
}

TEST_F(UploadFlowTest, StoppedUploadEndsWithoutAnEvent) {
    server_.HoldUploads(true);
    const std::string id = PostFile(WriteFile("s.txt", "s"));
    ASSERT_TRUE(host().RunUntil([&] { return server_.HeldUploads() == 1; }));
    Call("FileUploader_Stop", {Value(id)});
    Pump(300);
    server_.HoldUploads(false);
    Pump(200);
    EXPECT_EQ(CountEvents("File_PostComplete", 0) + CountEvents("File_PostError", 0), 0u);
    // Stopped is idle: the entry can post again.
    Call("FileUploader_Post", {Value(id)});
    EXPECT_TRUE(WaitForEvent("File_PostComplete", 0));
}

TEST_F(UploadFlowTest, TwoEntriesUploadAtOnceWithTheirOwnIds) {
    const std::string big = SparseFile("big.dat", 4 << 20);
    server_.HoldUploads(true);
    Init(AddFile(), "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" +
                        big + "\",\"idLoc\":11}}");
    Init(AddFile(), "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" +
                        big + "\",\"idLoc\":22}}");
    Call("FileUploader_Post", {Value("1")});
    Call("FileUploader_Post", {Value("2")});
    // Both requests are inside the server at the same time.
    ASSERT_TRUE(
        host().RunUntil([&] { return server_.HeldUploads() == 2; }, std::chrono::seconds(20)));
    server_.HoldUploads(false);
    ASSERT_TRUE(host().RunUntil(
        [&] {
            return CountEvents("File_PostComplete", 11) + CountEvents("File_PostComplete", 22) == 2;
        },
        std::chrono::seconds(20)));
    // Both sent all their progress before either completed.
    const std::vector<Json::Value> events = Events();
    size_t firstComplete = events.size();
    std::set<int> progressed;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i]["name"].asString() == "File_PostComplete" && firstComplete == events.size())
            firstComplete = i;
        if (events[i]["name"].asString() == "File_PostProcess") {
            EXPECT_LT(i, firstComplete);
            progressed.insert(events[i]["id"].asInt());
        }
    }
    EXPECT_EQ(progressed, (std::set<int>{11, 22}));
}

TEST_F(UploadFlowTest, WebAddressIsDownloadedThenUploadedAfterTheDelay) {
    ServedFile photo;
    photo.bytes = std::string("\x89PNG\r\n\x1a\n-not-converted", 22);
    photo.contentType = "image/png";
    server_.Serve("/pics/photo.png", photo);
    ServedFile named;
    named.bytes = "jpeg bytes";
    named.disposition = "attachment; filename=\"a%20b.JPG\"";
    server_.Serve("/get", named);

    const std::string id = AddFile();
    Init(id, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" +
                 server_.Url("/pics/photo.png?size=2") + "\",\"idLoc\":5}}");
    Call("FileUploader_Post", {Value(id)});
    Call("FileUploader_Stop", {Value(id)});  // only the upload stops, and it has not started
    ASSERT_TRUE(WaitForEvent("File_PostComplete", 5));
    ASSERT_EQ(server_.UploadCount(), 1u);
    ReceivedUpload upload = server_.Uploads()[0];
    EXPECT_EQ(upload.bytes, photo.bytes) << "downloaded bytes go out unchanged";
    EXPECT_EQ(upload.fileName, Crc32Name(photo.bytes, ".png"));
    EXPECT_GE(upload.at - server_.LastDownloadAt(), std::chrono::milliseconds(195));

    Call("FileUploader_SetLocalFile", {Value(id), Value(server_.Url("/get?x=1.gif"))});
    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(host().RunUntil([&] { return CountEvents("File_PostComplete", 5) == 2; }));
    upload = server_.Uploads()[1];
    EXPECT_EQ(upload.fileName, Crc32Name(named.bytes, ".jpg")) << "the served name's extension";
}

TEST_F(UploadFlowTest, FailedDownloadRaisesErrorTwelveOnly) {
    const std::string id = AddFile();
    Init(id, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" +
                 server_.Url("/absent.png") + "\",\"idLoc\":4}}");
    Call("FileUploader_Post", {Value(id)});
    ASSERT_TRUE(WaitForEvent("Fire_DownError", 4));
    Pump(400);  // longer than the upload delay
    EXPECT_EQ(EventTexts(),
              (std::vector<std::string>{"{\"id\":4,\"name\":\"Fire_DownError\",\"value\":12}\n"}));
    EXPECT_EQ(server_.UploadCount(), 0u);
}

TEST_F(UploadFlowTest, EntriesDeletedInEveryPhaseStopQuietly) {
    ServedFile slow;
    slow.bytes = "slow";
    slow.delayMs = 1000;
    server_.Serve("/slow.png", slow);
    ServedFile quick;
    quick.bytes = "quick";
    server_.Serve("/quick.png", quick);
    server_.HoldUploads(true);

    // The upload is held first, so that the only held upload is this one; then the quick
    // download ends and its entry waits out the upload delay while the slow one downloads.
    const std::string uploading = PostFile(SparseFile("u.dat", 1 << 20));
    ASSERT_TRUE(host().RunUntil([&] { return server_.HeldUploads() == 1; }));
    const std::string downloading = PostFile(server_.Url("/slow.png"));
    const std::string waiting = PostFile(server_.Url("/quick.png"));
    ASSERT_TRUE(host().RunUntil([&] { return server_.Downloads() >= 1; }));
    for (const std::string& id : {downloading, waiting, uploading})
        Call("FileUploader_DelFile", {Value(id)});
    const size_t uploadsBefore = server_.UploadCount();
    server_.HoldUploads(false);
    ASSERT_TRUE(host().RunUntil([] { return CImageFileUploader::LiveCount() == 0; },
                                std::chrono::seconds(15)));
    Pump(400);
    EXPECT_EQ(server_.UploadCount(), uploadsBefore) << "no delayed upload after deletion";
    EXPECT_EQ(onEvent_.CallCount(), CountEvents("File_PostProcess", 0))
        << "nothing but progress reported before the deletion";
}

TEST_F(UploadFlowTest, DestroyingTheInstanceWithBusyEntriesIsClean) {
    ServedFile slow;
    slow.bytes = "slow";
    slow.delayMs = 200;
    server_.Serve("/slow.png", slow);
    server_.HoldUploads(true);
    PostFile(server_.Url("/slow.png"));
    PostFile(SparseFile("v.dat", 1 << 20));
    ASSERT_TRUE(host().RunUntil([&] { return server_.HeldUploads() == 1; }));
    ASSERT_EQ(instance_->Destroy(), NPERR_NO_ERROR);
    server_.HoldUploads(false);
    ASSERT_TRUE(host().RunUntil([] { return CImageFileUploader::LiveCount() == 0; },
                                std::chrono::seconds(15)));
}

}  // namespace

namespace {

// The page may delete an entry from inside its event callback, while the delivery holds the
// event queue and the entry's worker waits to queue its next progress event.
TEST_F(UploadFlowTest, DeletingFromInsideADeliveryDoesNotWaitForTheWorker) {
    const std::string big = SparseFile("d.dat", 16 << 20);
    const std::string id = AddFile();
    Init(id, "{\"config\":{\"PostUrl\":\"" + server_.Url("/upload") + "\",\"pathLoc\":\"" + big +
                 "\"}}");
    CPlugin& plugin = PluginOf(*instance_);
    Call("FileUploader_Post", {Value(id)});
    // Not pumped: the first progress event stays queued.
    for (int i = 0; i < 1000 && plugin.eventQueue()->Size() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(plugin.eventQueue()->Size(), 0u);
    bool deleted = false;
    plugin.eventQueue()->Process([&](const MsgQueue::Entry&) {
        if (deleted) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        deleted = Call("FileUploader_DelFile", {Value(id)}).ok;
    });
    EXPECT_TRUE(deleted);
    ASSERT_TRUE(host().RunUntil([] { return CImageFileUploader::LiveCount() == 0; },
                                std::chrono::seconds(15)));
}

}  // namespace
