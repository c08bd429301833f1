// A process killed while it runs statements: the file stays sound, every statement is either
// wholly applied or not at all, and every statement whose Execute returned is kept.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdint>
#include <vector>

#include "EngineFixture.h"

namespace pavana::engine {
namespace {

using KillTest = EngineFixture;

constexpr int kRowsPerStatement = 1000;

// The child: runs one 1000-row INSERT after another and reports on `out` the batch number
// of each statement whose Execute has returned. It never returns.
[[noreturn]] void RunStatements(const std::string& path, int out, std::int32_t first) {
    try {
        auto engine = ClassRegistry::Default().Create(kDao36ClassId);
        auto db = engine->OpenDatabase(path);
        auto q = db->CreateQueryDef("",
                                    "PARAMETERS [lote] LONG; INSERT INTO copia (lote, n) "
                                    "SELECT [lote], a.n * 100 + b.n * 10 + c.n FROM dez a, dez b, dez c");
        for (std::int32_t lote = first;; ++lote) {
            q->GetParameters()->Item(0)->SetValue(Variant(lote));
            q->Execute(Variant(dbFailOnError));
            if (::write(out, &lote, sizeof lote) != sizeof lote) ::_exit(3);
        }
    } catch (...) {
        ::_exit(2);
    }
}

// Reads whole batch numbers from `in` until `count` were read or the pipe ends; the last one.
std::int32_t ReadReports(int in, int count, std::int32_t last) {
    for (int i = 0; i < count || count < 0; ++i) {
        std::int32_t lote = 0;
        ssize_t n = ::read(in, &lote, sizeof lote);
        if (n != sizeof lote) break;
        last = lote;
    }
    return last;
}

TEST_F(KillTest, KilledWriterLeavesWholeStatementsAndKeepsEveryReturnedOne) {
    auto db = Create("k.mdb");
    db->Execute("CREATE TABLE dez (n LONG)");
    for (int n = 0; n < 10; ++n) db->Execute("INSERT INTO dez VALUES (" + std::to_string(n) + ")");
    db->Execute("CREATE TABLE copia (lote LONG, n LONG)");
    db->Execute("CREATE INDEX ixLote ON copia (lote, n)");
    db->Close();

    std::int32_t next = 0;
    for (int round = 0; round < 3; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            RunStatements(Path("k.mdb"), fds[1], next);
        }
        ::close(fds[1]);
        // Kill after a number of statements that differs by round, so the kill lands at
        // different points of a statement.
        std::int32_t returned = ReadReports(fds[0], 15 + 7 * round, next - 1);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own, status " << status;
        returned = ReadReports(fds[0], -1, returned);
        ::close(fds[0]);

        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(Path("k.mdb").c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &check, nullptr);
        ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
        sqlite3_finalize(check);
        sqlite3_close(raw);

        auto after = engine_->OpenDatabase(Path("k.mdb"));
        const std::int64_t rows = Scalar(*after, "SELECT COUNT(*) FROM copia").ToInt64();
        const std::int64_t batches = Scalar(*after, "SELECT COUNT(*) FROM (SELECT DISTINCT lote FROM copia)").ToInt64();
        const std::int32_t last = Scalar(*after, "SELECT MAX(lote) FROM copia").ToInteger();
        EXPECT_EQ(rows, batches * kRowsPerStatement) << "a statement was applied in part";
        EXPECT_EQ(Scalar(*after, "SELECT MIN(lote) FROM copia").ToInteger(), 0);
        EXPECT_EQ(batches, last + 1) << "a batch is missing";
        EXPECT_GE(last, returned) << "a statement whose Execute returned was lost";
        EXPECT_LE(last, returned + 1);
        after->Close();
        next = last + 1;
    }
    EXPECT_GE(next, 15 + 22 + 29);
}

}  // namespace
}  // namespace pavana::engine
