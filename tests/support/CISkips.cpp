// Linked into every test program: with QM_CI=1 in the environment (./check
// sets it) a skipped test fails, so that nothing CI must run is left out
// silently because a tool, a privilege or a prepared file was missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class TSkipFails final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& info) override {
        const ::testing::TestResult& result = *info.result();
        if (!result.Skipped()) return;
        std::string why;
        for (int i = 0; i < result.total_part_count(); ++i) why += result.GetTestPartResult(i).message();
        ADD_FAILURE() << "skipped although QM_CI is set: " << why;
    }
};

const bool gInstalled = [] {
    const char* ci = std::getenv("QM_CI");
    if (ci == nullptr || std::strcmp(ci, "1") != 0) return false;
    ::testing::UnitTest::GetInstance()->listeners().Append(new TSkipFails);
    return true;
}();

}  // namespace
