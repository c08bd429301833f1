#include "dao/DAODatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana {
namespace {

using engine::ClassRegistry;

// An engine that records what the connection passes to it and otherwise is the real one.
class RecordingEngine : public engine::DBEngine {
public:
    explicit RecordingEngine(std::shared_ptr<engine::DBEngine> real) : real_(std::move(real)) {}

    std::string Version() const override { return real_->Version(); }
    std::string SystemDB() const override { return real_->SystemDB(); }
    void SetSystemDB(const std::string& path) override {
        systemDBWrites.push_back(path);
        real_->SetSystemDB(path);
    }
    std::shared_ptr<engine::Workspace> CreateWorkspace(const std::string& name, const std::string& user,
                                                       const std::string& password, const Variant& type) override {
        workspaceName = name;
        return real_->CreateWorkspace(name, user, password, type);
    }
    std::shared_ptr<engine::Workspace> DefaultWorkspace() override { return real_->DefaultWorkspace(); }
    std::shared_ptr<engine::Database> OpenDatabase(const std::string& path, const Variant& options,
                                                   const Variant& readOnly, const Variant& connect) override {
        lastConnect = connect.ToString();
        lastExclusive = options.ToBoolean();
        return real_->OpenDatabase(path, options, readOnly, connect);
    }

    std::vector<std::string> systemDBWrites;
    std::string workspaceName;
    std::string lastConnect;
    bool lastExclusive = false;

private:
    std::shared_ptr<engine::DBEngine> real_;
};

class DAODatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto real = ClassRegistry::Default().Create(engine::kDao35ClassId);
        real->DefaultWorkspace()->CreateDatabase(Path("plain.mdb"))->Close();
        real->DefaultWorkspace()->CreateDatabase(Path("secret.mdb"), ";PWD=qorvimband")->Close();
        RegisterRecordingEngine();
    }
    void RegisterRecordingEngine() {
        ClassRegistry::Default().Register(engine::kDao36ClassId, [this] {
            auto made = std::make_shared<RecordingEngine>(ClassRegistry::Default().Create(engine::kDao35ClassId));
            ++created;
            recording = made.get();
            return made;
        });
    }
    void TearDown() override {
        ClassRegistry::Default().Register(engine::kDao36ClassId,
                                          [] { return ClassRegistry::Default().Create(engine::kDao35ClassId); });
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    // A connection on the recording engine.
    std::unique_ptr<TDAODatabase> Connection(const char* file) {
        auto connection = std::make_unique<TDAODatabase>(nullptr);
        connection->SetDAOVersion(TDAOVersion::Dao36);
        connection->SetDatabaseName(Path(file));
        return connection;
    }

    const test::TestFolder dir_;
    int created = 0;
    RecordingEngine* recording = nullptr;
};

TEST_F(DAODatabaseTest, OpensWithThePasswordInTheConnectText) {
    auto connection = Connection("plain.mdb");
    connection->Connect();
    ASSERT_TRUE(connection->Connected());
    EXPECT_EQ(recording->lastConnect, ";PWD=");
    connection->Disconnect();

    auto guarded = Connection("secret.mdb");
    guarded->SetPassword("wrong");
    try {
        guarded->Connect();
        FAIL() << "a wrong password must not open the database";
    } catch (const EOleException& error) {
        EXPECT_EQ(error.Message(), "Not a valid password.");
    }
    EXPECT_FALSE(guarded->Connected());
    guarded->SetPassword("qorvimband");
    guarded->SetConnected(true);
    EXPECT_EQ(recording->lastConnect, ";PWD=qorvimband");
    EXPECT_NE(guarded->EngineDatabase(), nullptr);
}

TEST_F(DAODatabaseTest, EventsRunOnlyForRealTransitions) {
    auto connection = Connection("plain.mdb");
    int connects = 0, disconnects = 0;
    connection->OnConnect = [&](TDAODatabase& database) {
        EXPECT_EQ(&database, connection.get());
        ++connects;
    };
    connection->OnDisconnect = [&](TDAODatabase&) { ++disconnects; };
    connection->Disconnect();
    connection->Connect();
    connection->Connect();
    connection->Disconnect();
    connection->Disconnect();
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(disconnects, 1);
}

TEST_F(DAODatabaseTest, SettingsAreLockedWhileOpen) {
    auto connection = Connection("plain.mdb");
    connection->Connect();
    EXPECT_NO_THROW(connection->SetDatabaseName(Path("plain.mdb")));
    EXPECT_NO_THROW(connection->SetAllowZeroLength(false));
    auto refused = [&](const std::function<void()>& write) {
        try {
            write();
        } catch (const EDAODatabaseError& error) {
            return error.Message() == "Cannot perform this operation on an open database";
        }
        return false;
    };
    EXPECT_TRUE(refused([&] { connection->SetDatabaseName(Path("other.mdb")); }));
    EXPECT_TRUE(refused([&] { connection->SetExclusive(false); }));
    EXPECT_TRUE(refused([&] { connection->SetPassword(""); }));
    EXPECT_TRUE(refused([&] { connection->SetAllowZeroLength(true); }));
    EXPECT_TRUE(refused([&] { connection->Workspace().SetUserName("someone"); }));
    EXPECT_EQ(connection->DatabaseName(), Path("plain.mdb"));
    connection->SetVersion("2.0");
    EXPECT_EQ(connection->Version(), "1.99");
}

TEST_F(DAODatabaseTest, ConnectionsOfOneThreadShareOneEngine) {
    auto first = Connection("plain.mdb");
    auto second = Connection("secret.mdb");
    second->SetPassword("qorvimband");
    first->Connect();
    second->Connect();
    EXPECT_EQ(created, 1);
    first->Disconnect();
    EXPECT_NE(HeldEngine(TDAOVersion::Dao36), nullptr);
    second->Disconnect();
    EXPECT_EQ(HeldEngine(TDAOVersion::Dao36), nullptr);
}

TEST_F(DAODatabaseTest, FailedConnectsGiveTheEngineBack) {
    auto guarded = Connection("secret.mdb");
    guarded->SetPassword("wrong");
    EXPECT_THROW(guarded->Connect(), EOleException);
    EXPECT_EQ(HeldEngine(TDAOVersion::Dao36), nullptr);
    guarded->SetCreateWorkspace(true);
    EXPECT_THROW(guarded->Connect(), EOleException);
    EXPECT_EQ(HeldEngine(TDAOVersion::Dao36), nullptr);

    ClassRegistry::Default().Unregister(engine::kDao36ClassId);
    EXPECT_THROW(Connection("plain.mdb")->Connect(), EDAODatabaseError);
    RegisterRecordingEngine();
    auto plain = Connection("plain.mdb");
    plain->Connect();
    plain->Disconnect();
    EXPECT_EQ(HeldEngine(TDAOVersion::Dao36), nullptr);
    EXPECT_EQ(created, 3);
}

TEST_F(DAODatabaseTest, SystemDBReachesTheEngineWhenCreatedAndAtOnceWhileHeld) {
    auto first = Connection("plain.mdb");
    first->SetSystemDB("/etc/system.mdw");
    first->Connect();
    EXPECT_EQ(recording->systemDBWrites, (std::vector<std::string>{"/etc/system.mdw"}));
    auto second = Connection("plain.mdb");
    second->SetSystemDB("");
    EXPECT_EQ(recording->systemDBWrites, (std::vector<std::string>{"/etc/system.mdw", ""}));
}

TEST_F(DAODatabaseTest, MissingEngineVersionIsReported) {
    ClassRegistry::Default().Unregister(engine::kDao36ClassId);
    auto connection = Connection("plain.mdb");
    try {
        connection->Connect();
        FAIL() << "connect must fail without an engine";
    } catch (const EDAODatabaseError& error) {
        EXPECT_EQ(error.Message(), "Jet Engine v.3.6 not found.");
    }
    EXPECT_FALSE(connection->Connected());
}

TEST_F(DAODatabaseTest, CreatedWorkspaceIsNamedAfterTheComponent) {
    auto connection = Connection("plain.mdb");
    connection->SetName("dbsCurriculo");
    connection->SetCreateWorkspace(true);
    connection->Connect();
    EXPECT_EQ(recording->workspaceName, "dbsCurriculo");
    ASSERT_NE(connection->EngineWorkspace(), nullptr);
    connection->Disconnect();
    EXPECT_EQ(connection->EngineWorkspace(), nullptr);
}

TEST_F(DAODatabaseTest, DisconnectClosesOpenDatasetsNewestFirst) {
    auto connection = Connection("plain.mdb");
    connection->Connect();
    connection->EngineDatabase()->Execute("CREATE TABLE t (n LONG)");
    std::vector<std::string> closed;
    TDAOQuery older(nullptr), newer(nullptr);
    older.SetName("older");
    newer.SetName("newer");
    for (TDAOQuery* query : {&older, &newer}) {
        query->AfterClose = [&closed](TDataSet& dataSet) { closed.push_back(dataSet.Name()); };
        query->SetDatabase(connection.get());
        query->SetOpenType(TDAOQueryOpenType::db_OpenSnapshot);
        query->SQL().SetText("SELECT n FROM t");
        query->Open();
    }
    EXPECT_EQ(connection->OpenDatasets().size(), 2u);
    connection->Disconnect();
    EXPECT_EQ(closed, (std::vector<std::string>{"newer", "older"}));
    EXPECT_FALSE(older.Active());
    EXPECT_TRUE(connection->OpenDatasets().empty());
}

}  // namespace
}  // namespace pavana
