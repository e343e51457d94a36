#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "InProcessPlugin.h"
#include "events/EventText.h"
#include "platform/kernel/GraphicsSession.h"
#include "plugin/ScriptValues.h"

namespace {

using testhost::Value;

std::string ProgressText(const char* name) {
    Json::Value e;
    e["name"] = name;
    e["time"] = "00:00:06";
    e["len"] = "16384";
    e["percent"] = "25%";
    e["speed"] = "8192";
    return WriteEventText(e);
}

TEST_F(InProcessPlugin, PostedEventReachesThePageFunctionByteForByte) {
    testhost::Instance& instance = NewInstance();
    testhost::PageFunction onEvent = host().NewFunction();
    ASSERT_TRUE(instance.Set("StateChanged", Value(onEvent)));
    PluginOf(instance).PostEvent(ProgressText("Parser_PostProcess"));
    Json::Value complete;
    complete["name"] = "Parser_PostComplete";
    complete["value"] = "{\"url\":\"a\"}\nnext";
    PluginOf(instance).PostEvent(WriteEventText(complete));
    EXPECT_EQ(onEvent.CallCount(), 0u) << "delivery waits for the main thread";
    ASSERT_TRUE(host().RunUntil([&] { return onEvent.CallCount() == 2; }));
    EXPECT_EQ(onEvent.StringArgs(),
              (std::vector<std::string>{
                  "{\"len\":\"16384\",\"name\":\"Parser_PostProcess\",\"percent\":\"25%\","
                  "\"speed\":\"8192\",\"time\":\"00:00:06\"}\n",
                  "{\"name\":\"Parser_PostComplete\",\"value\":"
                  "\"{\\\"url\\\":\\\"a\\\"}\\nnext\"}\n"}));
    host().RunPending();
    EXPECT_EQ(host().OutstandingAllocations(), 0u) << "argument buffers are freed after the call";
}

TEST_F(InProcessPlugin, EventsFromTwoThreadsAllArriveOnceInEachThreadsOrder) {
    testhost::Instance& instance = NewInstance();
    testhost::PageFunction onEvent = host().NewFunction();
    ASSERT_TRUE(instance.Set("StateChanged", Value(onEvent)));
    CPlugin& plugin = PluginOf(instance);
    const int kPerThread = 300;
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t)
        workers.emplace_back([&plugin, t] {
            for (int i = 0; i < kPerThread; ++i) {
                Json::Value e;
                e["name"] = "File_PostProcess";
                e["id"] = t;
                e["len"] = std::to_string(i);
                plugin.PostEvent(WriteEventText(e));
            }
        });
    ASSERT_TRUE(host().RunUntil([&] { return onEvent.CallCount() >= 2 * kPerThread; }));
    for (std::thread& w : workers) w.join();
    host().RunPending();
    std::vector<int> next(2, 0);
    for (const std::string& text : onEvent.StringArgs()) {
        const int id = text[text.find("\"id\":") + 5] - '0';
        const std::string lenKey = "\"len\":\"";
        const size_t at = text.find(lenKey) + lenKey.size();
        const int len = std::stoi(text.substr(at));
        EXPECT_EQ(len, next[id]) << text;
        next[id] = len + 1;
    }
    EXPECT_EQ(next, (std::vector<int>{kPerThread, kPerThread}));
    EXPECT_EQ(onEvent.CallCount(), static_cast<size_t>(2 * kPerThread));
}

TEST_F(InProcessPlugin, WithoutStateChangedNothingIsCalledAndTheQueueEmpties) {
    testhost::Instance& instance = NewInstance();
    CPlugin& plugin = PluginOf(instance);
    plugin.PostEvent(ProgressText("Parser_PostProcess"));
    EXPECT_EQ(host().RunPending(), 1u);
    EXPECT_EQ(plugin.eventQueue()->Size(), 0u);
    // Texts queued before the callback was set are not replayed.
    testhost::PageFunction onEvent = host().NewFunction();
    ASSERT_TRUE(instance.Set("StateChanged", Value(onEvent)));
    host().RunPending();
    EXPECT_EQ(onEvent.CallCount(), 0u);
}

TEST_F(InProcessPlugin, AThrowingPageFunctionDoesNotStopTheRest) {
    testhost::Instance& instance = NewInstance();
    testhost::PageFunction onEvent = host().NewFunction();
    onEvent.SetThrows(true);
    ASSERT_TRUE(instance.Set("StateChanged", Value(onEvent)));
    PluginOf(instance).PostEvent("a");
    PluginOf(instance).PostEvent("b");
    host().RunPending();
    EXPECT_EQ(onEvent.StringArgs(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(InProcessPlugin, DeliveryScheduledForADestroyedInstanceDoesNothing) {
    host().SetRunCallsForDestroyedInstances(true);  // even a browser that runs it anyway
    testhost::Instance& instance = NewInstance();
    testhost::PageFunction onEvent = host().NewFunction();
    ASSERT_TRUE(instance.Set("StateChanged", Value(onEvent)));
    PluginOf(instance).PostEvent("late");
    ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
    host().RunPending();
    EXPECT_EQ(onEvent.CallCount(), 0u);
}

TEST_F(InProcessPlugin, GraphicsStartOnceOnFirstWindowAndStopOnlyIfStarted) {
    const int before = platform::ActiveGraphicsSessions();
    testhost::Instance& neverShown = NewInstance();
    ASSERT_EQ(neverShown.Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(platform::ActiveGraphicsSessions(), before) << "no shut-down without a start";

    testhost::Instance& shown = NewInstance();
    ASSERT_EQ(shown.SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_TRUE(PluginOf(shown).IsAttached());
    ASSERT_EQ(shown.SetWindow(reinterpret_cast<void*>(0x42)), NPERR_NO_ERROR);
    EXPECT_EQ(platform::ActiveGraphicsSessions(), before + 1) << "started once";
    ASSERT_EQ(shown.Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(platform::ActiveGraphicsSessions(), before);
}

TEST_F(InProcessPlugin, ScriptValueConversions) {
    NPVariant v;
    DOUBLE_TO_NPVARIANT(2.9, v);
    EXPECT_EQ(ToInt(&v), 2);
    DOUBLE_TO_NPVARIANT(-2.9, v);
    EXPECT_EQ(ToInt(&v), -2);
    DOUBLE_TO_NPVARIANT(1e12, v);
    EXPECT_EQ(ToInt(&v), 2147483647);
    STRINGN_TO_NPVARIANT("12abc", 5, v);
    EXPECT_EQ(ToInt(&v), 12);
    STRINGN_TO_NPVARIANT("12", 1, v);
    EXPECT_EQ(ToInt(&v), 1) << "only the passed length is read";
    STRINGN_TO_NPVARIANT("abc", 3, v);
    EXPECT_EQ(ToInt(&v), 0);
    BOOLEAN_TO_NPVARIANT(true, v);
    EXPECT_EQ(ToInt(&v), 0);
    EXPECT_EQ(ToStdString(&v), "") << "a bool is not read as a string";
    EXPECT_EQ(ToObject(&v), nullptr);
    INT32_TO_NPVARIANT(-7, v);
    EXPECT_EQ(ToInt(&v), -7);

    NPVariant result;
    VOID_TO_NPVARIANT(result);
    SetStringResult(std::string("ab\0cd", 5), &result);
    ASSERT_EQ(result.type, NPVariantType_String);
    EXPECT_EQ(
        std::string(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length),
        "ab");
    testhost::TestHost::BrowserFunctions()->releasevariantvalue(&result);
    SetIntAsStringResult(-42, &result);
    EXPECT_EQ(testhost::Value::CopyOf(result), Value("-42"));
    testhost::TestHost::BrowserFunctions()->releasevariantvalue(&result);
}

TEST_F(InProcessPlugin, ScriptArraysFromAnsiStrings) {
    testhost::Instance& instance = NewInstance();
    std::list<std::string> items{"a", "b c"};
    NPObject* array = MakeScriptArray(instance.npp(), PluginOf(instance).windowObject(), items);
    ASSERT_NE(array, nullptr);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(*host().ArrayItems(array), (std::vector<Value>{Value("a"), Value("b c")}));
    testhost::TestHost::BrowserFunctions()->releaseobject(array);
    std::list<std::string> none;
    EXPECT_EQ(MakeScriptArray(instance.npp(), PluginOf(instance).windowObject(), none), nullptr);
}

}  // namespace
