#include "ModuleFixture.h"

std::unique_ptr<testhost::TestHost> ModuleTest::host_;

void ModuleTest::SetUpTestSuite() {}
void ModuleTest::TearDownTestSuite() {}

void ModuleTest::SetUp() {
    host_.reset(new testhost::TestHost());
    ASSERT_TRUE(host_->Load(QUILLON_MODULE_PATH)) << host_->load_error();
    ASSERT_EQ(host_->Initialize(), NPERR_NO_ERROR);
}

void ModuleTest::TearDown() {
    EXPECT_TRUE(host_->Violations().empty()) << host_->Violations().front();
    host_.reset();
}

testhost::Instance& ModuleTest::NewInstance() {
    testhost::Instance& instance = host_->NewInstance();
    EXPECT_EQ(instance.new_result(), NPERR_NO_ERROR);
    EXPECT_NE(instance.ScriptObject(), nullptr);
    return instance;
}
