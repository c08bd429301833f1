// The keyset cursor: a recordset over a query that reads one rowid table (dynaset, dynamic
// and table types).
//
// The keyset statement runs once and is stepped only as the cursor moves forward; each step
// appends the row's rowid to the keyset. The current record's fields come from the keyset
// statement while it still stands on that row and nothing has changed since; otherwise the
// row is read again by its rowid, so the recordset sees changes made to its rows through any
// object of the database (and by other processes once its keyset is complete). A row that is
// gone reads as "Record is deleted.". AddNew, Edit, Update and Delete change the base table;
// added records follow the keyset.
//
// A record FindFirst finds ahead of the keyset is reached by its key at once; only moving on
// from it reads the keyset up to it.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/sqlite/SqliteRecordset.h"

namespace pavana::engine::sqlite {

class KeysetCursor final : public RecordsetImpl {
public:
    KeysetCursor(std::shared_ptr<DatabaseState> state, std::string name, std::shared_ptr<const RecordsetSource> source,
                 std::int32_t type);

    void AddNew() override;
    void Edit() override;
    void Update(std::int32_t type, bool force) override;
    void Delete() override;

private:
    // What changes to the database have been made since a row was read.
    struct Stamp {
        std::int64_t changes = -1;
        unsigned int version = 0;
        bool operator==(const Stamp&) const = default;
    };

    std::string ScanSql() const override;
    int KeyColumnCount() const override { return 1; }
    void BeginScan(std::int32_t options) override;
    bool TakeRow(sqlite3_stmt* statement) override;
    bool Exists(const Ref& r) override;
    bool IsDeleted(const Ref& r) const override { return !deletedKeys_.empty() && deletedKeys_.count(KeyOf(r)) != 0; }
    std::optional<Ref> NextLive(std::optional<Ref> r) override;
    std::optional<Ref> PreviousLive(std::optional<Ref> r) override;
    std::int32_t CountReached() const override;
    Variant ValueOfCurrent(std::size_t column) const override;
    std::optional<Ref> FirstMatch(const dialect::ast::Expr& condition, std::string& sql) override;
    void BindRecord(sqlite3_stmt* test, const Ref& r) const override;
    void ReleaseRecords() override;

    Stamp CurrentStamp() const;
    std::int64_t KeyOf(const Ref& r) const {
        return r.sought ? sought_[r.index] : r.added ? added_[r.index] : keys_[r.index];
    }
    // SQLite may give a new row the rowid of one deleted before it (a table's highest): the
    // deleted record keeps its place under a retired key, so that the new one is not taken
    // for it.
    void RetireDeletedKey(std::int64_t key);
    // The keyset's own reference of a record found ahead (reading the keyset up to it); the
    // reference itself for any other. Nothing when the keyset does not hold the record.
    std::optional<Ref> Placed(const Ref& r);
    // Reads the current keyset row again; false when the row is gone.
    bool LoadRow(const Ref& r) const;
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

    std::int64_t scanStartChanges_ = 0;
    bool deduplicate_ = false;               // set once the database changed during the scan
    std::unordered_set<std::int64_t> seen_;  // keys met, while deduplicating
    Ref scanHolds_;                          // the record the scan statement stands on
    std::int64_t scanChanges_ = 0;           // the connection's changes when it got there
    // The scan reads the base table in key (rowid) order: the query has no order of its own
    // and SQLite scans the table itself.
    bool keyOrder_ = false;

    // The keys grow in blocks: a long scan never moves those it has.
    std::deque<std::int64_t> keys_;
    std::vector<std::int64_t> added_;
    std::vector<std::int64_t> sought_;              // keys FindFirst found before the keyset reached them
    std::unordered_set<std::int64_t> deletedKeys_;  // deleted through this recordset
    std::uint64_t retiredKeys_ = 0;                 // see RetireDeletedKey
    mutable Statement rowStatement_;
    mutable std::vector<Variant> cache_;
    mutable Ref cacheRef_;
    mutable Stamp cacheStamp_;
    // Columns whose long binary value the row read left out, to be read when asked for.
    mutable std::vector<bool> cacheTaken_;
    mutable std::string baseSchema_;  // the schema of the base table, once a blob handle needs it
};

}  // namespace pavana::engine::sqlite
