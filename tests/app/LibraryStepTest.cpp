#include "app/LibraryStep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "rtl/Exceptions.h"

namespace pavana {
namespace {

std::string FailureOf(const std::string& path) {
    try {
        RunLibraryFile(path);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

TEST(LibraryStep, MissingFileAndDirectory) {
    EXPECT_EQ(FailureOf("/no/such/lib.so"), "Não foi possível ler o arquivo /no/such/lib.so.\r\nArquivo não existe!");
    EXPECT_EQ(FailureOf(testing::TempDir()),
              "Não foi possível ler o arquivo " + testing::TempDir() + ".\r\nArquivo não existe!");
}

TEST(LibraryStep, FileThatIsNotALibraryGivesTheLoadersReasonWithoutFullStop) {
    std::string path = testing::TempDir() + "not_a_library.so";
    std::ofstream(path) << "just text\n";
    std::string message = FailureOf(path);
    std::string prefix = "Não foi possível ler o arquivo " + path + ".\r\n";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    std::string reason = message.substr(prefix.size());
    EXPECT_NE(reason.find("not_a_library.so"), std::string::npos) << reason;
    EXPECT_GT(reason.size(), std::string(path).size()) << reason;
    EXPECT_NE(reason.back(), '.');
    std::filesystem::remove(path);
}

TEST(LibraryStep, RealLibraryLoadsAndUnloads) {
    EXPECT_EQ(FailureOf(PAVANA_BINARY_DIR "/tests/app/libpavana_test_library.so"), "no error");
}

TEST(LibraryStep, ReasonIsCleanedAndCut) {
    EXPECT_EQ(CleanLoaderReason("cannot open shared object file.. \r\n"), "cannot open shared object file");
    EXPECT_EQ(CleanLoaderReason(std::string(300, 'x')).size(), 255u);
}

}  // namespace
}  // namespace pavana
