#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/BesideFront.h"
#include "engine/Activity.h"
#include "ui/UserFront.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

using std::chrono::milliseconds;

// A front with windows that counts how often its thread tended them.
class WindowedFront : public UserFront {
public:
    explicit WindowedFront(std::atomic<int>& tended) : tended_(tended) {}
    MessageAnswer ShowMessage(const MessageRequest&) override { return {}; }
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override { return nullptr; }
    void ShowFatalError(const std::string&) override {}
    bool HasWindows() const override { return true; }
    void KeepWindowsAlive() override { ++tended_; }

private:
    std::atomic<int>& tended_;
};

class BesideFrontTest : public ::testing::Test {
protected:
    void SetUp() override { InstallFront(std::make_unique<WindowedFront>(tended_)); }
    void TearDown() override {
        InstallFront(nullptr);
        engine::SetLockWaitHandler({});
        engine::SetLockWaitLimit(std::chrono::seconds(5));
    }
    std::atomic<int> tended_{0};
};

// The work runs on another thread while the front's thread keeps tending its windows; what the
// work hands the front runs on the front's thread, in order, and the work's lock waits reach
// the front thread's handler with the front thread's limit.
TEST_F(BesideFrontTest, WorkRunsApartWhileTheFrontIsTendedAndHandsItsCallsOver) {
    const std::thread::id front = std::this_thread::get_id();
    std::vector<std::thread::id> waitsHeardOn;
    engine::SetLockWaitLimit(milliseconds(7000));
    engine::SetLockWaitHandler([&](milliseconds waited, milliseconds limit) {
        EXPECT_EQ(waited, milliseconds(1200));
        EXPECT_EQ(limit, milliseconds(7000));
        waitsHeardOn.push_back(std::this_thread::get_id());
    });
    std::thread::id workThread;
    milliseconds workLimit{0};
    std::vector<int> order;
    RunBesideFront([&] {
        workThread = std::this_thread::get_id();
        workLimit = engine::LockWaitLimit();
        const int before = tended_;
        std::this_thread::sleep_for(milliseconds(300));
        EXPECT_GT(tended_, before) << "the front was not tended while the work ran";
        for (int i = 0; i < 3; ++i)
            OnFrontThread([&] {
                EXPECT_EQ(std::this_thread::get_id(), front);
                order.push_back(i);
            });
        engine::ReportLockWait(milliseconds(1200), engine::LockWaitLimit());
        // Work started from the work runs in place.
        RunBesideFront([&] { EXPECT_EQ(std::this_thread::get_id(), workThread); });
    });
    EXPECT_NE(workThread, front);
    EXPECT_EQ(workLimit, milliseconds(7000));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(waitsHeardOn, std::vector<std::thread::id>{front});
}

// What the work raises, and what a handed call raises, come out where they were waited for.
TEST_F(BesideFrontTest, ErrorsReachTheWaitingSide) {
    EXPECT_THROW(RunBesideFront([] { throw std::runtime_error("work"); }), std::runtime_error);
    bool caught = false;
    RunBesideFront([&] {
        try {
            OnFrontThread([] { throw std::invalid_argument("call"); });
        } catch (const std::invalid_argument&) {
            caught = true;
        }
    });
    EXPECT_TRUE(caught);
    // Without windows the work runs on the calling thread.
    InstallFront(nullptr);
    const std::thread::id caller = std::this_thread::get_id();
    RunBesideFront([&] { EXPECT_EQ(std::this_thread::get_id(), caller); });
}

}  // namespace
}  // namespace pavana
