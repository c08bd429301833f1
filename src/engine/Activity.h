// The activity hook: a function the engine calls while it works, so that a program that runs
// statements on its only thread (the GUI) can keep an animation moving meanwhile.
//
// The handler is per thread: the one set on a thread is called only for statements that
// thread runs. An engine calls it when each Execute starts and, while a statement runs,
// every few thousand steps of SQLite's virtual machine (about every 10,000). An empty
// handler (the default) means none.
//
// The handler must not throw; an exception it raises is caught and ignored, since it would
// otherwise unwind through SQLite. It must not use the engine either (SQLite forbids
// touching a connection from inside its own progress callback): calls the engine makes
// while the handler runs do not call it again. Painting, processing timer events and
// reading the clock are what it is for.
//
// The lock wait: a statement that finds the database locked by another process waits for
// the lock, up to the calling thread's limit (5 seconds unless set), before it fails as
// locked. While it waits the engine keeps calling the activity handler and, about every
// 50 ms, the thread's lock-wait handler with the time waited so far and the limit; the
// same rules bind it as the activity handler.
#pragma once

#include <chrono>
#include <functional>

namespace pavana::engine {

using ActivityHandler = std::function<void()>;

// Sets the calling thread's handler, replacing the previous one; empty removes it.
void SetActivityHandler(ActivityHandler handler);

// Calls the calling thread's handler, if any; for engines. Never throws.
void ReportActivity() noexcept;

using LockWaitHandler = std::function<void(std::chrono::milliseconds waited, std::chrono::milliseconds limit)>;

// Sets how long the calling thread's statements wait for a lock.
void SetLockWaitLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds LockWaitLimit();
// Sets the calling thread's lock-wait handler, replacing the previous one; empty removes it.
void SetLockWaitHandler(LockWaitHandler handler);
// Calls the calling thread's lock-wait handler, if any; for engines. Never throws.
void ReportLockWait(std::chrono::milliseconds waited, std::chrono::milliseconds limit) noexcept;

}  // namespace pavana::engine
