#include "app/RunSession.h"

#include "ui/UserFront.h"

namespace pavana {

RunSession::RunSession(const CommandLine& commandLine) : options_(commandLine) {}

void RunSession::Starting(const ScriptText&, int) {}

void RunSession::BeforeStep(const ScriptRunner::Step&) {}

void RunSession::AfterStep(const ScriptRunner::Step&, const std::optional<ScriptRunner::Failure>&) {}

void RunSession::ProcessEnding(const std::string& message) { CurrentFront().ShowFatalError(message); }

void RunSession::CheckDatabaseFile() {}

}  // namespace pavana
