#include <sys/stat.h>

#include <string>
#include <vector>

#include "PasterFixture.h"
#include "config/AppConfig.h"

namespace pastertest {
namespace {

using testhost::Value;

TEST_F(PasterTest, ThumbSizeTakesOnlyAPairOfDoubles) {
    AppConfig& config = AppConfig::Instance();
    config.thumbWidth = 7;
    config.thumbHeight = 9;
    EXPECT_TRUE(instance().Call("ImgPst_SetThumbSize", {Value(120), Value(80)}).ok);
    EXPECT_EQ(config.thumbWidth, 7) << "whole numbers arrive as Int32 and change nothing";
    EXPECT_EQ(config.thumbHeight, 9);
    instance().Call("ImgPst_SetThumbSize", {Value(120.5), Value(80)});
    instance().Call("ImgPst_SetThumbSize", {Value(120.5)});
    EXPECT_EQ(config.thumbWidth, 7);
    const testhost::ScriptResult set =
        instance().Call("ImgPst_SetThumbSize", {Value(120.5), Value(80.9)});
    EXPECT_TRUE(set.ok);
    EXPECT_TRUE(set.value.IsVoid());
    EXPECT_EQ(config.thumbWidth, 120);
    EXPECT_EQ(config.thumbHeight, 80);
}

TEST_F(PasterTest, TextSettingsAreStoredAsGivenAndWrongTypesIgnored) {
    AppConfig& config = AppConfig::Instance();
    ASSERT_TRUE(instance().Set("ImgPst_EncodeType", Value("UTF-8")));
    EXPECT_EQ(config.encodeType, "UTF-8") << "not lower-cased";
    ASSERT_TRUE(instance().Set("ImgPst_ImageType", Value("Png")));
    EXPECT_EQ(config.imageType, "Png");
    ASSERT_TRUE(instance().Set("ImgPst_PostUrl", Value("http://h/\xe4\xb8\xad?\xff")));
    EXPECT_EQ(config.postUrl, "http://h/\xe4\xb8\xad?\xef\xbf\xbd") << "through UTF-16 and back";

    instance().Set("ImgPst_PostUrl", Value(5));
    instance().Set("ImgPst_EncodeType", Value::Null());
    EXPECT_EQ(config.postUrl, "http://h/\xe4\xb8\xad?\xef\xbf\xbd");
    EXPECT_EQ(config.encodeType, "UTF-8");

    // Write-only properties read as void; the read-only response ignores writes.
    for (const char* name : {"ImgPst_PostUrl", "ImgPst_EncodeType", "ImgPst_Object",
                             "ImgPst_OnComplete", "ImgPst_OnError"})
        EXPECT_TRUE(instance().Get(name).value.IsVoid()) << name;
    instance().Set("ImgPst_Response", Value("forged"));
    EXPECT_EQ(instance().Get("ImgPst_Response").value, Value(""));
}

TEST_F(PasterTest, CollectedFilesComeBackOnceInListOrder) {
    const std::string folder = tempDir_ + "/sub";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string x = tempDir_ + "/x.JPG", y = tempDir_ + "/y.jpeg", z = tempDir_ + "/z.gif";
    clipboard().SetFileList({Wide(x), Wide(y), Wide(z), Wide(folder), Wide(tempDir_ + "/dot."),
                             Wide(tempDir_ + "/nodot")});

    EXPECT_EQ(instance().Get("ImgPst_GetFiles").ok, false) << "a method, not a property";
    EXPECT_EQ(instance().Call("ImgPst_IsFile").value, Value(true));
    EXPECT_EQ(instance().Call("ImgPst_IsFile").value, Value(true));
    const testhost::ScriptResult files = instance().Call("ImgPst_GetFiles");
    ASSERT_TRUE(files.value.IsObject());
    EXPECT_EQ(host().ArrayItems(files.value.AsObject()),
              (std::vector<Value>{Value(x), Value(z), Value(x), Value(z)}));
    EXPECT_TRUE(instance().Call("ImgPst_GetFiles").value.IsNull()) << "the list was emptied";

    // A file list alone counts as a bitmap, and is collected on the way.
    EXPECT_EQ(instance().Call("ImgPst_IsBitmap").value, Value(true));
    const testhost::ScriptResult again = instance().Call("ImgPst_GetFiles");
    ASSERT_TRUE(again.value.IsObject());
    EXPECT_EQ(host().ArrayItems(again.value.AsObject())->size(), 2u);

    // A bitmap answers at once and leaves the list alone.
    clipboard().SetBitmap(TestBitmap(2, 2));
    EXPECT_EQ(instance().Call("ImgPst_IsBitmap").value, Value(true));
    EXPECT_TRUE(instance().Call("ImgPst_GetFiles").value.IsNull());

    clipboard().Clear();
    EXPECT_EQ(instance().Call("ImgPst_IsFile").value, Value(false));
    EXPECT_EQ(instance().Call("ImgPst_IsBitmap").value, Value(false));
}

TEST_F(PasterTest, PasteWithoutAUsableFormGivesNoResultAndStartsNothing) {
    ASSERT_TRUE(instance().Set("ImgPst_PostUrl", Value(server().Url())));
    EXPECT_TRUE(instance().Call("ImgPst_Paste").value.IsVoid()) << "empty clipboard";

    clipboard().SetFileList({Wide(tempDir_ + "/notes.txt")});
    EXPECT_TRUE(instance().Call("ImgPst_Paste").value.IsVoid()) << "no image file";

    // A bitmap that cannot be fetched is not replaced by the other forms offered.
    WriteFile(tempDir_ + "/a.png", "png");
    clipboard().SetFileList({Wide(tempDir_ + "/a.png")});
    clipboard().SetData(platform::kClipboardDib, TestDib(4, 4));
    clipboard().SetBitmap(TestBitmap(4, 4));
    clipboard().SetFailReads(true);
    EXPECT_TRUE(instance().Call("ImgPst_Paste").value.IsVoid());

    // A device-independent bitmap that cannot be decoded gives nothing either.
    clipboard().Clear();
    clipboard().SetFailReads(false);
    clipboard().SetData(platform::kClipboardDib, TestDib(4, 4).substr(0, 20));
    EXPECT_TRUE(instance().Call("ImgPst_Paste").value.IsVoid());

    host().RunPending();
    EXPECT_EQ(server().Arrived(), 0u);
}

TEST_F(PasterTest, StoredObjectsAreHeldOnceAndReleasedWhenReplacedOrDestroyed) {
    testhost::PageFunction first = host().NewFunction();
    testhost::PageFunction second = host().NewFunction();
    testhost::PageFunction object = host().NewFunction();
    const int64_t base = host().ReferenceCount(first.object());

    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(first)));
    ASSERT_TRUE(instance().Set("ImgPst_OnConnected", Value(first)));
    ASSERT_TRUE(instance().Set("ImgPst_Object", Value(object)));
    EXPECT_EQ(host().ReferenceCount(first.object()), base + 2);
    instance().Set("ImgPst_OnComplete", Value(7));
    EXPECT_EQ(host().ReferenceCount(first.object()), base + 2) << "a number changes nothing";

    ASSERT_TRUE(instance().Set("ImgPst_OnComplete", Value(second)));
    EXPECT_EQ(host().ReferenceCount(first.object()), base + 1);
    ASSERT_TRUE(instance().Set("ImgPst_OnConnected", Value::Null()));
    EXPECT_EQ(host().ReferenceCount(first.object()), base);

    ASSERT_EQ(instance().Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(host().ReferenceCount(second.object()), base);
    EXPECT_EQ(host().ReferenceCount(object.object()), base);
}

}  // namespace
}  // namespace pastertest
