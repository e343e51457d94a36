// The plug-in linked into the test program and driven through the test browser host, so that
// tests can reach an instance's C++ side (to raise events from worker threads) while the page
// side stays a real browser table.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "TestHost.h"
#include "plugin/CPlugin.h"
#include "plugin/PluginFuncs.h"

class InProcessPlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        host_.reset(new testhost::TestHost());
        ASSERT_EQ(InitializeBrowserFuncs(testhost::TestHost::BrowserFunctions()), NPERR_NO_ERROR);
        ASSERT_EQ(FillPluginFuncs(&host_->plugin_functions()), NPERR_NO_ERROR);
    }
    void TearDown() override {
        EXPECT_TRUE(host_->Violations().empty()) << host_->Violations().front();
        host_.reset();
    }

    testhost::TestHost& host() { return *host_; }
    testhost::Instance& NewInstance() {
        testhost::Instance& instance = host_->NewInstance();
        EXPECT_EQ(instance.new_result(), NPERR_NO_ERROR);
        return instance;
    }
    static CPlugin& PluginOf(testhost::Instance& instance) {
        return *static_cast<CPlugin*>(instance.npp()->pdata);
    }

  private:
    std::unique_ptr<testhost::TestHost> host_;
};
