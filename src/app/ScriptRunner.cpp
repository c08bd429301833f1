#include "ScriptRunner.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "app/LibraryStep.h"
#include "app/upavANMensagensHints.h"
#include "engine/EngineError.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/StringList.h"
#include "rtl/Strings.h"

namespace pavana {
namespace {

// Removes the last UTF-8 character (all of its bytes).
void DropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty()) text.pop_back();
}

// Where one statement lies in the script: its first and last lines (from 0).
struct StatementLines {
    std::size_t first = 0;
    std::size_t last = 0;
};

// The script cut into statements (see the header).
std::vector<StatementLines> CutStatements(const ScriptText& script) {
    std::vector<StatementLines> statements;
    bool open = false;
    std::size_t first = 0;
    for (std::size_t i = 0; i < script.LineCount(); ++i) {
        const std::string_view line = script.Line(i);
        if (line.empty()) continue;
        if (!open) first = i;
        open = true;
        if (line.find(';') == std::string_view::npos) continue;
        statements.push_back({first, i});
        open = false;
    }
    return statements;
}

// The step of the statement on `lines`: one blank and the trimmed line for each non-empty line.
ScriptRunner::Step MakeStep(const ScriptText& script, const StatementLines& lines, int number) {
    std::size_t size = 0;
    for (std::size_t i = lines.first; i <= lines.last; ++i)
        if (!script.Line(i).empty()) size += 1 + TrimmedView(script.Line(i)).size();
    ScriptRunner::Step step;
    step.number = number;
    step.line = static_cast<int>(lines.first) + 1;
    step.text.reserve(size);
    for (std::size_t i = lines.first; i <= lines.last; ++i) {
        if (script.Line(i).empty()) continue;
        step.text += ' ';
        step.text += TrimmedView(script.Line(i));
    }
    step.library = ScriptRunner::IsLibraryStatement(step.text);
    return step;
}

}  // namespace

// The log file, open while the script runs. Each entry is appended whole under an exclusive
// lock of the file and is in the file when Write returns, so an interrupted run keeps every
// entry it wrote.
class ScriptRunner::Log {
public:
    explicit Log(const std::string& path) : path_(path) {
        if (path_.empty()) return;
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) Fail("Cannot create file %s. %s");
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log() {
        if (fd_ >= 0) ::close(fd_);
    }

    void Write(const std::string& entry) {
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0)
            if (errno != EINTR) Fail("Cannot write file %s. %s");
        std::size_t written = 0;
        int error = 0;
        while (written < entry.size()) {
            ssize_t n = ::write(fd_, entry.data() + written, entry.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            written += static_cast<std::size_t>(n);
        }
        ::flock(fd_, LOCK_UN);
        if (error != 0) {
            errno = error;
            Fail("Cannot write file %s. %s");
        }
    }

    // Closing is part of the run: an error while closing escapes like one while writing.
    void Close() {
        if (fd_ < 0) return;
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) Fail("Cannot close file %s. %s");
    }

private:
    [[noreturn]] void Fail(const char* format) {
        int error = errno;
        throw EInOutError(Format(format, {path_, std::strerror(error)}), error);
    }

    std::string path_;
    int fd_ = -1;
};

bool ScriptRunner::IsLibraryStatement(const std::string& statement) {
    static constexpr std::string_view kWord = "executadll";
    std::size_t i = 0;
    while (i < statement.size() && static_cast<unsigned char>(statement[i]) <= 32) ++i;
    if (statement.size() - i < kWord.size()) return false;
    for (std::size_t k = 0; k < kWord.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(statement[i + k])) != kWord[k]) return false;
    if (i + kWord.size() == statement.size()) return true;
    const char next = statement[i + kWord.size()];
    return static_cast<unsigned char>(next) <= 32 || next == ';' || next == ',' || next == '"';
}

std::string ScriptRunner::LibraryPath(const std::string& statement) {
    TStringList items;
    items.SetCommaText(statement);
    std::string path = items.Strings(1);
    DropLastCharacter(path);
    return path;
}

void ScriptRunner::Run(const std::string& scriptPath) {
    Log log(logPath_);
    {
        const ScriptText script = ReadScriptText(scriptPath, observer_ && observer_->WantsDigest());
        const std::vector<StatementLines> statements = CutStatements(script);
        if (observer_) observer_->Starting(script, static_cast<int>(statements.size()));
        // Each statement's text is made when it runs: the script's text is the only copy kept.
        for (std::size_t i = 0; i < statements.size(); ++i) {
            const Step step = MakeStep(script, statements[i], static_cast<int>(i) + 1);
            if (observer_) observer_->BeforeStep(step);
            std::optional<LibraryExitWatch> watch;
            if (step.library)
                watch.emplace([&](const std::string& message) {
                    Failure failure = MakeFailure(step, message, 0);
                    log.Write(failure.entry);
                    if (!observer_) return;
                    observer_->AfterStep(step, failure);
                    observer_->ProcessEnding(message);
                });
            std::optional<Failure> failure = Execute(step);
            watch.reset();
            if (failure) log.Write(failure->entry);
            if (observer_) observer_->AfterStep(step, failure);
        }
    }
    log.Close();
}

ScriptRunner::Failure ScriptRunner::MakeFailure(const Step& step, std::string message, std::int32_t errorNumber) {
    Failure failure{std::move(message), errorNumber, {}};
    failure.entry = Format(kErroExecucaoComando, {step.text}) + " == " + failure.message + "\r\n";
    return failure;
}

std::optional<ScriptRunner::Failure> ScriptRunner::Execute(const Step& step) {
    std::string message;
    std::int32_t errorNumber = 0;
    try {
        if (step.library) {
            library_(LibraryPath(step.text));
        } else {
            sql_(step.text);
        }
        return std::nullopt;
    } catch (const EOleException& error) {
        message = error.Message();
        errorNumber = engine::EngineErrorNumber(error.ErrorCode());
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = "Unknown error";
    }
    return MakeFailure(step, std::move(message), errorNumber);
}

}  // namespace pavana
