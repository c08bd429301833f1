#include "engine/sqlite/SqliteEngine.h"

#include <vector>

#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"
#include "engine/sqlite/SqliteDatabase.h"

namespace pavana::engine::sqlite {
namespace {

const char* const kWorkspaceSource = "DAO.Workspace";
constexpr std::size_t kMaxTransactions = 5;

bool BooleanArgument(const Variant& v, const char* source) {
    if (v.IsAbsent()) return false;
    try {
        return v.ToBoolean();
    } catch (const EConvertError&) {
        RaiseEngineError(jetInvalidArgument, source);
    }
}

std::string TextArgument(const Variant& v, const char* source) {
    if (v.IsAbsent()) return {};
    try {
        return v.ToString();
    } catch (const EConvertError&) {
        RaiseEngineError(jetInvalidArgument, source);
    }
}

class WorkspaceImpl : public Workspace {
public:
    WorkspaceImpl(std::string name, std::string userName) : name_(std::move(name)), userName_(std::move(userName)) {}

    std::string Name() const override { return name_; }
    std::string UserName() const override { return userName_; }
    std::int32_t Type() const override { return dbUseJet; }

    std::shared_ptr<Database> OpenDatabase(const std::string& path, const Variant& options, const Variant& readOnly,
                                           const Variant& connect) override {
        CheckOpen();
        auto db =
            DatabaseImpl::Open(path, BooleanArgument(options, kWorkspaceSource),
                               BooleanArgument(readOnly, kWorkspaceSource), TextArgument(connect, kWorkspaceSource));
        Keep(db);
        return db;
    }

    std::shared_ptr<Database> CreateDatabase(const std::string& path, const std::string& connect) override {
        CheckOpen();
        auto db = DatabaseImpl::Create(path, connect);
        Keep(db);
        return db;
    }

    void BeginTrans() override {
        CheckOpen();
        if (transactions_.size() >= kMaxTransactions) RaiseEngineError(jetTooManyTransactions, kWorkspaceSource);
        std::vector<std::weak_ptr<Database>> level;
        for (auto& weak : databases_)
            if (auto db = weak.lock()) {
                db->BeginTrans();
                level.push_back(weak);
            }
        transactions_.push_back(std::move(level));
    }

    void CommitTrans() override {
        EndTransaction([](Database& db) { db.CommitTrans(); });
    }

    void Rollback() override {
        EndTransaction([](Database& db) { db.Rollback(); });
    }

    void Close() override {
        for (auto& weak : databases_)
            if (auto db = weak.lock()) db->Close();
        databases_.clear();
        closed_ = true;
    }

private:
    void CheckOpen() const {
        if (closed_) RaiseEngineError(jetObjectInvalid, kWorkspaceSource);
    }
    // Ends the innermost transaction on the databases it was begun on and that are still open.
    template <typename End>
    void EndTransaction(End end) {
        CheckOpen();
        if (transactions_.empty()) RaiseEngineError(jetNoTransaction, kWorkspaceSource);
        auto level = std::move(transactions_.back());
        transactions_.pop_back();
        for (auto& weak : level)
            if (auto db = weak.lock()) end(*db);
    }
    void Keep(const std::shared_ptr<Database>& db) {
        std::erase_if(databases_, [](const std::weak_ptr<Database>& w) { return w.expired(); });
        databases_.push_back(db);
    }

    std::string name_;
    std::string userName_;
    std::vector<std::weak_ptr<Database>> databases_;
    std::vector<std::vector<std::weak_ptr<Database>>> transactions_;  // innermost last
    bool closed_ = false;
};

class DBEngineImpl : public DBEngine {
public:
    explicit DBEngineImpl(std::string version) : version_(std::move(version)) {}

    std::string Version() const override { return version_; }
    std::string SystemDB() const override { return systemDB_; }
    void SetSystemDB(const std::string& path) override { systemDB_ = path; }

    std::shared_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& userName, const std::string&,
                                               const Variant& type) override {
        if (!type.IsAbsent()) {
            std::int32_t t = 0;
            try {
                t = type.ToInteger();
            } catch (const EConvertError&) {
                RaiseEngineError(jetInvalidArgument, "DAO.DBEngine");
            }
            if (t != dbUseJet) RaiseEngineError(jetNotSupported, "DAO.DBEngine");
        }
        return std::make_shared<WorkspaceImpl>(name, userName);
    }

    std::shared_ptr<Workspace> DefaultWorkspace() override {
        if (!defaultWorkspace_) defaultWorkspace_ = std::make_shared<WorkspaceImpl>("#Default Workspace#", "admin");
        return defaultWorkspace_;
    }

    std::shared_ptr<Database> OpenDatabase(const std::string& path, const Variant& options, const Variant& readOnly,
                                           const Variant& connect) override {
        return DefaultWorkspace()->OpenDatabase(path, options, readOnly, connect);
    }

private:
    std::string version_;
    std::string systemDB_;
    std::shared_ptr<Workspace> defaultWorkspace_;
};

}  // namespace

std::shared_ptr<DBEngine> CreateSqliteEngine(const std::string& version) {
    return std::make_shared<DBEngineImpl>(version);
}

}  // namespace pavana::engine::sqlite

namespace pavana::engine {

// The process registry lives with the engine it installs: linking this library is what
// makes the two DAO classes available.
ClassRegistry& ClassRegistry::Default() {
    static ClassRegistry registry = [] {
        ClassRegistry r;
        r.Register(kDao35ClassId, [] { return sqlite::CreateSqliteEngine("3.5"); });
        r.Register(kDao36ClassId, [] { return sqlite::CreateSqliteEngine("3.6"); });
        return r;
    }();
    return registry;
}

}  // namespace pavana::engine
