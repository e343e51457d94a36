// Loading a module and driving its instances the way a browser does, against a minimal module.
#include <gtest/gtest.h>

#include <cstring>

#include "TestHost.h"

namespace testhost {
namespace {

class ModuleTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host.Load(TEST_HOST_MODULE_PATH)) << host.load_error(); }
    TestHost host;
};

TEST(ModuleLoadTest, MissingFileFailsWithTheLoaderMessage) {
    TestHost host;
    EXPECT_FALSE(host.Load("/nonexistent/libnothing.so"));
    EXPECT_NE(host.load_error().find("libnothing.so"), std::string::npos);
    EXPECT_EQ(host.Initialize(), NPERR_MODULE_LOAD_FAILED_ERROR);
    EXPECT_FALSE(host.NewInstance().alive());
}

TEST_F(ModuleTest, EntryPointsCanBeCalledRaw) {
    const ModuleEntryPoints& entry = host.entry_points();
    ASSERT_NE(entry.getMimeDescription, nullptr);
    EXPECT_STREQ(entry.getMimeDescription(), "application/x-mini::Mini module");
    const char* name = nullptr;
    EXPECT_EQ(entry.getValue(nullptr, NPPVpluginNameString, &name), NPERR_NO_ERROR);
    EXPECT_STREQ(name, "Mini");
    EXPECT_EQ(entry.initialize(nullptr, nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
    EXPECT_EQ(entry.getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);

    EXPECT_EQ(TestHost::BrowserFunctions()->size, sizeof(NPNetscapeFuncs));
    EXPECT_EQ(TestHost::BrowserFunctions()->version, 27);
    NPNetscapeFuncs newer = *TestHost::BrowserFunctions();
    newer.version = 0x0100;
    EXPECT_EQ(entry.initialize(&newer, nullptr), NPERR_INCOMPATIBLE_VERSION_ERROR);
}

TEST_F(ModuleTest, BothStartStylesFillThePluginTable) {
    EXPECT_EQ(host.Initialize(TestHost::InitStyle::kWindows), NPERR_NO_ERROR);
    EXPECT_NE(host.plugin_functions().newp, nullptr);
    EXPECT_EQ(host.plugin_functions().size, sizeof(NPPluginFuncs));
    EXPECT_EQ(host.Initialize(TestHost::InitStyle::kUnix), NPERR_NO_ERROR);
    EXPECT_NE(host.plugin_functions().newp, nullptr);
    EXPECT_EQ(host.plugin_functions().version, 27);
}

TEST_F(ModuleTest, InstanceLifecycleAndScripting) {
    ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
    Instance& instance = host.NewInstance();
    ASSERT_TRUE(instance.alive());
    EXPECT_EQ(host.ReferenceCount(host.window()), 2);  // the module holds the window
    ASSERT_EQ(host.SetValueCalls().size(), 1u);
    EXPECT_EQ(host.SetValueCalls()[0].variable, NPPVpluginWindowBool);
    EXPECT_EQ(host.SetValueCalls()[0].value, nullptr);

    EXPECT_EQ(instance.SetWindow(nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(instance.SetNullWindow(), NPERR_GENERIC_ERROR);

    NPObject* object = instance.ScriptObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(instance.ScriptObject(), object);  // asked for once
    EXPECT_EQ(host.ReferenceCount(object), 2);   // the module's and the host's

    EXPECT_EQ(instance.Get("Version").value, Value("1.0"));
    EXPECT_EQ(instance.Call("Echo", {"héllo"}).value, Value("héllo"));
    EXPECT_FALSE(instance.Call("Missing").ok);
    EXPECT_EQ(instance.CallDefault().value, Value("default"));
    EXPECT_TRUE(instance.HasProperty("Version"));
    EXPECT_FALSE(instance.HasMethod("Version"));
    EXPECT_EQ(host.OutstandingAllocations(), 0u);

    EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
    EXPECT_FALSE(host.IsLive(object));
    EXPECT_EQ(host.ReferenceCount(host.window()), 1);
    EXPECT_EQ(instance.Destroy(), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_TRUE(host.Violations().empty());
}

TEST_F(ModuleTest, EventsFromAModuleWorkerArriveWhenThePumpRuns) {
    ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
    Instance& instance = host.NewInstance();
    PageFunction state_changed = host.NewFunction();
    EXPECT_FALSE(instance.Set("StateChanged", state_changed));  // not one of its members
    ASSERT_TRUE(instance.Set("Callback", state_changed));
    ASSERT_TRUE(instance.Call("Fire", {3}).ok);
    EXPECT_EQ(state_changed.CallCount(), 0u);

    ASSERT_TRUE(host.RunUntil([&] { return state_changed.CallCount() == 3; }));
    EXPECT_EQ(state_changed.StringArgs(0),
              (std::vector<std::string>{"event 0", "event 1", "event 2"}));
    EXPECT_EQ(state_changed.Calls()[2][1], Value(2));
    EXPECT_EQ(host.OutstandingAllocations(), 0u);
    EXPECT_TRUE(host.Violations().empty());
}

int g_runs = 0;
void CountRun(void*) {
    ++g_runs;
}

TEST_F(ModuleTest, CallsForADestroyedInstanceAreDroppedUnlessAsked) {
    ASSERT_EQ(host.Initialize(), NPERR_NO_ERROR);
    Instance& first = host.NewInstance();
    Instance& second = host.NewInstance();
    NPNetscapeFuncs* browser = TestHost::BrowserFunctions();
    g_runs = 0;
    browser->pluginthreadasynccall(first.npp(), &CountRun, nullptr);
    browser->pluginthreadasynccall(second.npp(), &CountRun, nullptr);
    first.Destroy();
    EXPECT_EQ(host.RunPending(), 1u);
    EXPECT_EQ(host.DroppedAsyncCalls(), 1u);

    host.SetRunCallsForDestroyedInstances(true);
    browser->pluginthreadasynccall(first.npp(), &CountRun, nullptr);
    EXPECT_EQ(host.RunPending(), 1u);
    EXPECT_EQ(g_runs, 2);

    NPP_t stranger{nullptr, nullptr};
    browser->pluginthreadasynccall(&stranger, &CountRun, nullptr);
    EXPECT_EQ(host.RunPending(), 0u);
    EXPECT_EQ(host.Violations().size(), 1u);
}

}  // namespace
}  // namespace testhost
