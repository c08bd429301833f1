#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "TestFolder.h"
#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana::engine {
namespace {

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = ClassRegistry::Default().Create(kDao36ClassId);
        engine_->DefaultWorkspace()->CreateDatabase(Path())->Close();
        db_ = engine_->OpenDatabase(Path());
        db_->Execute("CREATE TABLE t (id LONG PRIMARY KEY)");
    }
    void TearDown() override { db_->Close(); }
    std::string Path() const { return (dir_ / "t.mdb").string(); }

    // Rows of t as another connection sees them in the file.
    std::int32_t RowsInFile() {
        auto other = ClassRegistry::Default().Create(kDao36ClassId)->OpenDatabase(Path());
        auto rs = other->OpenRecordset("SELECT Count(*) AS n FROM t");
        std::int32_t n = rs->GetFields()->Item(0)->Value().ToInteger();
        other->Close();
        return n;
    }
    std::int32_t RowsSeen() {
        auto rs = db_->OpenRecordset("SELECT Count(*) AS n FROM t");
        return rs->GetFields()->Item(0)->Value().ToInteger();
    }
    static std::int32_t NumberOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EOleException& e) {
            return EngineErrorNumber(e.ErrorCode());
        }
        return 0;
    }

    const test::TestFolder dir_;
    std::shared_ptr<DBEngine> engine_;
    std::shared_ptr<Database> db_;
};

TEST_F(TransactionTest, CommitWritesToTheFileOnlyAtTheOutermostCommit) {
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (1)");
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (2)");
    db_->CommitTrans();
    EXPECT_EQ(RowsSeen(), 2);
    EXPECT_EQ(RowsInFile(), 0);
    db_->CommitTrans();
    EXPECT_EQ(RowsInFile(), 2);
}

TEST_F(TransactionTest, RollbackUndoesOnlyTheInnermostLevel) {
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (1)");
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (2)");
    db_->Rollback();
    EXPECT_EQ(RowsSeen(), 1);
    db_->Rollback();
    EXPECT_EQ(RowsSeen(), 0);
    db_->Execute("INSERT INTO t VALUES (3)");
    EXPECT_EQ(RowsInFile(), 1);
}

TEST_F(TransactionTest, FailedStatementInsideATransactionLeavesTheEarlierWork) {
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (1)");
    EXPECT_EQ(NumberOf([&] { db_->Execute("INSERT INTO t VALUES (1)"); }), jetDuplicateValue);
    db_->CommitTrans();
    EXPECT_EQ(RowsInFile(), 1);
}

TEST_F(TransactionTest, MisuseFailsWithJetNumbers) {
    EXPECT_EQ(NumberOf([&] { db_->CommitTrans(); }), jetNoTransaction);
    EXPECT_EQ(NumberOf([&] { db_->Rollback(); }), jetNoTransaction);
    for (int i = 0; i < 5; ++i) db_->BeginTrans();
    EXPECT_EQ(NumberOf([&] { db_->BeginTrans(); }), jetTooManyTransactions);
    for (int i = 0; i < 5; ++i) db_->Rollback();
    EXPECT_EQ(NumberOf([&] { db_->Rollback(); }), jetNoTransaction);
}

TEST_F(TransactionTest, ClosingUndoesAnOpenTransaction) {
    db_->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (1)");
    db_->Close();
    EXPECT_EQ(RowsInFile(), 0);
    db_ = engine_->OpenDatabase(Path());
}

TEST_F(TransactionTest, WorkspaceTransactionCoversItsOpenDatabases) {
    auto ws = engine_->DefaultWorkspace();
    ws->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (1)");
    ws->Rollback();
    EXPECT_EQ(RowsSeen(), 0);
    ws->BeginTrans();
    db_->Execute("INSERT INTO t VALUES (2)");
    ws->CommitTrans();
    EXPECT_EQ(RowsInFile(), 1);
    EXPECT_EQ(NumberOf([&] { ws->CommitTrans(); }), jetNoTransaction);
}

}  // namespace
}  // namespace pavana::engine
