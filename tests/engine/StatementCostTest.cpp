// What one statement of an update run costs the engine in SQLite's work: one prepared
// statement per script statement once the tables are known, whatever its values need, and the
// schema it is translated with kept in step with changes made by another program.
#include <dlfcn.h>
#include <sqlite3.h>

#include <atomic>

#include "EngineFixture.h"

namespace {

std::atomic<int> g_prepares{0};

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// Every statement the engine prepares passes through here on its way to SQLite.
extern "C" int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                                  const char** tail) {
    static const auto next =
        Next<int (*)(sqlite3*, const char*, int, sqlite3_stmt**, const char**)>("sqlite3_prepare_v2");
    ++g_prepares;
    return next(db, sql, bytes, statement, tail);
}

extern "C" int sqlite3_prepare_v3(sqlite3* db, const char* sql, int bytes, unsigned flags, sqlite3_stmt** statement,
                                  const char** tail) {
    static const auto next =
        Next<int (*)(sqlite3*, const char*, int, unsigned, sqlite3_stmt**, const char**)>("sqlite3_prepare_v3");
    ++g_prepares;
    return next(db, sql, bytes, flags, statement, tail);
}

namespace pavana::engine {
namespace {

class StatementCostTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        db_ = Create("run.mdb");
        for (const char* definition :
             {"CREATE TABLE T (n LONG CONSTRAINT pk PRIMARY KEY, s TEXT(30))",
              "CREATE TABLE Wide (a LONG, b TEXT(50), c LONG, d TEXT(50), e DATETIME, f YESNO, g DOUBLE, "
              "h CURRENCY, i SHORT, j MEMO, k TEXT(50), l TEXT(50))",
              "CREATE TABLE [Notas finais] ([Código] LONG PRIMARY KEY, [Nome do aluno] TEXT(50), Nota DOUBLE, "
              "[Lançada em] DATETIME, Aprovado YESNO)"})
            db_->Execute(definition);
        // Shared, as an update run opens it, so that another program can change it.
        db_->Close();
        db_ = engine_->DefaultWorkspace()->OpenDatabase(Path("run.mdb"), Variant(false), Variant(false),
                                                        Variant(std::string()));
    }
    void TearDown() override {
        db_->Close();
        EngineFixture::TearDown();
    }

    // The statements prepared to run `statements` as an update run runs them, each through
    // a query definition of its own.
    int PreparesOf(const std::vector<std::string>& statements) {
        const int before = g_prepares;
        for (const std::string& sql : statements) db_->CreateQueryDef({}, sql)->Execute(Variant::Missing());
        return g_prepares - before;
    }

    static std::vector<std::string> Numbered(int from, int count, const std::function<std::string(int)>& statement) {
        std::vector<std::string> out;
        for (int i = from; i < from + count; ++i) out.push_back(statement(i));
        return out;
    }

    std::shared_ptr<Database> db_;
};

TEST_F(StatementCostTest, EachStatementOfTheRunWorkloadsIsPreparedOnce) {
    auto plain = [](int i) { return "INSERT INTO T VALUES (" + std::to_string(i) + ", 'text')"; };
    auto wide = [](int i) {
        return "INSERT INTO Wide (a, b, c, d, e, f, g, h, i, j, k, l) VALUES (" + std::to_string(i) +
               ", 'name', 7, 'code', #3/" + std::to_string(i % 28 + 1) +
               "/2024#, True, 1.25, 2.5, 3, 'note', 'x', 'y')";
    };
    auto jet = [](int i) {
        return "INSERT INTO [Notas finais] ([Código], [Nome do aluno], Nota, [Lançada em], Aprovado) VALUES (" +
               std::to_string(i) + ", 'aluno', 7.5, #1/" + std::to_string(i % 28 + 1) + "/2024#, False)";
    };
    auto update = [](int i) { return "UPDATE T SET s = 'changed' WHERE n = " + std::to_string(i); };
    // The first statement on each table reads its columns.
    PreparesOf({plain(0), wide(0), jet(0)});
    EXPECT_EQ(PreparesOf(Numbered(1, 50, plain)), 50);
    EXPECT_EQ(PreparesOf(Numbered(1, 50, wide)), 50);
    EXPECT_EQ(PreparesOf(Numbered(1, 50, jet)), 50);
    EXPECT_EQ(PreparesOf(Numbered(1, 50, update)), 50);
    EXPECT_EQ(Scalar(*db_, "SELECT COUNT(*) FROM T WHERE s = 'changed'").ToInteger(), 50);
}

TEST_F(StatementCostTest, ValuesWrittenByPositionAreConvertedForTheColumnsAsTheSchemaNowHasThem) {
    // 2.5 into a Long is rounded half to even, as Jet rounds it; a number into a text column
    // becomes text.
    db_->Execute("INSERT INTO T VALUES (2.5, 17.5)");
    EXPECT_EQ(Scalar(*db_, "SELECT n FROM T").ToInteger(), 2);
    EXPECT_EQ(Scalar(*db_, "SELECT s FROM T").ToString(), "17.5");

    // Another program gives the table other columns; the run goes on with the new ones from
    // the statement after the one that first sees the change.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Path("run.mdb").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "DROP TABLE T; CREATE TABLE T (n DOUBLE, s TEXT(30))", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    db_->Execute("DELETE FROM T");
    db_->Execute("INSERT INTO T VALUES (3.5, 'x')");
    EXPECT_EQ(Scalar(*db_, "SELECT n FROM T").ToDouble(), 3.5);

    // This connection's own definitions are seen at once.
    db_->Execute("DROP TABLE T");
    db_->Execute("CREATE TABLE T (s TEXT(30), n LONG)");
    db_->Execute("INSERT INTO T VALUES (4.5, 4.5)");
    EXPECT_EQ(Scalar(*db_, "SELECT s FROM T").ToString(), "4.5");
    EXPECT_EQ(Scalar(*db_, "SELECT n FROM T").ToInteger(), 4);

    // A query definition kept across a change of its column's type writes for the new type.
    std::shared_ptr<QueryDef> kept = db_->CreateQueryDef({}, "INSERT INTO T (n) VALUES (6.5)");
    kept->Execute(Variant::Missing());
    db_->Execute("ALTER TABLE T ALTER COLUMN n DOUBLE");
    kept->Execute(Variant::Missing());
    EXPECT_EQ(Scalar(*db_, "SELECT COUNT(*) FROM T WHERE n = 6").ToInteger(), 1);
    EXPECT_EQ(Scalar(*db_, "SELECT COUNT(*) FROM T WHERE n = 6.5").ToInteger(), 1);
}

}  // namespace
}  // namespace pavana::engine
