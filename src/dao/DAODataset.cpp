#include "dao/DAODataset.h"

#include <cassert>

#include "classes/DefinitionReader.h"
#include "dao/DAODatabase.h"
#include "rtl/Exceptions.h"
#include "rtl/Strings.h"

namespace pavana {

namespace {

constexpr const char* kOpenParameterNames[] = {
    "db_DenyWrite",   "db_DenyRead",       "db_ReadOnly",   "db_AppendOnly", "db_Inconsistent", "db_Consistent",
    "db_SQLPassThrough", "db_FailOnError", "db_ForwardOnly", "db_SeeChanges", "db_RunAsync",     "db_ExecDirect",
};

constexpr const char* kLockTypeNames[] = {"db_Pessimistic", "db_Optimistic", "db_OptimisticValue",
                                          "db_OptimisticBatch"};

}  // namespace

TDAOOpenParameters::TDAOOpenParameters(std::initializer_list<TDAOOpenParameter> members) {
    for (TDAOOpenParameter member : members) Include(member);
}

std::int32_t OptionBits(TDAOOpenParameters parameters) {
    std::int32_t bits = 0;
    for (int i = 0; i <= static_cast<int>(TDAOOpenParameter::db_ExecDirect); ++i)
        if (parameters.Contains(static_cast<TDAOOpenParameter>(i))) bits |= 1 << i;
    return bits;
}

std::int32_t EngineLockValue(TDAOLockType lockType) {
    switch (lockType) {
        case TDAOLockType::db_Pessimistic: return 2;
        case TDAOLockType::db_Optimistic: return 3;
        case TDAOLockType::db_OptimisticValue: return 1;
        case TDAOLockType::db_OptimisticBatch: return 5;
    }
    return 2;
}

std::int32_t EngineOpenType(std::uint8_t openType) {
    static constexpr std::int32_t kTypes[] = {2, 4, 8, 16, 1};
    return openType < 5 ? kTypes[openType] : 2;
}

TDAODataset::TDAODataset(TComponent* owner) : TDataSet(owner) {}

TDAODataset::~TDAODataset() {
    try {
        Close();
    } catch (const std::exception&) {
        // Releasing the recordset cannot be reported from a destructor.
    }
    SetDatabase(nullptr);
}

void TDAODataset::SetDatabase(TDAODatabase* database) {
    if (database == database_) return;
    if (!IsDestroying()) CheckInactive();
    if (database_ != nullptr) RemoveFreeNotification(database_);
    database_ = database;
    if (database_ != nullptr) FreeNotification(database_);
}

void TDAODataset::SetLockType(TDAOLockType lockType) {
    CheckInactive();
    lockType_ = lockType;
}

void TDAODataset::SetParameters(TDAOOpenParameters parameters) {
    CheckInactive();
    parameters_ = parameters;
}

void TDAODataset::RequireDatabase() const {
    if (database_ == nullptr) throw EDAODatabaseError("Cannot perform this operation without Database property");
}

void TDAODataset::CreateRecordset() { assert(recordset_ == nullptr); }

void TDAODataset::InternalOpen() {
    RequireDatabase();
    if (!database_->Connected()) database_->Connect();
    if (database_->EngineDatabase() == nullptr) return;
    CreateRecordset();
    if (!recordset_->IsBOF()) recordset_->MovePrevious();
    canModify_ = recordset_->Updatable();
    database_->AddOpenDataset(*this);
}

void TDAODataset::InternalClose() {
    if (recordset_ != nullptr) recordset_->Close();
    recordset_.reset();
    if (queryDef_ != nullptr) queryDef_->Close();
    queryDef_.reset();
    canModify_ = false;
    if (database_ != nullptr) database_->RemoveOpenDataset(*this);
}

void TDAODataset::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation == TOperation::opRemove && component == database_) database_ = nullptr;
}

bool TDAODataset::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "Database") {
        reader.ResolveReference(value.AsIdentifier(), [this](TComponent* component) {
            auto* database = dynamic_cast<TDAODatabase*>(component);
            if (component != nullptr && database == nullptr) throw EReadError("Invalid property value");
            SetDatabase(database);
        });
    } else if (name == "LockType") {
        const std::string& text = value.AsIdentifier();
        bool found = false;
        for (int i = 0; i < 4 && !found; ++i)
            if (AnsiSameText(text, kLockTypeNames[i])) {
                SetLockType(static_cast<TDAOLockType>(i));
                found = true;
            }
        if (!found) throw EReadError("Invalid property value");
    } else if (name == "Parameters") {
        TDAOOpenParameters parameters;
        for (const std::string& member : value.AsSet()) {
            bool found = false;
            for (int i = 0; i < 12 && !found; ++i)
                if (AnsiSameText(member, kOpenParameterNames[i])) {
                    parameters.Include(static_cast<TDAOOpenParameter>(i));
                    found = true;
                }
            if (!found) throw EReadError("Invalid property value");
        }
        SetParameters(parameters);
    } else if (name == "UseDefaultValues") {
        SetUseDefaultValues(value.AsBoolean());
    } else {
        return TDataSet::ReadProperty(name, value, reader);
    }
    return true;
}

}  // namespace pavana
