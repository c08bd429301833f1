// TDAODatabase: the connection component of the DAO layer.
//
// It holds the settings for opening one database through the engine, opens it (`Connect`,
// or `Connected` := true) and closes it (`Disconnect`). While it is open `EngineDatabase()`
// is the engine's Database object; every setting except `Version`, an unchanged
// `DatabaseName` and an unchanged `AllowZeroLength` can only be written while it is closed
// ("Cannot perform this operation on an open database", the setting unchanged).
//
// Engines are shared: each thread holds one engine object per DAO version, counted by the
// connections of that thread that acquired it, and released when the count returns to 0.
//
// Datasets that open on the connection register in `OpenDatasets` (borrowed, oldest first);
// `Disconnect` closes them, newest first, before it closes the engine database.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "classes/Component.h"
#include "classes/Persistent.h"
#include "engine/DBEngine.h"
#include "rtl/Exceptions.h"

namespace pavana {

class TDAODataset;
class TDAODatabase;

// The DAO layer's own failures; the message is its English text.
class EDAODatabaseError : public Exception {
public:
    using Exception::Exception;
};

enum class TDAOVersion { Dao35, Dao36 };

// The user name and password of a workspace created for one connection.
class TWorkspace : public TPersistent {
public:
    explicit TWorkspace(TDAODatabase& owner) : owner_(owner) {}

    std::string_view ClassName() const override { return "TWorkspace"; }

    const std::string& UserName() const { return userName_; }
    const std::string& Password() const { return password_; }
    // Both fail while the owning connection is open.
    void SetUserName(std::string userName);
    void SetPassword(std::string password);

private:
    TDAODatabase& owner_;
    std::string userName_;
    std::string password_;
};

class TDAODatabase : public TComponent {
public:
    using TConnectEvent = std::function<void(TDAODatabase& Database)>;
    using TDisconnectEvent = std::function<void(TDAODatabase& Database)>;

    explicit TDAODatabase(TComponent* owner);
    // Disconnects; a failure to close is swallowed here, since nothing could handle it.
    ~TDAODatabase() override;

    std::string_view ClassName() const override { return "TDAODatabase"; }

    void Connect();
    void Disconnect();
    // Fails with EDAODatabaseError while the connection is open.
    void CheckNotConnected() const;

    bool Connected() const { return engineDatabase_ != nullptr; }
    void SetConnected(bool connected);

    bool AllowZeroLength() const { return allowZeroLength_; }
    void SetAllowZeroLength(bool allow);
    TDAOVersion DAOVersion() const { return daoVersion_; }
    void SetDAOVersion(TDAOVersion version);
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(std::string name);
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool exclusive);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    const std::string& Password() const { return password_; }
    void SetPassword(std::string password);
    bool CreateWorkspace() const { return createWorkspace_; }
    void SetCreateWorkspace(bool create);
    const std::string& SystemDB() const { return systemDB_; }
    // Also reaches this thread's engine of the connection's version at once, when one exists.
    void SetSystemDB(std::string path);
    // Always "1.99"; a written value is accepted and ignored.
    std::string Version() const { return "1.99"; }
    void SetVersion(std::string_view) {}

    TWorkspace& Workspace() { return workspace_; }
    const TWorkspace& Workspace() const { return workspace_; }
    // Copies the user name and password of `workspace` into the own one.
    void SetWorkspace(const TWorkspace& workspace);

    TConnectEvent OnConnect;
    TDisconnectEvent OnDisconnect;

    // The engine's Database while the connection is open, else null.
    const std::shared_ptr<engine::Database>& EngineDatabase() const { return engineDatabase_; }
    const std::shared_ptr<engine::Workspace>& EngineWorkspace() const { return engineWorkspace_; }

    // Datasets open on this connection, in the order they opened.
    const std::vector<TDAODataset*>& OpenDatasets() const { return openDatasets_; }
    void AddOpenDataset(TDAODataset& dataset);
    void RemoveOpenDataset(TDAODataset& dataset);

    // Shows the message of a failed connect in design mode (standard error unless replaced).
    static std::function<void(const std::string&)> DesignMessage;

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

protected:
    void Loaded() override;

private:
    bool allowZeroLength_ = false;
    TDAOVersion daoVersion_ = TDAOVersion::Dao35;
    std::string databaseName_;
    bool streamedConnected_ = false;
    std::vector<TDAODataset*> openDatasets_;
    bool exclusive_ = false;
    bool readOnly_ = false;
    std::string password_;
    bool createWorkspace_ = false;
    TWorkspace workspace_;
    std::string systemDB_;
    std::shared_ptr<engine::Database> engineDatabase_;
    std::shared_ptr<engine::Workspace> engineWorkspace_;
};

// This thread's engine of a version: AcquireEngine counts a use and creates the engine on
// first use (setting its SystemDB to `systemDB` when not empty); it fails with
// EDAODatabaseError "Jet Engine v.%s not found." when the version's class is absent.
engine::DBEngine& AcquireEngine(TDAOVersion version, const std::string& systemDB);
// Counts a use off; releases the engine when `force` or when the count reaches 0.
void ReleaseEngine(TDAOVersion version, bool force);
// The engine this thread holds for a version, or null.
engine::DBEngine* HeldEngine(TDAOVersion version);

}  // namespace pavana
