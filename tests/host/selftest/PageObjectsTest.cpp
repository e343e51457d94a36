// The page's objects as a module sees them through the browser table.
#include <gtest/gtest.h>

#include <cstring>

#include "TestHost.h"

namespace testhost {
namespace {

class PageObjectsTest : public ::testing::Test {
  protected:
    TestHost host;
    NPNetscapeFuncs* browser = TestHost::BrowserFunctions();

    // A string argument in a buffer of its own, as a module builds one.
    NPVariant AllocatedString(const char* text) {
        uint32_t length = static_cast<uint32_t>(std::strlen(text));
        char* copy = static_cast<char*>(browser->memalloc(length + 1));
        std::memcpy(copy, text, length + 1);
        NPVariant variant;
        STRINGN_TO_NPVARIANT(copy, length, variant);
        return variant;
    }
};

TEST_F(PageObjectsTest, WindowArrayPushKeepsCopiesOfStringsAndReferencesToObjects) {
    NPVariant result;
    ASSERT_TRUE(browser->invoke(nullptr, host.window(), browser->getstringidentifier("Array"),
                                nullptr, 0, &result));
    ASSERT_TRUE(NPVARIANT_IS_OBJECT(result));
    NPObject* array = result.value.objectValue;
    EXPECT_EQ(host.ReferenceCount(array), 1);

    NPIdentifier push = browser->getstringidentifier("push");
    NPVariant text = AllocatedString("C:\\a\\b.jpg");
    NPVariant length;
    ASSERT_TRUE(browser->invoke(nullptr, array, push, &text, 1, &length));
    EXPECT_EQ(length.value.intValue, 1);
    browser->releasevariantvalue(&text);  // the array kept its own copy

    PageFunction item = host.NewFunction();
    NPVariant object;
    OBJECT_TO_NPVARIANT(item.object(), object);
    ASSERT_TRUE(browser->invoke(nullptr, array, push, &object, 1, &length));
    EXPECT_EQ(length.value.intValue, 2);
    EXPECT_EQ(host.ReferenceCount(item.object()), 2);

    std::optional<std::vector<Value>> items = host.ArrayItems(array);
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[0], Value("C:\\a\\b.jpg"));
    EXPECT_EQ((*items)[1].AsObject(), item.object());
    items.reset();

    EXPECT_EQ(host.Get(array, "length").value, Value(2));
    NPVariant first;
    ASSERT_TRUE(browser->getproperty(nullptr, array, browser->getintidentifier(0), &first));
    EXPECT_EQ(Value::CopyOf(first), Value("C:\\a\\b.jpg"));
    browser->releasevariantvalue(&first);
    EXPECT_FALSE(host.ArrayItems(host.window()).has_value());

    browser->releaseobject(array);
    EXPECT_FALSE(host.IsLive(array));
    EXPECT_EQ(host.ReferenceCount(item.object()), 1);  // released with the array
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(PageObjectsTest, PageFunctionRecordsEachCallsArgumentsInOrder) {
    PageFunction callback = host.NewFunction();
    PageFunction other = host.NewFunction();

    NPVariant args[6];
    args[0] = AllocatedString("{\"name\":\"x\"}\n");
    INT32_TO_NPVARIANT(-5, args[1]);
    BOOLEAN_TO_NPVARIANT(true, args[2]);
    DOUBLE_TO_NPVARIANT(0.25, args[3]);
    OBJECT_TO_NPVARIANT(other.object(), args[4]);
    VOID_TO_NPVARIANT(args[5]);
    NPVariant result;
    ASSERT_TRUE(browser->invokeDefault(nullptr, callback.object(), args, 6, &result));
    EXPECT_TRUE(NPVARIANT_IS_VOID(result));
    browser->releasevariantvalue(&args[0]);

    callback.SetResult("done");
    ASSERT_TRUE(browser->invokeDefault(nullptr, callback.object(), nullptr, 0, &result));
    EXPECT_EQ(Value::CopyOf(result), Value("done"));
    browser->releasevariantvalue(&result);  // the returned string came from NPN_MemAlloc

    callback.SetThrows(true);
    NPVariant second;
    INT32_TO_NPVARIANT(2, second);
    EXPECT_FALSE(browser->invokeDefault(nullptr, callback.object(), &second, 1, &result));

    std::vector<std::vector<Value>> calls = callback.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], (std::vector<Value>{"{\"name\":\"x\"}\n", -5, true, 0.25,
                                            Value(other.object()), Value()}));
    EXPECT_TRUE(calls[1].empty());
    EXPECT_EQ(calls[2], std::vector<Value>{2});
    EXPECT_EQ(callback.StringArgs(),
              (std::vector<std::string>{"{\"name\":\"x\"}\n", "<missing>", "2"}));
    EXPECT_EQ(host.ReferenceCount(other.object()), 3);  // handle, recorded call, `calls`

    calls.clear();
    callback.ClearCalls();
    EXPECT_EQ(callback.CallCount(), 0u);
    EXPECT_EQ(host.ReferenceCount(other.object()), 1);
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(PageObjectsTest, FunctionLivesWhileTheModuleHoldsIt) {
    NPObject* kept = nullptr;
    {
        PageFunction callback = host.NewFunction();
        kept = browser->retainobject(callback.object());
    }
    ASSERT_TRUE(host.IsLive(kept));
    EXPECT_TRUE(host.CallDefault(kept, {"late"}).ok);
    browser->releaseobject(kept);
    EXPECT_FALSE(host.IsLive(kept));
    EXPECT_EQ(host.LiveObjectCount(), 1u);  // only the window is left
}

}  // namespace
}  // namespace testhost
