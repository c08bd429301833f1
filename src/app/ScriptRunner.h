// Runs an update script: cuts it into statements and hands each one on, logging failures.
//
// The script is read whole (ScriptText.h: its encoding, no NUL, a regular file). Each
// non-empty line adds one blank and the line trimmed of characters of codes 0 to 32 to the
// statement buffer; a line containing ";" ends the statement, which is executed and the
// buffer emptied. Text left without ";" at the end is dropped. A statement whose first word
// is "executaDLL" (any letter case, after blanks) goes to the library step with the second
// item of its comma text, less its last character; any other goes to the SQL step.
//
// Every failure of a statement appends one entry to the log and the run goes on:
//   "Erro na execução do comando <statement>.\r\nVerifique a opção detalhes para maiores
//   informações." + " == " + <the error's message> + "\r\n"
// The log is appended to (created when missing) and written as UTF-8, each entry whole under
// an exclusive lock of the file, so that runs sharing a log never interleave their entries.
// A log that cannot be opened or written, and a script that cannot be read, raise out of
// `Run`; so does any error of the observer, which ends the run. A library that ends the
// process during its step still leaves its entry (LibraryExitWatch).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/ScriptText.h"

namespace pavana {

class ScriptRunner {
public:
    using SqlStep = std::function<void(const std::string& statement)>;
    using LibraryStep = std::function<void(const std::string& libraryPath)>;

    // One statement of the script as the run hands it on.
    struct Step {
        int number = 0;  // from 1, in script order
        int line = 0;    // script line (from 1) where its text starts
        std::string text;
        bool library = false;
    };
    struct Failure {
        std::string message;
        std::int32_t errorNumber = 0;  // the engine's error number, 0 for other errors
        std::string entry;             // the log entry, as written (or as it would be)
    };

    // Hears of the run's progress. Its errors are not statement failures: they end the run.
    class Observer {
    public:
        virtual ~Observer() = default;
        // Whether Starting needs the script's SHA-256.
        virtual bool WantsDigest() const { return false; }
        virtual void Starting(const ScriptText& /*script*/, int /*statements*/) {}
        virtual void BeforeStep(const Step& /*step*/) {}
        virtual void AfterStep(const Step& /*step*/, const std::optional<Failure>& /*failure*/) {}
        // A library ended the process during its step (after AfterStep reported the step as
        // failed with `message`); the process ends with exit code 1 when this returns.
        virtual void ProcessEnding(const std::string& /*message*/) {}
    };

    // An empty `logPath` writes no log (the failures still reach the observer).
    ScriptRunner(SqlStep sql, LibraryStep library, std::string logPath = "script.log", Observer* observer = nullptr)
        : sql_(std::move(sql)), library_(std::move(library)), logPath_(std::move(logPath)), observer_(observer) {}

    void Run(const std::string& scriptPath);

    // Whether `statement` is a library statement: its first word is "executaDLL".
    static bool IsLibraryStatement(const std::string& statement);
    // The library path of a library statement; raises EListError when it names none.
    static std::string LibraryPath(const std::string& statement);

private:
    class Log;
    std::optional<Failure> Execute(const Step& step);
    static Failure MakeFailure(const Step& step, std::string message, std::int32_t errorNumber);

    SqlStep sql_;
    LibraryStep library_;
    std::string logPath_;
    Observer* observer_;
};

}  // namespace pavana
