#include "engine/sqlite/SqliteStaticCursor.h"

#include "engine/sqlite/Columns.h"

namespace pavana::engine::sqlite {

StaticCursor::StaticCursor(std::shared_ptr<DatabaseState> state, std::string name,
                           std::shared_ptr<const RecordsetSource> source, std::int32_t type)
    : RecordsetImpl(std::move(state), std::move(name), std::move(source), type) {}

std::string StaticCursor::ScanSql() const { return source_->Sql(); }

void StaticCursor::BeginScan(std::int32_t) { StepScan(); }

bool StaticCursor::TakeRow(sqlite3_stmt* statement) {
    std::vector<Variant> row;
    row.reserve(columns_.size());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        row.push_back(ReadColumn(statement, static_cast<int>(i), columns_[i].type, state_->currency));
    if (type_ == dbOpenForwardOnly && !rows_.empty()) {
        firstKept_ += static_cast<std::int64_t>(rows_.size());
        rows_.clear();
    }
    rows_.push_back(std::move(row));
    return true;
}

bool StaticCursor::Exists(const Ref& r) {
    if (r.index < 0 || r.added || r.sought) return false;
    while (r.index >= EndOfHeld() && StepScan()) {
    }
    return r.index >= firstKept_ && r.index < EndOfHeld();
}

std::optional<StaticCursor::Ref> StaticCursor::NextLive(std::optional<Ref> from) {
    const Ref r{false, from ? from->index + 1 : 0};
    if (!Exists(r)) return std::nullopt;
    return r;
}

std::optional<StaticCursor::Ref> StaticCursor::PreviousLive(std::optional<Ref> from) {
    if (!from) {
        while (StepScan()) {
        }
    }
    const Ref r{false, (from ? from->index : EndOfHeld()) - 1};
    if (r.index < 0 || r.index < firstKept_) return std::nullopt;
    return r;
}

std::int32_t StaticCursor::CountReached() const { return static_cast<std::int32_t>(EndOfHeld()); }

Variant StaticCursor::ValueOfCurrent(std::size_t column) const {
    if (current_.index < firstKept_) NoCurrentRecord();
    return rows_[static_cast<std::size_t>(current_.index - firstKept_)][column];
}

std::optional<StaticCursor::Ref> StaticCursor::FirstMatch(const dialect::ast::Expr& condition, std::string& sql) {
    // The criteria are tested on the values held, each row bound as parameters.
    std::vector<std::string> names;
    std::vector<bool> text;
    for (const ColumnInfo& c : columns_) {
        names.push_back(c.name);
        text.push_back(c.type == dbText || c.type == dbMemo);
    }
    sql = RecordsetSource::ValuesMatchSql(condition, names, text);
    Statement test(Live(), sql.c_str());
    return FirstPassing(test);
}

void StaticCursor::BindRecord(sqlite3_stmt* test, const Ref& r) const {
    const auto& row = rows_[static_cast<std::size_t>(r.index - firstKept_)];
    for (std::size_t i = 0; i < row.size(); ++i) BindVariant(test, static_cast<int>(i + 1), row[i]);
}

void StaticCursor::ReleaseRecords() { rows_.clear(); }

void StaticCursor::AddNew() { CheckUpdatable(); }

void StaticCursor::Edit() { CheckUpdatable(); }

void StaticCursor::Delete() { CheckUpdatable(); }

void StaticCursor::Update(std::int32_t type, bool) {
    CheckOpen();
    CheckUpdateType(type);
    WithoutEdit(kSource);
}

}  // namespace pavana::engine::sqlite
