#include "ScriptRunner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/upavANMensagensHints.h"
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

}  // namespace

// The log file, open while the script runs. Entries are flushed as they are written, so an
// interrupted run keeps every entry it wrote.
class ScriptRunner::Log {
public:
    explicit Log(const std::string& path) : path_(path) {
        file_ = std::fopen(path.c_str(), "ab");
        if (!file_) file_ = std::fopen(path.c_str(), "wb");
        if (!file_) Fail("Cannot create file %s. %s");
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log() {
        if (file_) std::fclose(file_);
    }

    void Write(const std::string& entry) {
        if (std::fwrite(entry.data(), 1, entry.size(), file_) != entry.size() ||
            std::fflush(file_) != 0)
            Fail("Cannot write file %s. %s");
    }

    // Closing is part of the run: an error while closing escapes like one while writing.
    void Close() {
        std::FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) Fail("Cannot close file %s. %s");
    }

private:
    [[noreturn]] void Fail(const char* format) {
        int error = errno;
        throw EInOutError(Format(format, {path_, std::strerror(error)}), error);
    }

    std::string path_;
    std::FILE* file_ = nullptr;
};

void ScriptRunner::Run(const std::string& scriptPath) {
    Log log(logPath_);
    {
        TStringList lines;
        lines.LoadFromFile(scriptPath);
        std::string statement;
        const int count = lines.Count();
        for (int i = 0; i < count; ++i) {
            const std::string& line = lines.Strings(i);
            if (line.empty()) continue;
            statement += ' ';
            statement += Trim(line);
            if (statement.find(';') == std::string::npos) continue;
            Execute(statement, log);
            statement.clear();
        }
    }
    log.Close();
}

void ScriptRunner::Execute(const std::string& statement, Log& log) {
    std::string failure;
    try {
        if (statement.find("executaDLL") != std::string::npos) {
            TStringList items;
            items.SetCommaText(statement);
            std::string path = items.Strings(1);
            DropLastCharacter(path);
            library_(path);
        } else {
            sql_(statement);
        }
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown error";
    }
    log.Write(Format(kErroExecucaoComando, {statement}) + " == " + failure + "\r\n");
}

}  // namespace pavana
