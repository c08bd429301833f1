#include "engine/Activity.h"

namespace pavana::engine {
namespace {

thread_local ActivityHandler handler;
// True while the handler runs, so that engine work it causes does not call it again.
thread_local bool reporting = false;

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
