// One statement of the Access/Jet dialect translated for SQLite: the front end's analysed tree
// (dialect/Translator.h) printed as SQLite SQL. Every parameter becomes a numbered SQLite
// parameter; no value is spliced into the text. A failure to understand the text raises
// `dialect::SyntaxError`.
#pragma once

#include <string_view>

#include "engine/dialect/Translator.h"

namespace pavana::engine::sqlite {

// With `schema`, each value an INSERT or UPDATE writes is printed with the conversion its
// column's type needs (StoreConversion.h), or without any when it is a constant that already
// has that type's stored form; without it every written value goes through the conversion that
// looks its column up when the statement runs. With it, too, a number or date column compared
// with text fails as Jet's does (CriteriaTypes.h). With `marks`, the dates that become text
// are written as dates; without it only those the statement's text shows (date literals, Now,
// DateAdd, ...). A translation made with either belongs to the schema of that moment.
dialect::Translation Translate(std::string_view jetSql, const dialect::SchemaLookup& schema = {},
                               const dialect::SchemaMarks& marks = {});

}  // namespace pavana::engine::sqlite
