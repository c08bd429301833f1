#include "engine/sqlite/Translate.h"

#include "engine/sqlite/SqlitePrinter.h"

namespace pavana::engine::sqlite {

dialect::Translation Translate(std::string_view jetSql, const dialect::SchemaLookup& schema,
                               const dialect::SchemaMarks& marks) {
    dialect::Translation out = dialect::Analyse(jetSql, schema, marks);
    PrintForSqlite(*out.statement, out, schema);
    return out;
}

}  // namespace pavana::engine::sqlite
