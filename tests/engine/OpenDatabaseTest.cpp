// Opening a database: every refusal with the engine's message and status, the password rule,
// read-only and exclusive opens.
#include <sys/stat.h>

#include <fstream>

#include <sqlite3.h>

#include "EngineFixture.h"

namespace pavana::engine {
namespace {

using OpenDatabaseTest = EngineFixture;

TEST_F(OpenDatabaseTest, FilesThatAreNotDatabasesAreRefusedWithTheirMessages) {
    RaisedError missing = ErrorOf([&] { engine_->OpenDatabase(Path("missing.mdb")); });
    EXPECT_EQ(missing.status, static_cast<std::int32_t>(0x800A0000u + 3024));
    EXPECT_EQ(missing.message, "Could not find file '" + Path("missing.mdb") + "'.");
    EXPECT_FALSE(std::filesystem::exists(Path("missing.mdb")));

    RaisedError folder = ErrorOf([&] { engine_->OpenDatabase(Path("none/x.mdb")); });
    EXPECT_EQ(folder.number, 3044);
    EXPECT_EQ(folder.message.rfind("'" + Path("none") + "' is not a valid path.", 0), 0u) << folder.message;

    std::ofstream(Path("text.mdb")) << "not a database at all, just some text that is long enough";
    std::ofstream(Path("empty.mdb"));
    std::filesystem::create_directory(Path("folder.mdb"));
    for (const char* name : {"text.mdb", "empty.mdb", "folder.mdb"}) {
        RaisedError e = ErrorOf([&] { engine_->OpenDatabase(Path(name)); });
        EXPECT_EQ(e.number, 3343) << name;
        EXPECT_EQ(e.message, "Unrecognized database format '" + Path(name) + "'.");
    }
    EXPECT_EQ(std::filesystem::file_size(Path("empty.mdb")), 0u);

    if (::geteuid() != 0) {  // root reads any file
        Create("locked.mdb")->Close();
        ::chmod(Path("locked.mdb").c_str(), 0);
        EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("locked.mdb")); }), 3051);
    }
}

TEST_F(OpenDatabaseTest, APasswordIsNeededExactlyAndNoPasswordOpensWithAny) {
    Create("p.mdb", ";PWD=Segredo")->Close();
    for (const char* connect : {"", ";PWD=", ";PWD=segredo", ";PWD=Segredo ", ";PWD=Segred", "PWD=x;"}) {
        RaisedError e = ErrorOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, connect); });
        EXPECT_EQ(e.number, 3031) << connect;
        EXPECT_EQ(e.message, "Not a valid password.");
    }
    for (const char* connect : {";PWD=Segredo", "MS Access;PWD=Segredo", ";pwd=Segredo;UID=admin"})
        EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, connect)->Close(); }), 0)
            << connect;

    Create("open.mdb")->Close();
    for (const char* connect : {"", ";PWD=", ";PWD=anything", "garbage"})
        EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("open.mdb"), false, false, connect)->Close(); }), 0)
            << connect;

    // The verifier lives in the engine's table, which statements cannot touch.
    auto db = engine_->OpenDatabase(Path("p.mdb"), false, false, ";PWD=Segredo");
    EXPECT_EQ(NumberOf([&] { db->Execute("DELETE FROM pavana_engine"); }), 3027);
    EXPECT_EQ(NumberOf([&] { db->Execute("DROP TABLE pavana_engine"); }), 3027);
    db->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, ""); }), 3031);
}

TEST_F(OpenDatabaseTest, NewPasswordNeedsExclusiveUseAndTheOldPassword) {
    Create("p.mdb")->Close();
    auto shared = engine_->OpenDatabase(Path("p.mdb"));
    EXPECT_EQ(NumberOf([&] { shared->NewPassword("", "nova"); }), 3621);
    shared->Close();
    auto db = engine_->OpenDatabase(Path("p.mdb"), true);
    EXPECT_EQ(NumberOf([&] { db->NewPassword("x", "nova"); }), 3031);
    EXPECT_EQ(NumberOf([&] { db->NewPassword("", "com;ponto"); }), 3031);
    db->NewPassword("", "nova");
    db->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, ";PWD=x"); }), 3031);
    db = engine_->OpenDatabase(Path("p.mdb"), true, false, ";PWD=nova");
    db->NewPassword("nova", "");
    db->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, ";PWD=x")->Close(); }), 0);

    // Another program's file keeps reading its currency amounts once it has a password.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Path("other.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "CREATE TABLE t (v CURRENCY); INSERT INTO t VALUES (12.5)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(other);
    db = engine_->OpenDatabase(Path("other.db"), true);
    db->NewPassword("", "nova");
    db->Close();
    db = engine_->OpenDatabase(Path("other.db"), false, false, ";PWD=nova");
    EXPECT_EQ(Scalar(*db, "SELECT v FROM t").ToDouble(), 12.5);
    EXPECT_EQ(Scalar(*db, "SELECT Sum(v) FROM t WHERE v = 12.5").ToDouble(), 12.5);
}

TEST_F(OpenDatabaseTest, ReadOnlyOpenRefusesEveryWrite) {
    auto db = Create("r.mdb");
    db->Execute("CREATE TABLE t (n LONG)");
    db->Execute("INSERT INTO t VALUES (1)");
    db->Close();
    db = engine_->OpenDatabase(Path("r.mdb"), false, true);
    EXPECT_FALSE(db->Updatable());
    for (const char* sql :
         {"INSERT INTO t VALUES (2)", "UPDATE t SET n = 3", "DELETE FROM t", "CREATE TABLE u (n LONG)"}) {
        RaisedError e = ErrorOf([&] { db->Execute(sql); });
        EXPECT_EQ(e.number, 3027) << sql;
        EXPECT_EQ(e.message, "Cannot update. Database or object is read-only.");
    }
    EXPECT_EQ(Scalar(*db, "SELECT COUNT(*) FROM t").ToInteger(), 1);
}

TEST_F(OpenDatabaseTest, ExclusiveOpenKeepsEveryOtherOpenOut) {
    Create("x.mdb")->Close();
    auto exclusive = engine_->OpenDatabase(Path("x.mdb"), true);
    for (bool secondExclusive : {false, true}) {
        RaisedError e = ErrorOf([&] { engine_->OpenDatabase(Path("x.mdb"), secondExclusive); });
        EXPECT_EQ(e.number, 3045);
        EXPECT_EQ(e.message, "Could not use '" + Path("x.mdb") + "'; file already in use.");
    }
    exclusive->Close();
    auto shared = engine_->OpenDatabase(Path("x.mdb"));
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("x.mdb"), true); }), 3045);
    auto another = engine_->OpenDatabase(Path("x.mdb"));
    another->Close();
    shared->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("x.mdb"), true)->Close(); }), 0);

    // Exclusive and read-only: others are kept out, and the holder itself cannot write.
    auto reader = engine_->OpenDatabase(Path("x.mdb"), true, true);
    EXPECT_FALSE(reader->Updatable());
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("x.mdb")); }), 3045);
    EXPECT_EQ(NumberOf([&] { reader->Execute("CREATE TABLE t (n LONG)"); }), 3027);
    EXPECT_EQ(Scalar(*reader, "SELECT COUNT(*) FROM pavana_engine").ToInteger(), 1);
    reader->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("x.mdb"))->Close(); }), 0);
}

TEST_F(OpenDatabaseTest, ClosedDatabaseAndItsObjectsFailAsNoLongerSet) {
    auto db = Create("c.mdb");
    db->Execute("CREATE TABLE t (n LONG)");
    auto q = db->CreateQueryDef("", "INSERT INTO t VALUES (1)");
    db->Close();
    db->Close();
    for (const auto& call : std::vector<std::function<void()>>{[&] { db->Execute("INSERT INTO t VALUES (1)"); },
                                                               [&] { q->Execute(); }, [&] { db->OpenRecordset("t"); },
                                                               [&] { db->CreateQueryDef("", "SELECT 1"); }}) {
        RaisedError e = ErrorOf(call);
        EXPECT_EQ(e.number, 3420);
        EXPECT_EQ(e.message, "Object invalid or no longer set.");
    }
}

}  // namespace
}  // namespace pavana::engine
