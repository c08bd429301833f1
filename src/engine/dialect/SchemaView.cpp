#include "engine/dialect/SchemaView.h"

#include "rtl/Strings.h"

namespace pavana::engine::dialect {

const SchemaView::Column* SchemaView::Find(const std::string& table, const std::string& column) {
    for (const Column& c : Columns(table))
        if (SameAsciiText(c.name, column)) return &c;
    return nullptr;
}

std::vector<std::string> SchemaView::ColumnNames(const std::string& table) {
    std::vector<std::string> names;
    for (const Column& c : Columns(table)) names.push_back(c.name);
    return names;
}

std::optional<std::int32_t> SchemaView::FieldType(const std::string& table, const std::string& column) {
    const Column* found = Find(table, column);
    return found != nullptr ? found->fieldType : std::nullopt;
}

}  // namespace pavana::engine::dialect
