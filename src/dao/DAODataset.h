// TDAODataset: a dataset over one engine recordset.
//
// The dataset never builds a recordset itself: `CreateRecordset`, supplied by TDAOQuery,
// leaves one in `Recordset()`. Opening requires `Database` (else EDAODatabaseError "Cannot
// perform this operation without Database property"), connects it on demand, creates the
// recordset, stands before the first record and registers with the connection; closing
// releases the recordset (and a query definition, if one is still held) and unregisters.
// A connection that holds no engine database after connecting opens nothing: the dataset
// stays closed, without an error.
//
// Record buffers hold no copy of a record: each holds the record's 4-byte engine bookmark
// and one slot per engine field (DAOFields.h), filled from the engine only when that field
// is first read. Buffer layout:
//   [0, DataAreaSize)                   the slots, at each descriptor's Offset
//   [DataAreaSize, RecordInfoOffset)    the calculated fields: a flag byte, then the value
//   [RecordInfoOffset, RecordBufferSize) record number (always -1), bookmark flag, bookmark
// Only slots changed through the dataset are written back on post. A recordset whose slots
// would need 65 536 bytes or more is refused when opening.
//
// Edit, post and delete turn the engine's EOleException into EDAOError (ErrorCode = the
// engine's error number); elsewhere the engine's error arrives unchanged.
//
// Filters, searches and blob streams (DAODatasetFilters.cpp). The filter text is a condition
// in the engine's syntax and reaches the engine when the recordset is built; while the
// dataset is filtered, `OnFilterRecord` also judges every record fetched. Locate and Lookup
// hand the engine one search text (DAOLocate.h) and let its FindFirst find the record; the
// dataset never scans records itself. Blob streams are TDAOBlobStream. A detail dataset
// follows its master through `DataSource` (DAODataLink.h).
//
// The connection is borrowed: when it is freed, `Database` becomes null.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/DAODataLink.h"
#include "dao/DAOFields.h"
#include "db/DataSet.h"
#include "db/DataSource.h"
#include "engine/DBEngine.h"
#include "rtl/Variant.h"

namespace pavana {

class TDAODatabase;

// An engine failure during edit, post or delete: the engine's message, and its status with
// the bits 0x800A0000 cleared (the engine's error number).
class EDAOError : public EDatabaseError {
public:
    EDAOError(std::string message, std::int32_t errorCode)
        : EDatabaseError(std::move(message)), errorCode_(errorCode) {}
    std::int32_t ErrorCode() const noexcept { return errorCode_; }

private:
    std::int32_t errorCode_;
};

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

// The record information block at the end of every record buffer.
struct RecordInfo {
    std::int32_t RecordNumber;  // always -1
    std::uint8_t BookmarkFlag;  // a TBookmarkFlag
    std::uint8_t Bookmark[4];   // the record's bookmark; 0 when the buffer holds no record
};

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
    // Whether new records start with the engine fields' default values.
    bool UseDefaultValues() const { return useDefaultValues_; }
    void SetUseDefaultValues(bool use) { useDefaultValues_ = use; }

    // Fails with EDAODatabaseError "Cannot perform this operation without Database property".
    void RequireDatabase() const;

    const std::shared_ptr<engine::Recordset>& Recordset() const { return recordset_; }
    const TDAOFieldDescs& FieldDescs() const { return fieldDescs_; }
    // The link to a master dataset's data source; none by default.
    TDataLink& DataLink() { return dataLink_; }
    TDataSource* DataSource() const override { return dataLink_.DataSource(); }
    // Fails with EDAODatabaseError "Circular datalinks are not allowed" when `source` leads
    // back to this dataset.
    void SetDataSource(TDataSource* source);

    // Fail with EDAODatabaseError "Filter only valid if OpenType <> db_OpenTable" for a
    // filter text on a table-type recordset. On an open dataset a change rebuilds the
    // recordset (a pending edit is finished first); a change of Filtered, and of the text
    // while filtered, then shows the first record. When the recordset cannot be built again
    // the dataset is closed and the engine's error raised.
    void SetFilterText(std::string text) override;
    void SetFiltered(bool filtered) override;
    // The buffer `OnFilterRecord` is judging (null outside the filter state).
    TRecordBuffer* FilterBuffer() const { return filterBuffer_; }

    // Not found is a result, never an exception; a search text the engine cannot evaluate
    // (an unknown or calculated field) raises the engine's error. Locate leaves the engine
    // cursor on the record found, sends the scroll events and re-reads the window around
    // it; Lookup (one Null per result field when nothing is found) sends no events and leaves
    // the window as it was.
    bool Locate(std::string_view keyFields, const std::vector<Variant>& keyValues, TLocateOptions options) override;
    using TDataSet::Locate;
    std::vector<Variant> Lookup(std::string_view keyFields, const std::vector<Variant>& keyValues,
                                std::string_view resultFields) override;
    // A TDAOBlobStream (see there for its failures).
    std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;

    bool GetFieldData(TField& field, void* buffer) override;
    void SetFieldData(TField& field, const void* buffer) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    // Signed order of the 4-byte bookmarks; a missing one comes after any other.
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

    // Observes the engine field reads of lazy fetching (for tests and diagnostics).
    std::function<void(int fieldIndex)> OnFetchField;

protected:
    // Must leave a new engine recordset in `recordset_`; the base only checks that none is held.
    virtual void CreateRecordset();

    void OpenCursor() override;
    void CloseCursor() override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return recordset_ != nullptr; }

    std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override;
    TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode) override;
    void InternalInitRecord(TRecordBuffer& buffer) override;
    void ClearCalcFields(TRecordBuffer& buffer) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(TRecordBuffer& buffer) override;
    TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override;
    void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override;
    TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
    void InternalGotoBookmark(const TBookmark& bookmark) override;

    bool GetCanModify() const override { return canModify_; }
    void InternalEdit() override;
    void InternalPost() override;
    void InternalCancel() override;
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer& buffer, bool append) override;
    void InternalRefresh() override;
    int GetRecordCount() const override;
    int GetRecNo() const override;

    void Notification(TComponent* component, TOperation operation) override;

    std::uint8_t openType_ = 0;
    std::string engineSQL_;  // the statement handed to the engine
    std::shared_ptr<engine::QueryDef> queryDef_;
    std::shared_ptr<engine::Recordset> recordset_;

private:
    friend class TDAOBlobStream;

    // A fetch without the filter handler.
    TGetResult FetchRecord(TRecordBuffer& buffer, TGetMode mode);
    // Makes the engine's first record that meets the keys current and checks it into the
    // temporary buffer; false when none does.
    bool FindRecord(std::string_view keyFields, const std::vector<Variant>& keyValues, bool partialKey);
    // Releases the recordset, runs `between`, and builds the recordset again for the open
    // dataset; a failure to build it closes the dataset.
    void RebuildRecordset(const std::function<void()>& between);
    void ReleaseRecordset();
    // CreateRecordset on an open dataset, whose field objects stay bound.
    void CreateRecordsetAgain();
    // The buffer field reads and writes use in the current state; null when there is none.
    TRecordBuffer* StateBuffer() const;
    bool HasActiveRecordBuffer() const { return StateBuffer() != nullptr; }
    // Writes a field; a blob value given in `movable` is moved into its slot, not copied.
    void WriteField(TField& field, const void* source, Variant* movable);
    // Writes a blob or memo value without copying it; an absent value writes no value.
    void StoreBlobValue(TField& field, Variant value);
    // Reads a blob or memo field as GetFieldData does, for a blob stream to take over. A
    // value fetched from the engine for this read is handed over rather than copied, and the
    // slot fetches it again when it is next read; a value the slot held already is copied.
    bool TakeBlobValue(TField& field, Variant& destination);
    void DescribeFields();
    // Fills `buffer` as the fetched record of `bookmark`; 0 (no record) answers `atEnd`.
    TGetResult FillFetched(TRecordBuffer& buffer, std::int32_t bookmark, TGetResult atEnd);
    // Reads field `index` of the buffer's record from the engine into its slot; the engine
    // cursor is taken to the record and back when it stands elsewhere.
    void FetchFieldValue(TRecordBuffer& buffer, int index, TFieldType type);
    // Puts `value`, read from the engine for field `index`, into the slot of `buffer`; a
    // blob or memo value is moved there.
    void StoreEngineValue(TRecordBuffer& buffer, int index, TFieldType type, Variant& value);
    // Sets the engine record's fields from the slots of `buffer` marked modified; the slots
    // whose blob value moved into the engine are added to `moved`.
    void WriteModifiedFields(TRecordBuffer& buffer, std::vector<int>& moved);
    // WriteModifiedFields and the engine's Update. A failure puts the moved blob values back
    // into their slots, so that posting again writes them; after success those slots are
    // left unfetched, to be read from the record.
    void UpdateRecord(TRecordBuffer& buffer);
    void ApplyDefaultValue(TRecordBuffer& buffer, int index, const std::string& text);
    void ClearBlobSlots(TRecordBuffer& buffer);
    void ClearBuffer(TRecordBuffer& buffer);
    SlotData Slot(TRecordBuffer& buffer, int index);
    RecordInfo& Info(TRecordBuffer& buffer) const;
    const RecordInfo& Info(const TRecordBuffer& buffer) const;
    std::int32_t CurrentBookmark() const;
    std::int32_t BufferBookmark(const TRecordBuffer& buffer) const;
    void SetBufferBookmark(TRecordBuffer& buffer, std::int32_t bookmark);
    void GoToBookmark(std::int32_t bookmark);

    TDAODatabase* database_ = nullptr;
    TDAOLockType lockType_ = TDAOLockType::db_Pessimistic;
    TDAOOpenParameters parameters_;
    bool useDefaultValues_ = false;
    bool canModify_ = false;
    // A forward-only recordset cannot step back before its first record: it stays on it and
    // the first fetch of the next record answers with that one.
    bool firstPending_ = false;
    TDAOFieldDescs fieldDescs_;
    TDAODataLink dataLink_{*this};
    TRecordBuffer* filterBuffer_ = nullptr;
    std::vector<std::shared_ptr<engine::Field>> engineFields_;  // by position, cached at open
    std::size_t dataAreaSize_ = 0;
    std::size_t recordInfoOffset_ = 0;
    std::size_t recordBufferSize_ = 0;
};

}  // namespace pavana
