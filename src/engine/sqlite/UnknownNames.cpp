#include "engine/sqlite/UnknownNames.h"

#include <string_view>
#include <vector>

#include "engine/sqlite/QuoteIdentifier.h"
#include "rtl/Strings.h"

namespace pavana::engine::sqlite {
namespace {

constexpr std::string_view kNoSuchColumn = "no such column: ";
constexpr int kMostNames = 64;

// The printed form of the reference SQLite named: every name the dialect prints is quoted.
std::string Reference(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return QuoteIdentifier(name);
    return QuoteIdentifier(name.substr(0, dot)) + "." + QuoteIdentifier(name.substr(dot + 1));
}

// Replaces every use of `reference` by NULL; a bare name is left alone where it qualifies
// or is qualified by another name. Whether anything was replaced.
bool ReplaceByNull(std::string& sql, const std::string& reference) {
    bool replaced = false;
    for (std::size_t at = 0; at + reference.size() <= sql.size();) {
        if (!SameAsciiText(std::string_view(sql).substr(at, reference.size()), reference) ||
            (at > 0 && sql[at - 1] == '.') ||
            (at + reference.size() < sql.size() && sql[at + reference.size()] == '.')) {
            ++at;
            continue;
        }
        sql.replace(at, reference.size(), "NULL");
        at += 4;
        replaced = true;
    }
    return replaced;
}

}  // namespace

int CountUnknownNames(sqlite3* db, std::string sql, const std::string& first) {
    int count = 1;
    std::string name = first;
    while (count < kMostNames && ReplaceByNull(sql, Reference(name))) {
        sqlite3_stmt* statement = nullptr;
        const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
        sqlite3_finalize(statement);
        if (rc == SQLITE_OK) break;
        const std::string message = sqlite3_errmsg(db);
        if (message.compare(0, kNoSuchColumn.size(), kNoSuchColumn) != 0) break;
        name = message.substr(kNoSuchColumn.size());
        ++count;
    }
    return count;
}

}  // namespace pavana::engine::sqlite
