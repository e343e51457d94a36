// One host and the loaded module for every integration test of a process; the module is
// loaded once, as a browser keeps it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "TestHost.h"

class ModuleTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    testhost::TestHost& host() { return *host_; }
    // A new embed element with its scriptable object ready.
    testhost::Instance& NewInstance();

  private:
    static std::unique_ptr<testhost::TestHost> host_;
};
