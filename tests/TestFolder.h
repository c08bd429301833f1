// A folder of the running test's own below the temporary folder (the build tree's, see
// tests/CMakeLists.txt): made empty when the object is made, removed with all it holds when
// the object goes. Declare it before the members that keep files in it open, so that they
// are gone before it is.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace pavana::test {

class TestFolder {
public:
    // Named after this process and the running test, so that no two tests share one.
    TestFolder() {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("pavana-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
};

}  // namespace pavana::test
