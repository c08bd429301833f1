#include "engine/dialect/Translator.h"

#include "engine/dialect/CriteriaTypes.h"
#include "engine/dialect/Parser.h"

namespace pavana::engine::dialect {

Translation Analyse(std::string_view jetSql, const SchemaLookup& schema, const SchemaMarks& marks) {
    auto parsed = std::make_shared<ast::Statement>(Parse(jetSql));
    if (marks) marks(*parsed);
    std::shared_ptr<const ast::Statement> statement = std::move(parsed);
    Translation out;
    for (const auto& p : statement->parameters) out.parameters.push_back({p.name, p.typeWord});
    // Only a statement with a text literal can compare a column with text.
    const bool hasText = jetSql.find('\'') != std::string_view::npos || jetSql.find('"') != std::string_view::npos;
    if (schema && hasText) CheckCriteriaTypes(*statement, schema.columnType);
    out.statement = std::move(statement);
    return out;
}

}  // namespace pavana::engine::dialect
