// The engine's Recordset, Fields, Field and Properties on SQLite.
//
// A recordset runs its query once and reads rows from SQLite as it moves forward, keeping
// the rows read so far, so that it can move back, jump to a bookmark and count the records
// reached (a forward-only recordset keeps only the current row). The rows are a snapshot:
// the recordset is not updatable, so AddNew, Edit and Delete fail with 3027 "Cannot update.
// Database or object is read-only." as Jet's snapshots do. A bookmark is the record's
// position (1 for the first) as 4 bytes, little-endian.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/DBEngine.h"
#include "engine/sqlite/SqliteDatabase.h"

namespace pavana::engine::sqlite {

struct ColumnInfo {
    std::string name;
    std::int32_t type = 0;
    std::int32_t size = 0;
    std::int32_t attributes = 0;
    bool required = false;
    std::string table;   // source table, empty for an expression
    std::string origin;  // source column
};

class RecordsetImpl : public Recordset, public OpenCursor, public std::enable_shared_from_this<RecordsetImpl> {
public:
    // Prepares and starts the translated query with `values` bound to ?1, ?2, ...
    static std::shared_ptr<RecordsetImpl> Open(std::shared_ptr<DatabaseState> state, std::string name,
                                               const dialect::Translation& translation,
                                               const std::vector<Variant>& values, std::int32_t type);
    ~RecordsetImpl() override;

    std::string Name() const override { return name_; }
    std::int32_t Type() const override { return type_; }
    bool IsBOF() const override;
    bool IsEOF() const override;
    bool Updatable() const override { return false; }
    std::int32_t RecordCount() const override;

    void MoveFirst() override;
    void MoveLast(std::int32_t options) override;
    void MoveNext() override;
    void MovePrevious() override;

    Variant Bookmark() const override;
    void SetBookmark(const Variant& bookmark) override;
    Variant LastModified() const override;

    std::shared_ptr<Fields> GetFields() const override;

    std::int32_t EditMode() const override { return dbEditNone; }
    void AddNew() override;
    void Edit() override;
    void Update(std::int32_t type, bool force) override;
    void CancelUpdate(std::int32_t type) override;
    void Delete() override;

    std::string Filter() const override { return filter_; }
    void SetFilter(const std::string& filter) override;
    std::string Sort() const override { return sort_; }
    void SetSort(const std::string& sort) override;
    std::shared_ptr<Recordset> OpenRecordset(const Variant& type, const Variant& options) override;
    void FindFirst(const std::string& criteria) override;
    bool NoMatch() const override { return noMatch_; }

    void Close() override;
    void CloseCursor() override;

    // For the field objects.
    const std::vector<ColumnInfo>& Columns() const { return columns_; }
    const Variant& CurrentValue(std::size_t column) const;
    Variant ColumnDefault(std::size_t column) const;

private:
    RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name, std::int32_t type);
    void CheckOpen() const;
    void CheckScrollable() const;
    // Reads rows until the record at absolute position `index` (0-based) is held, or the
    // query is done; true when that record exists.
    bool Fetch(std::int64_t index);
    void ReadRow();
    [[noreturn]] void NoCurrentRecord() const;

    std::shared_ptr<DatabaseState> state_;
    std::string name_;
    std::int32_t type_;
    Statement statement_;
    std::string sql_;
    std::vector<ColumnInfo> columns_;
    std::vector<std::vector<Variant>> rows_;  // rows read and kept
    std::int64_t firstKept_ = 0;              // absolute position of rows_[0]
    bool done_ = false;                       // the query has no more rows
    std::int64_t position_ = -1;              // current record; -1 before the first
    bool bof_ = true;
    bool eof_ = true;
    bool closed_ = false;
    bool noMatch_ = false;
    std::string filter_;
    std::string sort_;
};

}  // namespace pavana::engine::sqlite
