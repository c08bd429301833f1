// TDAODataset: a dataset over one engine recordset.
//
// The dataset never builds a recordset itself: `CreateRecordset`, supplied by TDAOQuery,
// leaves one in `Recordset()`. Opening requires `Database` (else EDAODatabaseError "Cannot
// perform this operation without Database property"), connects it on demand, creates the
// recordset, stands before the first record and registers with the connection; closing
// releases the recordset (and a query definition, if one is still held) and unregisters.
//
// The connection is borrowed: when it is freed, `Database` becomes null.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/DataSet.h"
#include "engine/DBEngine.h"
#include "rtl/Variant.h"

namespace pavana {

class TDAODatabase;

enum class TDAOLockType { db_Pessimistic, db_Optimistic, db_OptimisticValue, db_OptimisticBatch };

enum class TDAOOpenParameter {
    db_DenyWrite,
    db_DenyRead,
    db_ReadOnly,
    db_AppendOnly,
    db_Inconsistent,
    db_Consistent,
    db_SQLPassThrough,
    db_FailOnError,
    db_ForwardOnly,
    db_SeeChanges,
    db_RunAsync,
    db_ExecDirect,
};

// A set of open parameters; bit i stands for the parameter of ordinal i.
class TDAOOpenParameters {
public:
    TDAOOpenParameters() = default;
    TDAOOpenParameters(std::initializer_list<TDAOOpenParameter> members);

    bool Contains(TDAOOpenParameter member) const { return (bits_ >> static_cast<int>(member)) & 1u; }
    void Include(TDAOOpenParameter member) { bits_ |= 1u << static_cast<int>(member); }
    bool Empty() const { return bits_ == 0; }
    bool operator==(const TDAOOpenParameters&) const = default;

private:
    std::uint16_t bits_ = 0;
};

// The engine option bits of a set of open parameters (db_DenyWrite 1 ... db_ExecDirect 2048).
std::int32_t OptionBits(TDAOOpenParameters parameters);
// The engine lock value of a lock type (2, 3, 1, 5).
std::int32_t EngineLockValue(TDAOLockType lockType);
// The engine recordset type of an open type 0..4 (2, 4, 8, 16, 1).
std::int32_t EngineOpenType(std::uint8_t openType);

class TDAODataset : public TDataSet {
public:
    explicit TDAODataset(TComponent* owner);
    ~TDAODataset() override;

    std::string_view ClassName() const override { return "TDAODataset"; }

    TDAODatabase* Database() const { return database_; }
    void SetDatabase(TDAODatabase* database);
    TDAOLockType LockType() const { return lockType_; }
    void SetLockType(TDAOLockType lockType);
    TDAOOpenParameters Parameters() const { return parameters_; }
    void SetParameters(TDAOOpenParameters parameters);
    bool UseDefaultValues() const { return useDefaultValues_; }
    void SetUseDefaultValues(bool use) { useDefaultValues_ = use; }

    // Fails with EDAODatabaseError "Cannot perform this operation without Database property".
    void RequireDatabase() const;

    const std::shared_ptr<engine::Recordset>& Recordset() const { return recordset_; }
    bool CanModify() const { return canModify_; }

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

protected:
    // Must leave a new engine recordset in `recordset_`; the base only checks that none is held.
    virtual void CreateRecordset();

    void InternalOpen() override;
    void InternalClose() override;
    void Notification(TComponent* component, TOperation operation) override;

    std::uint8_t openType_ = 0;
    std::string engineSQL_;  // the statement handed to the engine
    std::shared_ptr<engine::QueryDef> queryDef_;
    std::shared_ptr<engine::Recordset> recordset_;

private:
    TDAODatabase* database_ = nullptr;
    TDAOLockType lockType_ = TDAOLockType::db_Pessimistic;
    TDAOOpenParameters parameters_;
    bool useDefaultValues_ = false;
    bool canModify_ = false;
};

}  // namespace pavana
