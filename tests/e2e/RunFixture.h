// What the end-to-end runs of PavanaScript share: a fresh folder per test case, an
// environment without a display (the terminal front) and the form of a log entry.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Process.h"
#include "TestFolder.h"

namespace pavana::e2e {

// The entry script.log holds for a failed statement.
inline std::string Entry(const std::string& statement, const std::string& message) {
    return "Erro na execução do comando " + statement +
           ".\r\nVerifique a opção detalhes para maiores informações. == " + message + "\r\n";
}

class RunFixture : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "anim");
        options_.workingDirectory = dir_.Dir().string();
        options_.environment = {{"DISPLAY", std::nullopt},
                                {"WAYLAND_DISPLAY", std::nullopt},
                                {"LC_ALL", "C.UTF-8"},
                                {"PAVANA_REGISTRY", (dir_ / "registry.ini").string()}};
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    const test::TestFolder dir_;
    ProcessOptions options_;
};

}  // namespace pavana::e2e
