#include "AccessRowWriter.h"

#include "engine/sqlite/Columns.h"
#include "engine/sqlite/QuoteIdentifier.h"

namespace pavana::tools {
namespace {

using engine::sqlite::QuoteIdentifier;

// The one place where an amount is written: bound as the engine binds a currency value into
// a Currency column of a database it made, so that the stored form (the scaled amount, every
// amount exactly) is what the engine itself writes for one.
void BindCurrency(sqlite3_stmt* statement, int index, std::int64_t scaled) {
    engine::sqlite::BindStored(statement, index, Variant(Currency{scaled}), engine::sqlite::CurrencyStorage::Scaled);
}

std::string InsertStatement(const AccessTable& source, const std::string& target) {
    std::string columns, parameters;
    for (const AccessColumn& c : source.columns) {
        if (c.type == AccessType::Complex || c.type == AccessType::Other) continue;
        columns += (columns.empty() ? "" : ", ") + QuoteIdentifier(c.name);
        parameters += parameters.empty() ? "?" : ", ?";
    }
    return "INSERT INTO " + QuoteIdentifier(target) + " (" + columns + ") VALUES (" + parameters + ")";
}

}  // namespace

AccessRowWriter::AccessRowWriter(engine::sqlite::Connection& connection, const AccessTable& source,
                                 const std::string& target)
    : insert_(connection, InsertStatement(source, target).c_str()) {
    for (std::size_t i = 0; i < source.columns.size(); ++i) {
        if (source.columns[i].type == AccessType::Complex || source.columns[i].type == AccessType::Other) continue;
        carried_.push_back(i);
        types_.push_back(source.columns[i].type);
    }
}

void AccessRowWriter::Write(const std::vector<AccessValue>& row) {
    sqlite3_stmt* st = insert_.Handle();
    for (std::size_t p = 0; p < carried_.size(); ++p) {
        const int index = static_cast<int>(p) + 1;
        const AccessValue& v = row[carried_[p]];
        if (v.null) {
            sqlite3_bind_null(st, index);
            continue;
        }
        switch (types_[p]) {
            case AccessType::Currency: BindCurrency(st, index, v.integer); break;
            case AccessType::YesNo:
            case AccessType::Byte:
            case AccessType::Integer:
            case AccessType::Long: sqlite3_bind_int64(st, index, v.integer); break;
            case AccessType::Single:
            case AccessType::Double:
            case AccessType::DateTime: sqlite3_bind_double(st, index, v.real); break;
            case AccessType::Text:
            case AccessType::Memo:
            case AccessType::Decimal:
                sqlite3_bind_text64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_STATIC, SQLITE_UTF8);
                break;
            case AccessType::Binary:
            case AccessType::OleObject:
            case AccessType::Guid: sqlite3_bind_blob64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_STATIC); break;
            case AccessType::Complex:
            case AccessType::Other: break;
        }
    }
    insert_.Step();
    insert_.Reset();
}

}  // namespace pavana::tools
