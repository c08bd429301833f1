// The static cursor: a recordset that keeps a copy of each row as the cursor first reaches
// it (snapshots, and dynasets over joins, groupings or unions); a forward-only recordset
// keeps only the current row. It does not see later changes and is not updatable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/sqlite/SqliteRecordset.h"

namespace pavana::engine::sqlite {

class StaticCursor final : public RecordsetImpl {
public:
    StaticCursor(std::shared_ptr<DatabaseState> state, std::string name, std::shared_ptr<const RecordsetSource> source,
                 std::int32_t type);

    // Each fails: the cursor is read-only.
    void AddNew() override;
    void Edit() override;
    void Update(std::int32_t type, bool force) override;
    void Delete() override;

private:
    std::string ScanSql() const override;
    int KeyColumnCount() const override { return 0; }
    void BeginScan(std::int32_t options) override;
    bool TakeRow(sqlite3_stmt* statement) override;
    bool Exists(const Ref& r) override;
    bool IsDeleted(const Ref&) const override { return false; }
    std::optional<Ref> NextLive(std::optional<Ref> r) override;
    std::optional<Ref> PreviousLive(std::optional<Ref> r) override;
    std::int32_t CountReached() const override;
    Variant ValueOfCurrent(std::size_t column) const override;
    std::optional<Ref> FirstMatch(const dialect::ast::Expr& condition, std::string& sql) override;
    void BindRecord(sqlite3_stmt* test, const Ref& r) const override;
    void ReleaseRecords() override;

    // The end of the rows held: the index after the last row read.
    std::int64_t EndOfHeld() const { return firstKept_ + static_cast<std::int64_t>(rows_.size()); }

    std::vector<std::vector<Variant>> rows_;
    std::int64_t firstKept_ = 0;  // the index of rows_[0]
};

}  // namespace pavana::engine::sqlite
