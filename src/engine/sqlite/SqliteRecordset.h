// The engine's Recordset on SQLite.
//
// Two ways of holding records, chosen when the recordset opens:
//
// - Keyset (dynaset, dynamic and table types over a query that reads one rowid table): the
//   keyset statement runs once and is stepped only as the cursor moves forward, so opening
//   reads one row; each step appends the row's rowid to the keyset. The current record's
//   fields come from the keyset statement while it still stands on that row and nothing has
//   changed since; otherwise the row is read again by its rowid, so the recordset sees
//   changes made to its rows through any object of the database (and by other processes once
//   its keyset is complete). A row that is gone reads as "Record is deleted.". AddNew, Edit,
//   Update, CancelUpdate and Delete change the base table; added records follow the keyset.
// - Rows (snapshots, forward-only recordsets and dynasets over joins, groupings or unions):
//   a copy of each row as the cursor first reaches it, kept from then on (forward-only keeps
//   only the current row). Not updatable.
//
// A bookmark is 4 bytes, little-endian: n + 1 for the n-th record of the query (0-based),
// -(n + 1) for the n-th record added through this recordset, and -(2^30 + n + 1) for the n-th
// record that FindFirst found ahead of the keyset; never 0. A record found ahead is reached by
// its key at once; only moving on from it reads the keyset up to it.
//
// Moving, setting a bookmark or finding a record while an edit is pending drops the edit, as
// Jet does. Every failure raises EOleException with Jet's number and message.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/DBEngine.h"
#include "engine/sqlite/RecordsetSource.h"
#include "engine/sqlite/SqliteDatabase.h"
#include "engine/sqlite/SqliteFields.h"

namespace pavana::engine::sqlite {

class RecordsetImpl : public Recordset, public OpenCursor, public std::enable_shared_from_this<RecordsetImpl> {
public:
    // Opens `source` as a recordset of `type` (RecordsetTypeEnum) with the option bits
    // `options` (dbReadOnly makes it read-only, dbAppendOnly leaves out the existing records,
    // dbForwardOnly makes it forward-only). A table type needs a whole table (3219
    // "Invalid operation." otherwise).
    static std::shared_ptr<RecordsetImpl> Open(std::shared_ptr<DatabaseState> state, std::string name,
                                               std::shared_ptr<const RecordsetSource> source, std::int32_t type,
                                               std::int32_t options);
    ~RecordsetImpl() override;
    RecordsetImpl(const RecordsetImpl&) = delete;
    RecordsetImpl& operator=(const RecordsetImpl&) = delete;

    std::string Name() const override { return name_; }
    std::int32_t Type() const override { return type_; }
    bool IsBOF() const override;
    bool IsEOF() const override;
    bool Updatable() const override;
    std::int32_t RecordCount() const override;

    void MoveFirst() override;
    void MoveLast(std::int32_t options) override;
    void MoveNext() override;
    void MovePrevious() override;

    Variant Bookmark() const override;
    std::int32_t BookmarkKey() const override;
    std::int32_t PositionKey() const override;
    Variant ValueAtPosition(std::int32_t positionKey, std::int32_t index, bool& read) const override;
    void SetBookmark(const Variant& bookmark) override;
    Variant LastModified() const override;

    std::shared_ptr<Fields> GetFields() const override;

    std::int32_t EditMode() const override;
    void AddNew() override;
    void Edit() override;
    void Update(std::int32_t type, bool force) override;
    void CancelUpdate(std::int32_t type) override;
    void Delete() override;

    std::string Filter() const override;
    void SetFilter(const std::string& filter) override;
    std::string Sort() const override;
    void SetSort(const std::string& sort) override;
    std::shared_ptr<Recordset> OpenRecordset(const Variant& type, const Variant& options) override;
    void FindFirst(const std::string& criteria) override;
    bool NoMatch() const override;

    void Close() override;
    void CloseCursor() override;

    // For the field objects.
    const std::vector<ColumnInfo>& Columns() const { return columns_; }
    // The value of a column in the current record (or in the record being edited or added).
    Variant CurrentValue(std::size_t column) const;
    // Sets a column of the record being edited or added.
    void SetCurrentValue(std::size_t column, const Variant& value);
    // The same, taking over a byte array for a binary column instead of copying it.
    void TakeCurrentValue(std::size_t column, Variant&& value);
    Variant ColumnDefault(std::size_t column) const;
    std::shared_ptr<Field> FieldAt(std::size_t column) const;

private:
    enum class Holding { Keyset, Rows };
    enum class At { BeforeFirst, OnRecord, AfterLast };
    // A record: the n-th of the query, or the n-th added through this recordset.
    struct Ref {
        bool added = false;
        std::int64_t index = -1;
        bool sought = false;  // found ahead of the keyset: index into sought_
        bool operator==(const Ref&) const = default;
    };
    // What changes to the database have been made since a row was read.
    struct Stamp {
        std::int64_t changes = -1;
        unsigned int version = 0;
        bool operator==(const Stamp&) const = default;
    };

    RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name,
                  std::shared_ptr<const RecordsetSource> source, std::int32_t type);
    void Start(std::int32_t options);
    void DescribeColumns();
    void ReadColumnMetadata();
    // Types the expression columns known to give only dates (see DateColumns) and marks those
    // known to give only whole numbers (see WholeNumberColumns).
    void TypeExpressionColumns();
    // Checked by every call: inline, with the failure out of line.
    void CheckOpen() const {
        if (closed_) ObjectInvalid();
    }
    [[noreturn]] void ObjectInvalid() const;
    void CheckScrollable() const;
    void CheckUpdatable() const;
    [[noreturn]] void NoCurrentRecord() const;
    [[noreturn]] void RecordDeleted() const;
    Connection& Live() const;
    Stamp CurrentStamp() const;

    // Steps the scan once; false when it is done.
    bool StepScan();
    // True when record `r` exists, stepping the scan as far as needed.
    bool Exists(const Ref& r);
    // SQLite may give a new row the rowid of one deleted before it (a table's highest): the
    // deleted record keeps its place under a retired key, so that the new one is not taken
    // for it.
    void RetireDeletedKey(std::int64_t key);
    bool IsDeleted(const Ref& r) const {
        return !deletedKeys_.empty() && holding_ == Holding::Keyset && deletedKeys_.count(KeyOf(r)) != 0;
    }
    std::int64_t KeyOf(const Ref& r) const {
        return r.sought ? sought_[r.index] : r.added ? added_[r.index] : keys_[r.index];
    }
    // The keyset's own reference of a record found ahead (reading the keyset up to it); the
    // reference itself for any other. Nothing when the keyset does not hold the record.
    std::optional<Ref> Placed(const Ref& r);
    // The first live record after `r` (from the start when none) or before it (from the end).
    std::optional<Ref> NextLive(std::optional<Ref> r);
    std::optional<Ref> PreviousLive(std::optional<Ref> r);
    void GoTo(const Ref& r);
    void DropEdit();
    // Reads the current keyset row again; false when the row is gone.
    bool LoadRow(const Ref& r) const;
    void UpdateAnyLive();
    void CheckColumnSettable(std::size_t column) const;
    // The current record's value of a long binary column of the base table, read through a
    // blob handle, when it is a blob of at least a megabyte; nothing otherwise.
    std::optional<Variant> ReadLongBinary(std::size_t column) const;
    // ReadLongBinary, failing with "Record is deleted." when the value is gone.
    Variant LongBinaryOfCurrent(std::size_t column) const;
    // Whether the row statement leaves a long value of this column out, for the blob handle
    // to read: a long binary column of the base table.
    bool LeavesOut(std::size_t column) const {
        return columns_[column].writable && columns_[column].type == dbLongBinary;
    }
    // The statement that reads one row by its key; long blobs of the columns LeavesOut names
    // read as Null, with one flag column each after the row's columns saying so.
    std::string RowSqlLeavingLongBlobs() const;
    // Runs the INSERT or UPDATE `sql` over the edit values of `set`; the number of rows it
    // changed. With `streamBlobs`, long binary values are written after the statement
    // through SQLite's incremental blob I/O; false then when a column cannot be written
    // that way (an indexed or key column), with nothing changed.
    std::optional<std::int64_t> RunUpdate(const std::string& sql, const std::vector<std::size_t>& set,
                                          bool streamBlobs);
    std::optional<Ref> RefOfBookmark(const Variant& bookmark);
    bool RowMatches(const Ref& r, Statement& test);
    // The position of `key` in the keyset, reading the keyset on as far as it (nothing when
    // the keyset does not hold it).
    std::optional<Ref> KeysetRecord(std::int64_t key);
    // The keyset's record of `key` among the keys read so far.
    std::optional<Ref> HeldRecord(std::int64_t key) const;
    // The record of `key` that FindFirst found: the keyset's, or one found ahead of it.
    std::optional<Ref> FoundRecord(std::int64_t key);
    // Reads the keyset on up to `key` by keys alone and restarts the scan after it; only for
    // a keyset read in key order, with no change made on the connection since it started.
    std::optional<Ref> CatchUpTo(std::int64_t key);

    std::shared_ptr<DatabaseState> state_;
    std::string name_;
    std::shared_ptr<const RecordsetSource> source_;
    std::int32_t type_;
    Holding holding_ = Holding::Rows;
    bool updatable_ = false;
    bool closed_ = false;
    std::vector<ColumnInfo> columns_;
    std::vector<FieldImpl> fields_;
    FieldsImpl fieldsObject_;

    // The scan: the keyset statement or the query itself.
    Statement scan_;
    std::string scanSql_;
    bool scanDone_ = false;
    std::int64_t scanStartChanges_ = 0;
    bool deduplicate_ = false;            // set once the database changed during the scan
    std::unordered_set<std::int64_t> seen_;  // keys met, while deduplicating
    Ref scanHolds_;                        // the record the scan statement stands on
    std::int64_t scanChanges_ = 0;         // the connection's changes when it got there
    // The scan reads the base table in key (rowid) order: the query has no order of its own
    // and SQLite scans the table itself.
    bool keyOrder_ = false;

    // Keyset holding. The keys grow in blocks: a long scan never moves those it has.
    std::deque<std::int64_t> keys_;
    std::vector<std::int64_t> added_;
    std::vector<std::int64_t> sought_;  // keys FindFirst found before the keyset reached them
    std::unordered_set<std::int64_t> deletedKeys_;  // deleted through this recordset
    std::uint64_t retiredKeys_ = 0;                  // see RetireDeletedKey
    mutable Statement rowStatement_;
    mutable std::vector<Variant> cache_;
    mutable Ref cacheRef_;
    mutable Stamp cacheStamp_;
    // Columns whose long binary value the row read left out, to be read when asked for.
    mutable std::vector<bool> cacheTaken_;
    mutable std::string baseSchema_;  // the schema of the base table, once a blob handle needs it

    // Rows holding.
    std::vector<std::vector<Variant>> rows_;
    std::int64_t firstKept_ = 0;

    At at_ = At::BeforeFirst;
    Ref current_;
    bool anyLive_ = false;  // the recordset has at least one record

    std::int32_t editMode_ = dbEditNone;
    std::vector<Variant> editValues_;
    std::vector<bool> editSet_;
    std::optional<Ref> lastModified_;

    bool noMatch_ = false;
    std::string filter_;
    std::string sort_;
};

}  // namespace pavana::engine::sqlite
