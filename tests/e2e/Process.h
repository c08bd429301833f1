// Runs a program of the build as a child process, for the end-to-end tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pavana::e2e {

struct ProcessResult {
    int exitCode = -1;  // -1 when killed by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string workingDirectory;
    std::map<std::string, std::optional<std::string>> environment;  // nullopt removes a variable
    std::string input;
    double timeoutSeconds = 120;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

// Starts a child that is not waited for; `Kill` sends SIGKILL and reaps it.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const ProcessOptions& options);
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;
    ~BackgroundProcess();
    // Answers whether the child was still running when it was killed.
    bool Kill();
    // Waits up to `timeoutSeconds` for the child to end: its exit code, or none when it is
    // still running (it is then left running) or ended by a signal.
    std::optional<int> Wait(double timeoutSeconds);
    int Pid() const { return pid_; }

private:
    int pid_ = -1;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace pavana::e2e
