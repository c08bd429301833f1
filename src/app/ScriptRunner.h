// Runs an update script: cuts it into statements and hands each one on, logging failures.
//
// The script is read whole (TStringList::LoadFromFile: UTF-16 with a byte-order mark, UTF-8,
// else Windows-1252; a NUL ends the text). Each non-empty line adds one blank and the line
// trimmed of characters of codes 0 to 32 to the statement buffer; a line containing ";"
// ends the statement, which is executed and the buffer emptied. Text left without ";" at the
// end is dropped. A statement containing "executaDLL" goes to the library step with the
// second item of its comma text, less its last character; any other goes to the SQL step.
//
// Every failure of a statement appends one entry to the log and the run goes on:
//   "Erro na execução do comando <statement>.\r\nVerifique a opção detalhes para maiores
//   informações." + " == " + <the error's message> + "\r\n"
// The log is appended to (created when missing) and written as UTF-8. A log that cannot be
// opened or written, and a script that cannot be read, raise out of `Run`.
#pragma once

#include <functional>
#include <string>

namespace pavana {

class ScriptRunner {
public:
    using SqlStep = std::function<void(const std::string& statement)>;
    using LibraryStep = std::function<void(const std::string& libraryPath)>;

    ScriptRunner(SqlStep sql, LibraryStep library, std::string logPath = "script.log")
        : sql_(std::move(sql)), library_(std::move(library)), logPath_(std::move(logPath)) {}

    void Run(const std::string& scriptPath);

private:
    class Log;
    void Execute(const std::string& statement, Log& log);

    SqlStep sql_;
    LibraryStep library_;
    std::string logPath_;
};

}  // namespace pavana
