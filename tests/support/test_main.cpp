// Test entry point: every test process gets its own HOME, XDG_DATA_HOME and
// TMPDIR under a fresh temporary folder, removed afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace {

std::string g_root;

class TempHomeListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { test_env::makeFreshHome(); }
    void OnTestEnd(const ::testing::TestInfo&) override { test_env::removeHome(); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    ::testing::UnitTest::GetInstance()->listeners().Append(new TempHomeListener);
    return RUN_ALL_TESTS();
}
