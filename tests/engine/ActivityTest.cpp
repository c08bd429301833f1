// The activity hook: called while statements run, per thread, never letting an exception
// of the handler through.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "TestFolder.h"
#include "engine/Activity.h"
#include "engine/ClassRegistry.h"

namespace pavana::engine {
namespace {

class ActivityTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto engine = ClassRegistry::Default().Create(kDao36ClassId);
        db_ = engine->DefaultWorkspace()->CreateDatabase((dir_ / "a.db").string());
        db_->Execute("CREATE TABLE d (n LONG)");
        for (int i = 0; i < 10; ++i) db_->Execute("INSERT INTO d VALUES (" + std::to_string(i) + ")");
        db_->Execute("CREATE TABLE big (n LONG)");
    }
    void TearDown() override {
        SetActivityHandler({});
        db_->Close();
    }
    // One statement that inserts 100,000 rows: hundreds of thousands of VM steps.
    void RunLong() { db_->Execute("INSERT INTO big SELECT a.n FROM d a, d b, d c, d e, d f"); }

    const test::TestFolder dir_;
    std::shared_ptr<Database> db_;
};

TEST_F(ActivityTest, HandlerIsCalledThroughoutALongStatement) {
    int calls = 0;
    SetActivityHandler([&] { ++calls; });
    db_->Execute("DELETE FROM big");
    EXPECT_GE(calls, 1);
    calls = 0;
    RunLong();
    EXPECT_GT(calls, 10);
    EXPECT_EQ(db_->RecordsAffected(), 100000);

    auto q = db_->CreateQueryDef("", "DELETE FROM big WHERE n = 0");
    calls = 0;
    q->Execute();
    EXPECT_GE(calls, 1);

    SetActivityHandler({});
    calls = 0;
    RunLong();
    EXPECT_EQ(calls, 0);
}

TEST_F(ActivityTest, ThrowingHandlerDoesNotStopTheStatement) {
    int calls = 0;
    SetActivityHandler([&] {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    EXPECT_NO_THROW(RunLong());
    EXPECT_GT(calls, 10);
    SetActivityHandler({});
    auto rs = db_->OpenRecordset("SELECT COUNT(*) FROM big");
    EXPECT_EQ(rs->GetFields()->Item(0)->Value().ToInteger(), 100000);
}

TEST_F(ActivityTest, HandlerBelongsToTheThreadThatSetIt) {
    int calls = 0;
    SetActivityHandler([&] { ++calls; });
    int otherCalls = 0;
    std::thread other([&] {
        SetActivityHandler([&] { ++otherCalls; });
        ReportActivity();
    });
    other.join();
    RunLong();
    EXPECT_EQ(otherCalls, 1);
    EXPECT_GT(calls, 10);
}

TEST_F(ActivityTest, HandlerThatReplacesItselfOrReportsAgainIsSafe) {
    int outer = 0;
    int inner = 0;
    SetActivityHandler([&] {
        ++outer;
        ReportActivity();  // nested: not called again
        SetActivityHandler([&] { ++inner; });
    });
    RunLong();
    EXPECT_EQ(outer, 1);
    EXPECT_GT(inner, 10);
}

}  // namespace
}  // namespace pavana::engine
