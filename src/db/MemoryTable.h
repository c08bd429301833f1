// TMemoryTable: a dataset whose rows live in memory, for data that belongs to the program
// rather than to a database (a change log, a scratch list).
//
// Structure. The columns are the field definitions (`FieldDefs`) at the time the table is
// created: `CreateTable` builds an empty table from them and opens it; `Open` on a table
// never created does the same. A column whose type has no field object (see
// CreateFieldOfType) is kept in the definitions but gets no field and never holds a value,
// as in any dataset of the framework. Closing keeps the rows; `EmptyTable` removes them all.
// `CreateTable` on an existing table replaces it, rows and all.
//
// Indexes. `AddIndex` adds an index on one or more columns (";"-separated names) while the
// table is open; an index lasts until the table closes. `SetIndexName` chooses the index
// that orders the rows (empty: the order in which rows were added). A unique index refuses
// a post or an append that would give two rows the same key with EDatabaseError
// "Key violation"; the refused record stays in edit or insert mode. Keys compare numbers as
// numbers, texts byte-wise (case-insensitively for the columns named as such), and put rows
// without a value first.
//
// Searching. `FindKey` looks up key values in the current index and moves to the first row
// that matches; it needs an index ("No index currently active" otherwise).
//
// Bookmarks are 8-byte row identities, stable while the row exists. Values of every field
// type with a field object are held as the fields expect them (Field.h); blobs and memos as
// variants. Fields of the table are the default fields made from the definitions, or
// persistent fields attached before opening. Calculated fields are supported.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "db/DataSet.h"

namespace pavana {

enum class TIndexOption : std::uint8_t { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive };

// A set of index options.
class TIndexOptions {
public:
    TIndexOptions() = default;
    TIndexOptions(std::initializer_list<TIndexOption> members) {
        for (TIndexOption m : members) bits_ |= Bit(m);
    }
    bool Contains(TIndexOption member) const { return (bits_ & Bit(member)) != 0; }

private:
    static std::uint8_t Bit(TIndexOption m) { return static_cast<std::uint8_t>(1u << static_cast<int>(m)); }
    std::uint8_t bits_ = 0;
};

class TMemoryTable : public TDataSet {
public:
    explicit TMemoryTable(TComponent* owner);
    ~TMemoryTable() override;

    std::string_view ClassName() const override { return "TMemoryTable"; }

    // Builds an empty table from FieldDefs (replacing any earlier one) and opens it.
    void CreateTable();
    // Removes every row; the table stays open (or closed) as it was.
    void EmptyTable();
    // Whether a table has been created (it may be closed).
    bool TableCreated() const { return store_ != nullptr; }

    // Adds an index over `fields` (";"-separated). `descendingFields` and
    // `caseInsensitiveFields` name those of them that sort from high to low and whose texts
    // compare ignoring case; the options ixDescending and ixCaseInsensitive make every column
    // so. Fails when the table is closed ("Cannot perform this operation on a closed
    // dataset"), the name is taken ("Duplicate index name '%s'"), a column is missing
    // ("Field '%s' not found") or is a blob or has no field ("Cannot index field '%s'"), or, for a
    // unique index, rows already share a key ("Key violation").
    void AddIndex(std::string name, std::string_view fields, TIndexOptions options,
                  std::string_view descendingFields = {}, std::string_view caseInsensitiveFields = {});
    // The index ordering the rows; empty for the order of adding. Setting it keeps the
    // current row when there is one. An unknown name fails with "Index '%s' not found".
    const std::string& IndexName() const { return indexName_; }
    void SetIndexName(std::string name);
    // The names of the indexes, in the order they were added.
    std::vector<std::string> IndexNames() const;

    // Moves to the first row whose key in the current index equals `keyValues` (one value
    // per index column, in order; fewer values match on the leading columns). Returns false
    // and stays where it was when none does.
    bool FindKey(const std::vector<Variant>& keyValues);

    bool GetFieldData(TField& field, void* buffer) override;
    void SetFieldData(TField& field, const void* buffer) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return open_; }

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

    void InternalPost() override;
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer& buffer, bool append) override;
    int GetRecordCount() const override;
    int GetRecNo() const override;

private:
    struct Store;
    // One column of a key: no value, a number, or bytes of text.
    using KeyPart = std::variant<std::monostate, std::int64_t, double, std::string>;
    using Key = std::vector<KeyPart>;
    struct OrderEntry {
        Key key;
        std::int64_t id;
    };
    // Key order, then row order; `descending` holds the columns that sort from high to low.
    struct OrderLess {
        std::vector<bool> descending;
        bool operator()(const OrderEntry& a, const OrderEntry& b) const;
    };
    using Order = std::set<OrderEntry, OrderLess>;
    enum class CursorAt { Bof, Row, Eof };
    struct Index {
        std::string name;
        std::vector<int> columns;
        std::vector<TField*> fields;  // the field objects of the columns, while open
        std::vector<bool> caseInsensitive;
        bool unique = false;
        Order order;
    };

    void MakeStore();
    void BuildLayout();
    const Order& CurrentOrder() const;
    Key KeyOf(const std::vector<std::uint8_t>& row, const Index* index) const;
    const Index* CurrentIndex() const;
    // Stores `buffer` as row `id` (a new row when `id` is 0) and stands on it.
    void StoreRow(TRecordBuffer& buffer, std::int64_t id);
    void CheckUnique(const std::vector<std::uint8_t>& row, std::int64_t id) const;
    void FillBuffer(TRecordBuffer& buffer, std::int64_t id) const;
    std::int64_t BufferId(const TRecordBuffer& buffer) const;
    void StandOn(std::int64_t id);

    std::unique_ptr<Store> store_;
    std::deque<Index> indexes_;  // live while open; a deque, so that the cursor stays valid
    std::string indexName_;
    const Index* currentIndex_ = nullptr;
    TRecordBuffer* keyBuffer_ = nullptr;  // the search key FindKey is building
    Order order_;
    Order::const_iterator cursor_;
    CursorAt at_ = CursorAt::Bof;
    bool open_ = false;
    std::vector<std::size_t> fieldOffsets_;  // per column: a presence byte, then the data
    std::vector<int> blobSlots_;             // per column: its variant slot, or -1
    std::size_t rowSize_ = 0;
    std::size_t infoOffset_ = 0;
};

}  // namespace pavana
