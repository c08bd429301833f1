// Long work beside a window-system front.
//
// A window-system front paints only on its own thread, the run's. Most of the run keeps the
// animation moving through the engine's activity hook, which the engine calls on that thread
// while a statement runs; but some work holds the thread for long without the hook being
// called: an extension library's call, the commit of a whole run and the closing of the
// database (its final checkpoint), whose waits for the disk happen inside SQLite. Such work
// goes through RunBesideFront.
//
// On a front with windows (UserFront::HasWindows) the work runs on a thread of its own while
// the calling thread keeps the windows alive (UserFront::KeepWindowsAlive, about every 10 ms)
// and runs, one at a time and in the order handed, the calls the work hands it through
// OnFrontThread. The work's thread waits for a database lock as long as the calling thread
// does, and each report of its lock wait reaches the calling thread's lock-wait handler on
// the calling thread. RunBesideFront returns once the work has ended and raises what the work
// raised. On any other front, and for work started from such work, the work runs on the
// calling thread as any other code.
#pragma once

#include <functional>

namespace pavana {

void RunBesideFront(const std::function<void()>& work);

// Runs `call` on the front's thread. From the thread of RunBesideFront's work, the call is
// handed to the waiting front thread and this waits for it, raising what the call raised;
// from any other thread the call runs at once.
void OnFrontThread(const std::function<void()>& call);

}  // namespace pavana
