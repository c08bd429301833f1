// What one update run knows beyond the statements: the options it was started with, what
// happened to each statement (for the report and the progress display), and the checks made
// between statements.
//
// The session observes the script run (ScriptRunner::Observer). Between steps it checks that
// the database file is still the one that was opened: a file moved, deleted or replaced ends
// the run with an error (exit code 1) after the engine made its connection harmless.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ScriptRunner.h"
#include "engine/DBEngine.h"

namespace pavana {

class RunSession : public ScriptRunner::Observer {
public:
    explicit RunSession(const CommandLine& commandLine);

    const CommandLine& Options() const { return options_; }

    // The open database of the run; none before connecting and after closing.
    void SetDatabase(std::shared_ptr<engine::Database> database) { database_ = std::move(database); }

    void Starting(const ScriptText& script, int statements) override;
    void BeforeStep(const ScriptRunner::Step& step) override;
    void AfterStep(const ScriptRunner::Step& step, const std::optional<ScriptRunner::Failure>& failure) override;
    void ProcessEnding(const std::string& message) override;

    // Checks that the database file is still the one opened; raises when it is not.
    void CheckDatabaseFile();

private:
    CommandLine options_;
    std::shared_ptr<engine::Database> database_;
};

}  // namespace pavana
