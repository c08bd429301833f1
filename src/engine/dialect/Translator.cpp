#include "engine/dialect/Translator.h"

#include "engine/dialect/Parser.h"
#include "engine/dialect/SqlitePrinter.h"

namespace pavana::engine::dialect {

Translation Translate(std::string_view jetSql) {
    const ast::Statement statement = Parse(jetSql);
    Translation out;
    for (const auto& p : statement.parameters) out.parameters.push_back({p.name, p.typeWord});
    PrintForSqlite(statement, out);
    return out;
}

}  // namespace pavana::engine::dialect
