// What one update run knows beyond the statements: the options it was started with, the
// transaction of a trial or all-or-nothing run, the checks made between statements, what
// happened to each statement (for the report and the progress display) and the exit code.
//
// The session observes the script run (ScriptRunner::Observer):
//   - In a trial run (--dry-run) and an all-or-nothing run (--one-transaction) the script runs
//     in one transaction, taken with the write lock before the first statement; each step
//     has a savepoint of its own. A failing SQL statement is undone to its savepoint (it
//     changed nothing, as in a run of single statements); a failing library step keeps what
//     the library did, as such a run keeps it. At the end the trial is rolled back and the
//     all-or-nothing run committed. A trial writes no log: its entries go to the front and
//     the report.
//   - At least every 200 ms, after the last step and before the commit of a trial or an
//     all-or-nothing run, it checks that the database file is still the one opened (a check
//     costs a system call, more than a short statement); a file moved, deleted or replaced
//     ends the run with an error (exit code 1), never a success, after the engine made its
//     connection harmless (DBEngine.h, StillAtPath).
//   - Statements wait for a lock up to --wait seconds; the progress window's status says so
//     while they wait.
//   - The script may run beside the front (app/BesideFront.h): the session then hears of the
//     steps on the script's thread and shows everything on the front's thread.
//   - With a report to write, SIGINT, SIGTERM and SIGHUP stop the run after the statement in
//     progress (an error: exit code 1, the report written, a transaction rolled back); a
//     second such signal ends the process at once.
// Every error the session raises ends the run (it escapes to the entry, exit code 1).
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
    ~RunSession() override;
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    const CommandLine& Options() const { return options_; }

    void SetPaths(std::string database, std::string script);
    // Adds the records a SQL step changed.
    void AddRecordsAffected(std::int64_t records) { recordsAffected_ += records; }

    // The database is open: checks it when --check asks (raising with what the check found).
    void Connected(std::shared_ptr<engine::Database> database);
    void ConnectionFailed(const std::string& message);
    // The script ran to its end: ends the transaction and checks the file a last time.
    void ScriptFinished();
    void CloseFailed(const std::string& message);
    void Closed() { database_.reset(); }
    // An error escaped the run; it ends with exit code 1.
    void Failed(const std::string& message);
    // The arguments did not name a run (too few of them): nothing was started. The exit code
    // stays 0 as it always was, 1 with --exit-code, where 0 would claim the script ran.
    void ArgumentsRefused(const std::string& message);

    bool WantsDigest() const override { return options_.report.has_value(); }
    void Starting(const ScriptText& script, int statements) override;
    void BeforeStep(const ScriptRunner::Step& step) override;
    void AfterStep(const ScriptRunner::Step& step, const std::optional<ScriptRunner::Failure>& failure) override;
    void ProcessEnding(const std::string& message) override;

    // 1 after Failed; with --exit-code 1 also after ArgumentsRefused, 2 when the database could
    // not be opened or closed, 3 when a statement failed, else 0; without it 0.
    int ExitCode() const;
    // Writes the report when --report asked for one (a temporary file renamed over it).
    void WriteReport() const;

private:
    struct LibraryStep {
        int number = 0;
        int line = 0;
        std::string library;
        std::optional<std::string> failure;
    };
    bool InBatch() const { return options_.mode != RunMode::Each; }
    void CheckDatabaseFile();
    void ShowWait(std::chrono::milliseconds waited, std::chrono::milliseconds limit);
    void EndWait();
    void ShowProgress(bool finished);

    CommandLine options_;
    std::shared_ptr<engine::Database> database_;
    bool batchOpen_ = false;
    std::chrono::system_clock::time_point startTime_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastFileCheck_;
    std::chrono::steady_clock::time_point lastProgress_;
    std::string databasePath_;
    std::string scriptPath_;
    std::string scriptSha256_;
    std::string scriptEncoding_;
    int statements_ = 0;
    int done_ = 0;
    int succeeded_ = 0;
    std::int64_t recordsAffected_ = 0;
    std::vector<std::pair<ScriptRunner::Step, ScriptRunner::Failure>> failures_;
    std::vector<LibraryStep> libraries_;
    std::optional<std::string> databaseError_;  // opening, checking or closing failed
    std::optional<std::string> fatalError_;
    std::optional<std::string> argumentsError_;
    bool finished_ = false;
    bool waiting_ = false;
    long long waitShown_ = -1;
};

}  // namespace pavana
