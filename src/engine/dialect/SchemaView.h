// What the front end reads of the schema of the database a statement is made for: a table's
// columns in their order, with their types. The back end gives it from what it knows of the
// database; the front end never reads the database itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/dialect/JetTypes.h"

namespace pavana::engine::dialect {

class SchemaView {
public:
    struct Column {
        std::string name;
        // The Jet type the declaration's first word names; nullopt when it names none.
        std::optional<JetType> type;
        // The DAO field type a field of the column reports (a declaration in another
        // program's words included: "INTEGER", "REAL", a bare "TEXT" as a memo); nullopt
        // when the declaration tells none.
        std::optional<std::int32_t> fieldType;
    };

    SchemaView() = default;
    virtual ~SchemaView() = default;
    SchemaView(const SchemaView&) = delete;
    SchemaView& operator=(const SchemaView&) = delete;

    // The columns of `table` (any case) in their order; empty when there is no such table.
    // The reference stays valid as long as the view.
    virtual const std::vector<Column>& Columns(const std::string& table) = 0;

    // Column `column` (any case) of `table`; nullptr when there is no such column.
    const Column* Find(const std::string& table, const std::string& column);
    // The names of the columns of `table` in their order.
    std::vector<std::string> ColumnNames(const std::string& table);
    // The field type of column `column` of `table`; nullopt when there is no such column or
    // its declaration tells none.
    std::optional<std::int32_t> FieldType(const std::string& table, const std::string& column);
};

}  // namespace pavana::engine::dialect
