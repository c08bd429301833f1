// The engine's Recordset on SQLite: what every cursor shares.
//
// Two cursors implement it, chosen when the recordset opens:
//
// - KeysetCursor (SqliteKeysetCursor.h): dynaset, dynamic and table types over a query that
//   reads one rowid table. Holds the keys of its records and reads each row by its key, so it
//   sees changes; updatable.
// - StaticCursor (SqliteStaticCursor.h): snapshots, forward-only recordsets and dynasets over
//   joins, groupings or unions. Holds a copy of each row as the cursor first reaches it (a
//   forward-only recordset only the current row); not updatable.
//
// Both run one scan statement (the keyset statement or the query itself), stepped only as the
// cursor moves forward, so opening reads one row. The recordset here keeps the columns and
// field objects, the position, the record being edited or added, the bookmarks, searching and
// the filter and sort; a cursor says how its records are reached and read.
//
// A bookmark is 4 bytes, little-endian: n + 1 for the n-th record of the query (0-based),
// -(n + 1) for the n-th record added through this recordset, and -(2^30 + n + 1) for the n-th
// record that FindFirst found ahead of the keyset; never 0.
//
// Moving, setting a bookmark or finding a record while an edit is pending drops the edit, as
// Jet does. Every failure raises EOleException with Jet's number and message.
#pragma once

#include <memory>
#include <optional>
#include <string>
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
    std::optional<Variant> ValueAtPosition(std::int32_t positionKey, std::int32_t index) const override;
    void SetBookmark(const Variant& bookmark) override;
    Variant LastModified() const override;

    std::shared_ptr<Fields> GetFields() const override;

    std::int32_t EditMode() const override;
    void CancelUpdate(std::int32_t type) override;

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

protected:
    enum class At { BeforeFirst, OnRecord, AfterLast };
    // A record: the n-th of the query, or the n-th added through this recordset.
    struct Ref {
        bool added = false;
        std::int64_t index = -1;
        bool sought = false;  // found ahead of the keyset: its index counts those
        bool operator==(const Ref&) const = default;
    };

    static const char* const kSource;
    static const char* const kFieldSource;
    [[noreturn]] static void NotSupported();
    [[noreturn]] static void WithoutEdit(const char* source);
    // Fails unless `type` is dbUpdateRegular, the only kind of update there is.
    static void CheckUpdateType(std::int32_t type);
    // Binds the first `count` of `values` to parameters 1, 2, ...
    static void BindValues(sqlite3_stmt* statement, const std::vector<Variant>& values, int count);

    RecordsetImpl(std::shared_ptr<DatabaseState> state, std::string name, std::shared_ptr<const RecordsetSource> source,
                  std::int32_t type);

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
    void GoTo(const Ref& r);
    void DropEdit();
    // Steps the scan once; false when it is done.
    bool StepScan();

    // What a cursor tells.
    //
    // The scan's statement text and the number of key columns it gives after the record's.
    virtual std::string ScanSql() const = 0;
    virtual int KeyColumnCount() const = 0;
    // Called once the columns are known, before the first step: what the cursor settles from
    // the scan statement and the open options.
    virtual void BeginScan(std::int32_t options) = 0;
    // Keeps the row the scan stands on; false to pass over it (a row met twice).
    virtual bool TakeRow(sqlite3_stmt* statement) = 0;
    // True when record `r` exists, stepping the scan as far as needed.
    virtual bool Exists(const Ref& r) = 0;
    virtual bool IsDeleted(const Ref& r) const = 0;
    // The first live record after `r` (from the start when none) or before it (from the end).
    virtual std::optional<Ref> NextLive(std::optional<Ref> r) = 0;
    virtual std::optional<Ref> PreviousLive(std::optional<Ref> r) = 0;
    // Records reached so far, as RecordCount tells them.
    virtual std::int32_t CountReached() const = 0;
    // The value of `column` in the current record (the cursor stands on one, nothing edited).
    virtual Variant ValueOfCurrent(std::size_t column) const = 0;
    // The first live record meeting `condition`; `sql` is left holding the statement run
    // last, for the error message.
    virtual std::optional<Ref> FirstMatch(const dialect::ast::Expr& condition, std::string& sql) = 0;
    // Binds record `r`'s values (or its key) to a test statement of FirstMatch.
    virtual void BindRecord(sqlite3_stmt* test, const Ref& r) const = 0;
    // Lets go of the records held, on closing.
    virtual void ReleaseRecords() = 0;

    // The first live record for which `test`, run with the record bound, gives a row.
    std::optional<Ref> FirstPassing(Statement& test);
    bool Passes(const Ref& r, Statement& test);

    std::shared_ptr<DatabaseState> state_;
    std::string name_;
    std::shared_ptr<const RecordsetSource> source_;
    std::int32_t type_;
    bool updatable_ = false;
    bool closed_ = false;
    std::vector<ColumnInfo> columns_;

    // The scan: the keyset statement or the query itself.
    Statement scan_;
    std::string scanSql_;
    bool scanDone_ = false;

    At at_ = At::BeforeFirst;
    Ref current_;
    bool anyLive_ = false;  // the recordset has at least one record

    std::int32_t editMode_ = dbEditNone;
    std::vector<Variant> editValues_;
    std::vector<bool> editSet_;
    std::optional<Ref> lastModified_;

private:
    void Start(std::int32_t options);
    // Describes the scan's first `count` columns; `writable` when the cursor can change the
    // base table's columns among them.
    void DescribeColumns(int count, bool writable);
    void ReadColumnMetadata();
    // Types the expression columns known to give only dates (see DateColumns) and marks those
    // known to give only whole numbers (see WholeNumberColumns).
    void TypeExpressionColumns();
    void CheckColumnSettable(std::size_t column) const;
    std::optional<Ref> RefOfBookmark(const Variant& bookmark);

    std::vector<FieldImpl> fields_;
    FieldsImpl fieldsObject_;
    bool typedByFirstRow_ = false;  // the scan's first row has typed the untyped columns
    bool noMatch_ = false;
    std::string filter_;
    std::string sort_;
};

}  // namespace pavana::engine::sqlite
