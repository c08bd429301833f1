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
#pragma once

#include <functional>

namespace pavana::engine {

using ActivityHandler = std::function<void()>;

// Sets the calling thread's handler, replacing the previous one; empty removes it.
void SetActivityHandler(ActivityHandler handler);

// Calls the calling thread's handler, if any; for engines. Never throws.
void ReportActivity() noexcept;

}  // namespace pavana::engine
