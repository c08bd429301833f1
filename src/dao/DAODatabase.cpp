#include "dao/DAODatabase.h"

#include <array>
#include <cstdio>

#include "classes/DefinitionReader.h"
#include "dao/DAODataset.h"
#include "engine/ClassRegistry.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {

namespace {

constexpr const char* kOpenDatabaseError = "Cannot perform this operation on an open database";

struct EngineSlot {
    std::shared_ptr<engine::DBEngine> engine;
    int useCount = 0;
};

// The four per-thread values: an engine and a use count for each version. When the thread
// ends, its engines are released whatever their counts.
struct ThreadEngines {
    std::array<EngineSlot, 2> slots;
    ~ThreadEngines() {
        for (EngineSlot& slot : slots) slot.engine.reset();
    }
};

thread_local ThreadEngines threadEngines;

EngineSlot& SlotOf(TDAOVersion version) { return threadEngines.slots[static_cast<std::size_t>(version)]; }

const char* ClassIdOf(TDAOVersion version) {
    return version == TDAOVersion::Dao35 ? engine::kDao35ClassId : engine::kDao36ClassId;
}

const char* VersionText(TDAOVersion version) { return version == TDAOVersion::Dao35 ? "3.5" : "3.6"; }

std::string ConnectText(const std::string& password) { return ";PWD=" + password; }

// One counted use of this thread's engine, given back on leaving the scope unless `Keep`
// hands it to the connection that now holds it: a connection that fails to open never
// keeps the engine alive.
class EngineHold {
public:
    EngineHold(TDAOVersion version, const std::string& systemDB)
        : version_(version), engine_(&AcquireEngine(version, systemDB)) {}
    ~EngineHold() {
        if (engine_ != nullptr) ReleaseEngine(version_, false);
    }
    EngineHold(const EngineHold&) = delete;
    EngineHold& operator=(const EngineHold&) = delete;

    engine::DBEngine& Engine() const { return *engine_; }
    void Keep() { engine_ = nullptr; }

private:
    TDAOVersion version_;
    engine::DBEngine* engine_;
};

}  // namespace

engine::DBEngine& AcquireEngine(TDAOVersion version, const std::string& systemDB) {
    EngineSlot& slot = SlotOf(version);
    if (slot.engine == nullptr) {
        std::shared_ptr<engine::DBEngine> created = engine::ClassRegistry::Default().Create(ClassIdOf(version));
        if (created == nullptr)
            throw EDAODatabaseError(Format("Jet Engine v.%s not found.", {std::string(VersionText(version))}));
        if (!systemDB.empty()) created->SetSystemDB(systemDB);
        slot.engine = std::move(created);
    }
    ++slot.useCount;
    return *slot.engine;
}

void ReleaseEngine(TDAOVersion version, bool force) {
    EngineSlot& slot = SlotOf(version);
    --slot.useCount;
    if (slot.engine != nullptr && (force || slot.useCount == 0)) slot.engine.reset();
}

engine::DBEngine* HeldEngine(TDAOVersion version) { return SlotOf(version).engine.get(); }

// ---- TWorkspace -------------------------------------------------------------------------

void TWorkspace::SetUserName(std::string userName) {
    owner_.CheckNotConnected();
    userName_ = std::move(userName);
}

void TWorkspace::SetPassword(std::string password) {
    owner_.CheckNotConnected();
    password_ = std::move(password);
}

// ---- TDAODatabase -----------------------------------------------------------------------

std::function<void(const std::string&)> TDAODatabase::DesignMessage = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
};

TDAODatabase::TDAODatabase(TComponent* owner) : TComponent(owner), workspace_(*this) {}

TDAODatabase::~TDAODatabase() {
    try {
        Disconnect();
    } catch (const std::exception&) {
        // The engine keeps the file consistent on its own; a destructor has nobody to tell.
    }
}

void TDAODatabase::Connect() {
    if (engineDatabase_ != nullptr) return;
    try {
        if (OnConnect) OnConnect(*this);
        EngineHold hold(daoVersion_, systemDB_);
        Variant options(exclusive_);
        Variant readOnly(readOnly_);
        Variant connect(ConnectText(password_));
        std::shared_ptr<engine::Workspace> workspace;
        std::shared_ptr<engine::Database> database;
        if (createWorkspace_) {
            workspace = hold.Engine().CreateWorkspace(Name(), workspace_.UserName(), workspace_.Password(),
                                                      Variant(std::int32_t{engine::dbUseJet}));
            try {
                database = workspace->OpenDatabase(databaseName_, options, readOnly, connect);
            } catch (...) {
                workspace->Close();
                throw;
            }
        } else {
            database = hold.Engine().OpenDatabase(databaseName_, options, readOnly, connect);
        }
        engineWorkspace_ = std::move(workspace);
        engineDatabase_ = std::move(database);
        hold.Keep();
    } catch (const Exception& error) {
        if (!IsDesigning()) throw;
        DesignMessage(error.Message());
    }
}

void TDAODatabase::Disconnect() {
    if (engineDatabase_ == nullptr) return;
    if (OnDisconnect) OnDisconnect(*this);
    while (!openDatasets_.empty()) openDatasets_.back()->Close();
    engineDatabase_->Close();
    engineDatabase_.reset();
    if (createWorkspace_) {
        engineWorkspace_->Close();
        engineWorkspace_.reset();
    }
    ReleaseEngine(daoVersion_, false);
}

void TDAODatabase::CheckNotConnected() const {
    if (Connected()) throw EDAODatabaseError(kOpenDatabaseError);
}

void TDAODatabase::SetConnected(bool connected) {
    if (IsReading()) {
        streamedConnected_ = connected;
    } else if (connected) {
        Connect();
    } else {
        Disconnect();
    }
}

void TDAODatabase::SetAllowZeroLength(bool allow) {
    if (allow == allowZeroLength_) return;
    CheckNotConnected();
    allowZeroLength_ = allow;
}

void TDAODatabase::SetDAOVersion(TDAOVersion version) {
    CheckNotConnected();
    daoVersion_ = version;
}

void TDAODatabase::SetDatabaseName(std::string name) {
    if (!IsReading() && name != databaseName_) CheckNotConnected();
    databaseName_ = std::move(name);
}

void TDAODatabase::SetExclusive(bool exclusive) {
    CheckNotConnected();
    exclusive_ = exclusive;
}

void TDAODatabase::SetReadOnly(bool readOnly) {
    CheckNotConnected();
    readOnly_ = readOnly;
}

void TDAODatabase::SetPassword(std::string password) {
    CheckNotConnected();
    password_ = std::move(password);
}

void TDAODatabase::SetCreateWorkspace(bool create) {
    CheckNotConnected();
    createWorkspace_ = create;
}

void TDAODatabase::SetSystemDB(std::string path) {
    CheckNotConnected();
    systemDB_ = std::move(path);
    if (engine::DBEngine* held = HeldEngine(daoVersion_)) held->SetSystemDB(systemDB_);
}

void TDAODatabase::SetWorkspace(const TWorkspace& workspace) {
    workspace_.SetUserName(workspace.UserName());
    workspace_.SetPassword(workspace.Password());
}

void TDAODatabase::AddOpenDataset(TDAODataset& dataset) { openDatasets_.push_back(&dataset); }

void TDAODatabase::RemoveOpenDataset(TDAODataset& dataset) { std::erase(openDatasets_, &dataset); }

bool TDAODatabase::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "AllowZeroLength") {
        SetAllowZeroLength(value.AsBoolean());
    } else if (name == "Connected") {
        SetConnected(value.AsBoolean());
    } else if (name == "CreateWorkspace") {
        SetCreateWorkspace(value.AsBoolean());
    } else if (name == "DAOVersion") {
        const std::string& version = value.AsIdentifier();
        if (AnsiSameText(version, "Dao35")) SetDAOVersion(TDAOVersion::Dao35);
        else if (AnsiSameText(version, "Dao36")) SetDAOVersion(TDAOVersion::Dao36);
        else throw EReadError("Invalid property value");
    } else if (name == "DatabaseName") {
        SetDatabaseName(value.AsText());
    } else if (name == "Exclusive") {
        SetExclusive(value.AsBoolean());
    } else if (name == "Password") {
        SetPassword(value.AsText());
    } else if (name == "ReadOnly") {
        SetReadOnly(value.AsBoolean());
    } else if (name == "SystemDB") {
        SetSystemDB(value.AsText());
    } else if (name == "Version") {
        SetVersion(value.AsText());
    } else if (name == "Workspace.UserName") {
        workspace_.SetUserName(value.AsText());
    } else if (name == "Workspace.Password") {
        workspace_.SetPassword(value.AsText());
    } else {
        return TComponent::ReadProperty(name, value, reader);
    }
    return true;
}

void TDAODatabase::Loaded() {
    TComponent::Loaded();
    if (streamedConnected_) Connect();
}

}  // namespace pavana
