#include "app/RunSession.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/BesideFront.h"
#include "engine/Activity.h"
#include "rtl/Exceptions.h"
#include "ui/UserFront.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr milliseconds kFileCheckInterval{200};
constexpr milliseconds kProgressInterval{100};

constexpr const char* kBaseMovida =
    "A base de dados %s foi movida, apagada ou substituída durante a execução; a execução foi "
    "interrompida. As alterações já gravadas estão no arquivo que foi aberto.";

// The signal that asked a run with a report to stop, 0 while none did.
volatile std::sig_atomic_t g_stopSignal = 0;

// The first signal stops the run after the statement in progress; a second one ends the
// process the signal's own way.
void OnStopSignal(int signal) {
    if (g_stopSignal != 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_stopSignal = signal;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string UtcTime(std::chrono::system_clock::time_point when) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

const char* ModeName(RunMode mode) {
    switch (mode) {
        case RunMode::DryRun: return "dry-run";
        case RunMode::OneTransaction: return "one-transaction";
        default: return "each-statement";
    }
}

std::string Replace(std::string format, const std::string& value) {
    std::size_t at = format.find("%s");
    if (at != std::string::npos) format.replace(at, 2, value);
    return format;
}

}  // namespace

RunSession::RunSession(const CommandLine& commandLine)
    : options_(commandLine),
      startTime_(std::chrono::system_clock::now()),
      started_(steady_clock::now()),
      lastFileCheck_(started_) {
    engine::SetLockWaitLimit(std::chrono::seconds(options_.waitSeconds));
    engine::SetLockWaitHandler([this](milliseconds waited, milliseconds limit) { ShowWait(waited, limit); });
    if (options_.report) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, OnStopSignal);
    }
}

RunSession::~RunSession() { engine::SetLockWaitHandler({}); }

void RunSession::SetPaths(std::string database, std::string script) {
    databasePath_ = std::move(database);
    scriptPath_ = std::move(script);
}

void RunSession::Connected(std::shared_ptr<engine::Database> database) {
    database_ = std::move(database);
    if (!options_.check) return;
    std::vector<std::string> problems = database_->QuickCheck();
    if (problems.empty()) return;
    std::string found;
    for (std::size_t i = 0; i < problems.size() && i < 10; ++i) found += "\r\n" + problems[i];
    throw Exception("A verificação da base de dados encontrou danos; nenhum comando foi executado." + found);
}

void RunSession::ConnectionFailed(const std::string& message) {
    database_.reset();
    databaseError_ = message;
}

void RunSession::CloseFailed(const std::string& message) { databaseError_ = message; }

void RunSession::Failed(const std::string& message) {
    if (!fatalError_) fatalError_ = message;
}

void RunSession::ArgumentsRefused(const std::string& message) { argumentsError_ = message; }

void RunSession::Starting(const ScriptText& script, int statements) {
    scriptSha256_ = script.sha256;
    scriptEncoding_ = script.encoding;
    statements_ = statements;
    ShowProgress(false);
    if (!InBatch() || !database_) return;
    database_->BeginBatch();
    batchOpen_ = true;
    EndWait();
}

void RunSession::BeforeStep(const ScriptRunner::Step&) {
    if (batchOpen_) database_->MarkStep();
}

void RunSession::AfterStep(const ScriptRunner::Step& step, const std::optional<ScriptRunner::Failure>& failure) {
    ++done_;
    if (failure) {
        failures_.emplace_back(step, *failure);
        if (options_.mode == RunMode::DryRun) OnFrontThread([&] { CurrentFront().ShowText(failure->entry); });
    } else {
        ++succeeded_;
    }
    if (step.library) {
        std::string library;
        try {
            library = ScriptRunner::LibraryPath(step.text);
        } catch (const std::exception&) {
        }
        libraries_.push_back(
            {step.number, step.line, library, failure ? std::optional<std::string>(failure->message) : std::nullopt});
    }
    EndWait();
    if (batchOpen_) {
        try {
            database_->EndStep(!failure || step.library);
        } catch (const std::exception& error) {
            batchOpen_ = false;
            throw Exception(std::string("A transação da execução foi desfeita pelo motor de dados após o comando ") +
                            std::to_string(step.number) + "; nada foi gravado. " + error.what());
        }
    }
    if (g_stopSignal != 0)
        throw Exception(std::string("A execução foi interrompida pelo sinal SIG") + sigabbrev_np(g_stopSignal) +
                        " após o comando " + std::to_string(step.number) + ".");
    const auto now = steady_clock::now();
    if (now - lastFileCheck_ >= kFileCheckInterval) CheckDatabaseFile();
    if (now - lastProgress_ >= kProgressInterval) ShowProgress(false);
}

void RunSession::ScriptFinished() {
    if (batchOpen_) {
        CheckDatabaseFile();
        batchOpen_ = false;
        // The commit may wait long for the disk: the front's windows stay alive meanwhile.
        RunBesideFront([&] { database_->EndBatch(options_.mode == RunMode::OneTransaction); });
    }
    CheckDatabaseFile();
    finished_ = true;
    ShowProgress(true);
}

void RunSession::ProcessEnding(const std::string& message) {
    Failed(message);
    OnFrontThread([&] { CurrentFront().ShowFatalError(message); });
    WriteReport();
}

void RunSession::CheckDatabaseFile() {
    lastFileCheck_ = steady_clock::now();
    if (!database_ || database_->StillAtPath()) return;
    batchOpen_ = false;
    throw Exception(Replace(kBaseMovida, databasePath_));
}

void RunSession::ShowWait(milliseconds waited, milliseconds limit) {
    const long long seconds = waited.count() / 1000;
    if (waiting_ && seconds == waitShown_) return;
    waiting_ = true;
    waitShown_ = seconds;
    if (!fvrxEvolucao) return;
    fvrxEvolucao->SetProgressStatus("Aguardando a base de dados, bloqueada por outro programa: " +
                                    std::to_string(seconds) + " s de " + std::to_string(limit.count() / 1000) + " s. ");
}

void RunSession::EndWait() {
    if (!waiting_) return;
    waiting_ = false;
    waitShown_ = -1;
    OnFrontThread([] {
        if (fvrxEvolucao) fvrxEvolucao->SetProgressStatus("Realizando atualizações na base. Aguarde... ");
    });
}

void RunSession::ShowProgress(bool finished) {
    lastProgress_ = steady_clock::now();
    RunProgress progress;
    progress.done = done_;
    progress.total = statements_;
    progress.failed = static_cast<int>(failures_.size());
    progress.elapsedSeconds = std::chrono::duration<double>(lastProgress_ - started_).count();
    progress.finished = finished;
    OnFrontThread([&] { CurrentFront().ShowRunProgress(progress); });
}

int RunSession::ExitCode() const {
    if (fatalError_) return 1;
    if (!options_.exitCodes) return 0;
    if (argumentsError_) return 1;
    if (databaseError_) return 2;
    return failures_.empty() ? 0 : 3;
}

void RunSession::WriteReport() const {
    if (!options_.report) return;
    const std::string& path = *options_.report;
    std::string outcome = fatalError_      ? "error"
                          : databaseError_ ? "database-error"
                          : finished_      ? "completed"
                                           : "not-run";
    std::string json = "{\n";
    json += "  \"program\": \"PavanaScript\",\n";
    json += "  \"version\": " + JsonString(PAVANA_VERSION) + ",\n";
    json += "  \"database\": " + JsonString(databasePath_) + ",\n";
    json += "  \"script\": " + JsonString(scriptPath_) + ",\n";
    json += "  \"script_sha256\": " + (scriptSha256_.empty() ? std::string("null") : JsonString(scriptSha256_)) + ",\n";
    json += "  \"script_encoding\": " + (scriptEncoding_.empty() ? std::string("null") : JsonString(scriptEncoding_)) +
            ",\n";
    json += "  \"mode\": " + JsonString(ModeName(options_.mode)) + ",\n";
    json += "  \"started\": " + JsonString(UtcTime(startTime_)) + ",\n";
    json += "  \"ended\": " + JsonString(UtcTime(std::chrono::system_clock::now())) + ",\n";
    json += "  \"outcome\": " + JsonString(outcome) + ",\n";
    const std::optional<std::string>& message = fatalError_       ? fatalError_
                                                : argumentsError_ ? argumentsError_
                                                                  : databaseError_;
    json += "  \"message\": " + (message ? JsonString(*message) : std::string("null")) + ",\n";
    json += "  \"exit_code\": " + std::to_string(ExitCode()) + ",\n";
    json += "  \"counts\": {\"statements\": " + std::to_string(statements_) + ", \"run\": " + std::to_string(done_) +
            ", \"succeeded\": " + std::to_string(succeeded_) + ", \"failed\": " + std::to_string(failures_.size()) +
            ", \"records_affected\": " + std::to_string(recordsAffected_) + "},\n";
    json += "  \"failures\": [";
    for (std::size_t i = 0; i < failures_.size(); ++i) {
        const auto& [step, failure] = failures_[i];
        json += std::string(i ? "," : "") + "\n    {\"statement\": " + std::to_string(step.number) +
                ", \"line\": " + std::to_string(step.line) + ", \"text\": " + JsonString(step.text) +
                ", \"message\": " + JsonString(failure.message) +
                ", \"error_number\": " + std::to_string(failure.errorNumber) +
                ", \"entry\": " + JsonString(failure.entry) + "}";
    }
    json += failures_.empty() ? "],\n" : "\n  ],\n";
    json += "  \"libraries\": [";
    for (std::size_t i = 0; i < libraries_.size(); ++i) {
        const LibraryStep& library = libraries_[i];
        json += std::string(i ? "," : "") + "\n    {\"statement\": " + std::to_string(library.number) +
                ", \"line\": " + std::to_string(library.line) + ", \"library\": " + JsonString(library.library) +
                ", \"outcome\": " + (library.failure ? "\"failed\"" : "\"succeeded\"") +
                ", \"message\": " + (library.failure ? JsonString(*library.failure) : std::string("null")) + "}";
    }
    json += libraries_.empty() ? "]\n}\n" : "\n  ]\n}\n";

    const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(json.data(), 1, json.size(), file) == json.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return;
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    CurrentFront().ShowText("PavanaScript: o relatório " + path + " não pôde ser gravado: " + reason + "\n");
}

}  // namespace pavana
