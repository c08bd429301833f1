#include "app/BesideFront.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "engine/Activity.h"
#include "ui/UserFront.h"

namespace pavana {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kKeepAliveInterval{10};

// What the work's thread and the front's thread share while the work runs.
struct Handoff {
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void()>* call = nullptr;  // handed by the work, not yet run
    std::exception_ptr callError;
    bool callDone = false;
    bool workDone = false;
};

// Set on the work's thread only: the handoff to its front thread.
thread_local Handoff* t_handoff = nullptr;
// Whether a work runs beside the front (work started from it runs in place).
bool g_running = false;

// The front's side: runs the handed call, if any, with the lock released. True when it ran one.
bool RunHandedCall(Handoff& handoff, std::unique_lock<std::mutex>& lock) {
    if (handoff.call == nullptr || handoff.callDone) return false;
    const std::function<void()>* call = handoff.call;
    lock.unlock();
    std::exception_ptr error;
    try {
        (*call)();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    handoff.callError = error;
    handoff.callDone = true;
    handoff.changed.notify_all();
    return true;
}

}  // namespace

void RunBesideFront(const std::function<void()>& work) {
    UserFront& front = CurrentFront();
    if (!front.HasWindows() || g_running || t_handoff != nullptr) {
        work();
        return;
    }
    Handoff handoff;
    std::exception_ptr workError;
    const milliseconds lockWaitLimit = engine::LockWaitLimit();
    std::thread worker([&] {
        t_handoff = &handoff;
        engine::SetLockWaitLimit(lockWaitLimit);
        engine::SetLockWaitHandler([](milliseconds waited, milliseconds limit) {
            try {
                OnFrontThread([&] { engine::ReportLockWait(waited, limit); });
            } catch (...) {
            }
        });
        try {
            work();
        } catch (...) {
            workError = std::current_exception();
        }
        engine::SetLockWaitHandler({});
        t_handoff = nullptr;
        std::lock_guard<std::mutex> lock(handoff.mutex);
        handoff.workDone = true;
        handoff.changed.notify_all();
    });
    g_running = true;
    // The work is waited for whatever happens here: an error of the windows stops their care
    // and is raised once the work has ended, after the work's own error.
    std::exception_ptr frontError;
    {
        std::unique_lock<std::mutex> lock(handoff.mutex);
        while (!handoff.workDone) {
            if (RunHandedCall(handoff, lock)) continue;
            handoff.changed.wait_for(lock, kKeepAliveInterval);
            if (frontError || handoff.workDone || (handoff.call != nullptr && !handoff.callDone)) continue;
            lock.unlock();
            try {
                front.KeepWindowsAlive();
            } catch (...) {
                frontError = std::current_exception();
            }
            lock.lock();
        }
    }
    worker.join();
    g_running = false;
    if (workError) std::rethrow_exception(workError);
    if (frontError) std::rethrow_exception(frontError);
}

void OnFrontThread(const std::function<void()>& call) {
    Handoff* handoff = t_handoff;
    if (handoff == nullptr) {
        call();
        return;
    }
    std::exception_ptr error;
    {
        std::unique_lock<std::mutex> lock(handoff->mutex);
        handoff->call = &call;
        handoff->callDone = false;
        handoff->changed.notify_all();
        handoff->changed.wait(lock, [&] { return handoff->callDone; });
        handoff->call = nullptr;
        error = std::exchange(handoff->callError, nullptr);
    }
    if (error) std::rethrow_exception(error);
}

}  // namespace pavana
