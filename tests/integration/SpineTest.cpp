// The module as a browser sees it: entry points, instances, the scriptable object and the
// general script members.
#include <cstring>
#include <fstream>
#include <sstream>

#include "InterfaceMembers.h"
#include "ModuleFixture.h"
#include "TestFiles.h"

namespace {

using testhost::Value;

using interfacemembers::kMethods;
using interfacemembers::kProperties;

static_assert(sizeof(kMethods) / sizeof(kMethods[0]) == 38, "38 methods");
static_assert(sizeof(kProperties) / sizeof(kProperties[0]) == 16, "16 properties");

TEST_F(ModuleTest, VersionIsReadableBeforeAnythingElse) {
    testhost::Instance& instance = NewInstance();
    testhost::ScriptResult version = instance.Get("Version");
    ASSERT_TRUE(version.ok);
    EXPECT_EQ(version.value, Value("1,4,102,31478"));
    EXPECT_EQ(host().OutstandingAllocations(), 0u) << "the browser frees the result string";
}

TEST_F(ModuleTest, EntryPointErrorCodes) {
    const testhost::ModuleEntryPoints& np = host().entry_points();
    ASSERT_TRUE(np.getEntryPoints && np.shutdown && np.getMimeDescription && np.getValue);
    EXPECT_EQ(np.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    NPPluginFuncs table{};
    table.size = 1234;
    EXPECT_EQ(np.getEntryPoints(&table), NPERR_NO_ERROR);
    EXPECT_EQ(table.version, 27);
    EXPECT_EQ(table.size, 1234) << "the size field stays the browser's";
    EXPECT_NE(table.newp, nullptr);
    EXPECT_NE(table.getvalue, nullptr);
    EXPECT_EQ(table.javaClass, nullptr);

    EXPECT_EQ(np.initialize(nullptr, nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    NPNetscapeFuncs future{};
    future.size = sizeof(future);
    future.version = 0x0100;
    EXPECT_EQ(np.initialize(&future, nullptr), NPERR_INCOMPATIBLE_VERSION_ERROR);
    // The rejected table (all slots empty) was not kept: instances still reach the browser.
    testhost::Instance& instance = NewInstance();
    EXPECT_TRUE(instance.Get("Version").ok);
    EXPECT_EQ(np.shutdown(), NPERR_NO_ERROR);
    EXPECT_TRUE(instance.Get("Version").ok) << "shutting down changes nothing";

    EXPECT_STREQ(np.getMimeDescription(), "application/npQuillon::Quillon picture upload control");
    const char* name = nullptr;
    EXPECT_EQ(np.getValue(nullptr, NPPVpluginNameString, &name), NPERR_NO_ERROR);
    EXPECT_STREQ(name, "npQuillon");
}

TEST_F(ModuleTest, UnixInitializeFillsOnlyWhatFitsInTheHostsTable) {
    NPNetscapeFuncs* browser = testhost::TestHost::BrowserFunctions();
    NPPluginFuncs table;
    std::memset(&table, 0xAB, sizeof(table));
    table.size = offsetof(NPPluginFuncs, getvalue);  // a host whose table ends before getvalue
    ASSERT_EQ(host().entry_points().initialize(browser, &table), NPERR_NO_ERROR);
    EXPECT_EQ(table.version, 27);
    EXPECT_NE(table.urlnotify, nullptr);
    void* untouched;
    std::memset(&untouched, 0xAB, sizeof(untouched));
    EXPECT_EQ(std::memcmp(&table.getvalue, &untouched, sizeof(void*)), 0)
        << "nothing is written past the host's size";
}

TEST_F(ModuleTest, PluginFunctionResultsForTheirInputs) {
    NPPluginFuncs& f = host().plugin_functions();
    EXPECT_EQ(f.newp(nullptr, nullptr, 1, 0, nullptr, nullptr, nullptr),
              NPERR_INVALID_INSTANCE_ERROR);
    testhost::Instance& instance = NewInstance();
    EXPECT_EQ(f.writeready(instance.npp(), nullptr), 268435455);
    EXPECT_EQ(f.write(instance.npp(), nullptr, 0, 1000, nullptr), 1000);
    EXPECT_EQ(f.setwindow(instance.npp(), nullptr), NPERR_GENERIC_ERROR);
    EXPECT_EQ(f.setwindow(nullptr, &instance.window()), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(instance.SetWindow(nullptr), NPERR_NO_ERROR) << "windowless: a null handle";
    EXPECT_EQ(instance.SetWindow(reinterpret_cast<void*>(0x1234)), NPERR_NO_ERROR);
    EXPECT_EQ(f.event(instance.npp(), nullptr), 0);
    const char* description = nullptr;
    EXPECT_EQ(instance.GetValue(NPPVpluginDescriptionString, &description), NPERR_NO_ERROR);
    EXPECT_STREQ(description, "Quillon\xCD\xBC\xC6\xAC\xC9\xCF\xB4\xAB\xBF\xD8\xBC\xFE");
    int unused = 0;
    EXPECT_EQ(instance.GetValue(NPPVpluginTimerInterval, &unused), NPERR_GENERIC_ERROR);
    // The plug-in asks to run windowless.
    bool askedWindowless = false;
    for (const testhost::SetValueRecord& r : host().SetValueCalls())
        askedWindowless |= r.variable == NPPVpluginWindowBool && r.value == nullptr;
    EXPECT_TRUE(askedWindowless);
    EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
}

TEST_F(ModuleTest, ScriptableObjectIsRetainedOncePerHandOut) {
    testhost::Instance& instance = NewInstance();
    NPObject* first = nullptr;
    NPObject* second = nullptr;
    ASSERT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &first), NPERR_NO_ERROR);
    const int64_t afterFirst = host().ReferenceCount(first);
    ASSERT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &second), NPERR_NO_ERROR);
    EXPECT_EQ(first, second);
    EXPECT_EQ(host().ReferenceCount(first), afterFirst + 1);
    testhost::TestHost::BrowserFunctions()->releaseobject(first);
    testhost::TestHost::BrowserFunctions()->releaseobject(second);
    instance.Destroy();
    EXPECT_FALSE(host().IsLive(first)) << "every reference was given back";
}

TEST_F(ModuleTest, MembersAnswerByTheirKindAndUnknownNamesFail) {
    testhost::Instance& instance = NewInstance();
    for (const char* m : kMethods) {
        EXPECT_TRUE(instance.HasMethod(m)) << m;
        EXPECT_FALSE(instance.HasProperty(m)) << m;
    }
    for (const char* p : kProperties) {
        EXPECT_TRUE(instance.HasProperty(p)) << p;
        EXPECT_FALSE(instance.HasMethod(p)) << p;
    }
    EXPECT_FALSE(instance.Call("NoSuchMethod").ok);
    EXPECT_FALSE(instance.Get("NoSuchProperty").ok);
    EXPECT_FALSE(instance.Set("NoSuchProperty", Value(1)));
}

TEST_F(ModuleTest, WriteOnlyReadsGiveVoidAndReadOnlyWritesChangeNothing) {
    testhost::Instance& instance = NewInstance();
    for (const char* p : {"Debug", "LogFile", "Session", "StateChanged", "WordParser_Object",
                          "WordParser_AddWordImg", "ImgPst_Object", "ImgPst_PostUrl",
                          "ImgPst_EncodeType", "ImgPst_ImageType", "ImgPst_OnComplete",
                          "ImgPst_OnConnected", "ImgPst_OnPost", "ImgPst_OnError"}) {
        testhost::ScriptResult r = instance.Get(p);
        EXPECT_TRUE(r.ok) << p;
        EXPECT_TRUE(r.value.IsVoid()) << p;
    }
    EXPECT_TRUE(instance.Set("Version", Value("9,9,9,9")));
    EXPECT_EQ(instance.Get("Version").value, Value("1,4,102,31478"));
}

TEST_F(ModuleTest, MissingArgumentsAreVoidAndWrongTypesDoNothing) {
    testhost::Instance& instance = NewInstance();
    EXPECT_TRUE(instance.Call("Init").ok);
    EXPECT_TRUE(instance.Call("Init", {Value(5)}).ok);
    EXPECT_TRUE(instance.Call("Init", {Value("{not json")}).ok);
    EXPECT_TRUE(instance.Set("StateChanged", Value("not a function")));
    EXPECT_TRUE(instance.Set("LogFile", Value(3)));
}

TEST_F(ModuleTest, CallingTheObjectItselfGivesTheDefaultText) {
    testhost::Instance& instance = NewInstance();
    testhost::ScriptResult r = instance.CallDefault();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value, Value("default method return val"));
}

TEST_F(ModuleTest, TwoInstancesDispatchToTheLastAndSurviveEachOthersEnd) {
    testhost::Instance& first = NewInstance();
    testhost::Instance& second = NewInstance();
    EXPECT_TRUE(first.Get("Version").ok);
    NPObject* stale = second.ScriptObject();
    testhost::TestHost::BrowserFunctions()->retainobject(stale);
    EXPECT_EQ(second.Destroy(), NPERR_NO_ERROR);
    // The remaining instance takes over, also for the destroyed one's object.
    EXPECT_TRUE(first.Get("Version").ok);
    EXPECT_TRUE(host().Get(stale, "Version").ok);
    testhost::TestHost::BrowserFunctions()->releaseobject(stale);
    EXPECT_EQ(first.Destroy(), NPERR_NO_ERROR);
}

using testfiles::ReadFile;

TEST_F(ModuleTest, LogFileStartsLoggingOnlyAfterDebug) {
    testhost::Instance& instance = NewInstance();
    const std::string path = ::testing::TempDir() + "quillon_spine_log.txt";
    std::remove(path.c_str());
    EXPECT_TRUE(instance.Set("LogFile", Value(path)));
    EXPECT_TRUE(instance.Set("Debug", Value(true)));
    EXPECT_EQ(ReadFile(path), "") << "Debug alone starts nothing";
    EXPECT_TRUE(instance.Set("LogFile", Value(path)));
    EXPECT_NE(ReadFile(path).find("[Biz\\Log:47]"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace
