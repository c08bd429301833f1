#include "engine/Activity.h"

namespace pavana::engine {
namespace {

thread_local ActivityHandler handler;
// True while the handler runs, so that engine work it causes does not call it again.
thread_local bool reporting = false;
thread_local std::chrono::milliseconds lockWaitLimit{5000};
thread_local LockWaitHandler lockWaitHandler;

}  // namespace

void SetActivityHandler(ActivityHandler h) { handler = std::move(h); }

void ReportActivity() noexcept {
    if (!handler || reporting) return;
    reporting = true;
    try {
        // A copy, so that a handler that replaces itself is not destroyed while it runs.
        ActivityHandler current = handler;
        current();
    } catch (...) {
        // The handler's contract forbids throwing; an exception here must not reach SQLite.
    }
    reporting = false;
}

}  // namespace pavana::engine

namespace pavana::engine {

void SetLockWaitLimit(std::chrono::milliseconds limit) { lockWaitLimit = limit; }

std::chrono::milliseconds LockWaitLimit() { return lockWaitLimit; }

void SetLockWaitHandler(LockWaitHandler h) { lockWaitHandler = std::move(h); }

void ReportLockWait(std::chrono::milliseconds waited, std::chrono::milliseconds limit) noexcept {
    if (!lockWaitHandler || reporting) return;
    reporting = true;
    try {
        LockWaitHandler current = lockWaitHandler;
        current(waited, limit);
    } catch (...) {
    }
    reporting = false;
}

}  // namespace pavana::engine
