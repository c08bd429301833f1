// An Access database file (.mdb of Jet 3 and Jet 4, .accdb of ACE) read through mdbtools'
// library: its user tables with their columns, indexes and rows, its relationships and the
// definitions of its saved queries.
//
// Values are read from the rows' raw bytes, not from the library's text forms, which cut
// long memos and lose dates and amounts: a Date/Time is its day number, a Currency its
// amount × 10 000, a Memo or OLE Object every byte of its chain of pages, text decoded from
// the file's own form (Jet 4 and later: UTF-16 with Access's compression; Jet 3: the file's
// code page). Everything that reaches a caller is UTF-8.
//
// The file is opened read-only and never changed. A failure raises `AccessError`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"

struct S_MdbTableDef;

namespace pavana::tools {

class AccessError : public Exception {
public:
    using Exception::Exception;
};

// A column's Jet type, as the file declares it.
enum class AccessType {
    YesNo,
    Byte,
    Integer,
    Long,
    Currency,
    Single,
    Double,
    DateTime,
    Binary,
    Text,
    OleObject,
    Memo,
    Guid,
    Decimal,
    Complex,  // an attachment or multi-valued field of an .accdb (its values live elsewhere)
    Other,    // a type this import does not know (Large Number of Access 2016, ...)
};

struct AccessColumn {
    std::string name;
    AccessType type = AccessType::Text;
    int typeCode = 0;             // the type as the file gives it
    int size = 0;                 // characters for Text, bytes for Binary
    int precision = 0;            // Decimal only
    int scale = 0;                // Decimal only
    bool autoNumber = false;      // a Long AutoNumber
    bool guidAutoNumber = false;  // a Replication ID AutoNumber
    bool required = false;
    bool allowZeroLength = false;
    std::optional<std::string> defaultValue;  // the DefaultValue expression as Access keeps it
    std::optional<std::string> validationRule;
};

struct AccessIndex {
    struct Key {
        int column = 0;  // position in AccessTable::columns
        bool descending = false;
    };
    std::string name;
    bool primaryKey = false;
    bool foreignKey = false;  // the index Access keeps for an enforced relationship
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;  // Nulls refused in its columns
    std::vector<Key> keys;
};

struct AccessTable {
    std::string name;
    std::vector<AccessColumn> columns;
    std::vector<AccessIndex> indexes;
    std::optional<std::string> validationRule;
    std::uint32_t rowCount = 0;  // as the table definition states it
};

// One relationship of MSysRelationships: `table` (the many side) refers to `referencedTable`.
struct AccessRelationship {
    std::string name;
    std::string table;
    std::string referencedTable;
    std::vector<std::string> columns;
    std::vector<std::string> referencedColumns;
    bool enforced = true;  // referential integrity enforced
    bool cascadeUpdates = false;
    bool cascadeDeletes = false;
    bool deletesSetNull = false;  // deleting the referenced record empties the columns
};

// One row of MSysQueries: a piece of a saved query's definition.
struct AccessQueryRow {
    int attribute = 0;
    int flag = 0;
    std::string name1;
    std::string name2;
    std::string expression;
};

struct AccessQuery {
    std::string name;
    int objectFlags = 0;  // MSysObjects.Flags: the kind of query
    std::vector<AccessQueryRow> rows;
};

// One value of a row. Which member holds it follows the column's type: `integer` for
// Yes/No (-1 or 0), Byte, Integer, Long and Currency (the scaled amount); `real` for Single,
// Double and Date/Time (the day number); `bytes` for Text and Memo (UTF-8), Binary, OLE
// Object and GUID (raw bytes) and Decimal (its exact decimal text).
struct AccessValue {
    bool null = true;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;
};

// The exact decimal text of a Decimal value as a row holds it (17 bytes), with `scale`
// digits after the point ("-12.5000", "0.0001").
std::string DecimalText(const unsigned char* bytes, int scale);

class AccessFile {
public:
    // Opens `path`. Refuses, with a message that says which, a missing or unreadable file,
    // a file that is not an Access database and one whose tables cannot be read (an .accdb
    // encrypted with a database password).
    explicit AccessFile(const std::string& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    // "Jet 3", "Jet 4" or "ACE" (Access 2007 and later).
    std::string FormatName() const;
    // The user tables, in the catalog's order; system tables and linked tables are left out.
    std::vector<std::string> TableNames() const;
    // The tables linked from other files (their rows are not in this one).
    std::vector<std::string> LinkedTableNames() const;
    // The saved queries that are the database's own (not the hidden record sources of forms
    // and reports), in the catalog's order.
    std::vector<AccessQuery> Queries() const;
    std::vector<AccessRelationship> Relationships() const;

    // Streams the rows of one table, one at a time; a table is never held whole.
    class Rows {
    public:
        Rows(AccessFile& file, const std::string& table);
        ~Rows();
        Rows(const Rows&) = delete;
        Rows& operator=(const Rows&) = delete;

        const AccessTable& Table() const { return table_; }
        // Reads the next row into Values(); false after the last. A long value whose pages
        // do not hold the length its header states raises AccessError.
        bool Next();
        const std::vector<AccessValue>& Values() const { return values_; }
        // Starts again before the first row.
        void Rewind();

    private:
        void ReadLongValue(std::size_t column, int start, int length);

        AccessFile& file_;
        S_MdbTableDef* def_ = nullptr;
        AccessTable table_;
        std::vector<int> libraryColumn_;  // AccessTable column -> the library's column index
        std::vector<AccessValue> values_;
        std::vector<unsigned char> chunk_;
        std::string longBytes_;
    };

private:
    friend class Rows;
    bool Wide() const;  // text is UTF-16 (Jet 4 and later)
    std::string DecodeText(const unsigned char* bytes, std::size_t length) const;
    std::vector<std::vector<AccessValue>> SystemRows(const std::string& table,
                                                     const std::vector<std::string>& columns) const;

    struct Handle;  // the library's handle of the open file, closed with it
    std::string path_;
    std::unique_ptr<Handle> handle_;
};

}  // namespace pavana::tools
