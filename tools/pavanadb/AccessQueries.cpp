#include "AccessQueries.h"

#include <algorithm>
#include <set>
#include <vector>

namespace pavana::tools {
namespace {

// The attributes of MSysQueries rows.
enum Attribute {
    kParameter = 2,
    kOptions = 3,
    kRemoteDatabase = 4,
    kTable = 5,
    kColumn = 6,
    kJoin = 7,
    kWhere = 8,
    kGroupBy = 9,
    kHaving = 10,
    kOrderBy = 11,
};

// The bits of the options row's Flag.
constexpr int kSelectStar = 0x01;
constexpr int kDistinct = 0x02;
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;

// The kind of a query, in the high bits of its MSysObjects.Flags.
const char* KindRefused(int objectFlags) {
    switch (objectFlags & 0xF0) {
        case 0: return nullptr;
        case 16: return "a crosstab query";
        case 32: return "a delete query";
        case 48: return "an update query";
        case 64: return "an append query";
        case 80: return "a make-table query";
        case 96: return "a data-definition query";
        case 112: return "a pass-through query";
        case 128: return "a union query";
        default: return "a query of a kind this import does not know";
    }
}

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

struct Join {
    std::string left;
    std::string right;
    int kind = 1;  // 1 inner, 2 left, 3 right
    std::string condition;
};

const char* JoinWord(int kind) {
    switch (kind) {
        case 2: return " LEFT JOIN ";
        case 3: return " RIGHT JOIN ";
        default: return " INNER JOIN ";
    }
}

// The FROM clause: each chain of joins nested in the order Access lists them, then the
// tables that take part in no join, separated by commas.
std::string FromClause(const std::vector<AccessQueryRow>& rows) {
    std::vector<std::string> order;
    std::vector<std::pair<std::string, std::string>> sources;  // reference name, FROM text
    for (const AccessQueryRow& r : rows) {
        if (r.attribute != kTable) continue;
        const std::string reference = r.name2.empty() ? r.name1 : r.name2;
        std::string text = r.expression.empty() ? Bracketed(r.name1) : "(" + r.expression + ")";
        if (!r.name2.empty()) text += " AS " + Bracketed(r.name2);
        sources.emplace_back(reference, text);
    }
    auto sourceText = [&](const std::string& reference) {
        for (const auto& [name, text] : sources)
            if (name == reference) return text;
        return Bracketed(reference);
    };
    std::vector<Join> joins;
    for (const AccessQueryRow& r : rows) {
        if (r.attribute != kJoin) continue;
        auto same = std::find_if(joins.begin(), joins.end(), [&](const Join& j) {
            return j.left == r.name1 && j.right == r.name2 && j.kind == r.flag;
        });
        if (same != joins.end()) same->condition += " AND " + r.expression;
        else joins.push_back(Join{r.name1, r.name2, r.flag, r.expression});
    }
    std::vector<std::pair<std::string, std::set<std::string>>> groups;  // text, references in it
    for (const Join& j : joins) {
        auto holding = [&](const std::string& reference) {
            return std::find_if(groups.begin(), groups.end(),
                                [&](const auto& g) { return g.second.count(reference) != 0; });
        };
        auto left = holding(j.left);
        auto right = holding(j.right);
        if (left == groups.end() && right == groups.end()) {
            groups.push_back({sourceText(j.left) + JoinWord(j.kind) + sourceText(j.right) + " ON " + j.condition,
                              {j.left, j.right}});
        } else if (right == groups.end()) {
            left->first = "(" + left->first + ")" + JoinWord(j.kind) + sourceText(j.right) + " ON " + j.condition;
            left->second.insert(j.right);
        } else if (left == groups.end()) {
            const int mirrored = j.kind == 2 ? 3 : j.kind == 3 ? 2 : 1;
            right->first = "(" + right->first + ")" + JoinWord(mirrored) + sourceText(j.left) + " ON " + j.condition;
            right->second.insert(j.left);
        } else if (left == right) {
            left->first += " AND " + j.condition;
        } else {
            left->first = "(" + left->first + ")" + JoinWord(j.kind) + "(" + right->first + ") ON " + j.condition;
            left->second.insert(right->second.begin(), right->second.end());
            groups.erase(right);
        }
    }
    std::string from;
    auto add = [&](const std::string& text) { from += (from.empty() ? "" : ", ") + text; };
    for (const auto& g : groups) add(g.first);
    for (const auto& [reference, text] : sources)
        if (std::none_of(groups.begin(), groups.end(), [&](const auto& g) { return g.second.count(reference) != 0; }))
            add(text);
    return from;
}

std::string Listed(const std::vector<AccessQueryRow>& rows, int attribute, bool orderBy) {
    std::string list;
    for (const AccessQueryRow& r : rows) {
        if (r.attribute != attribute) continue;
        list += (list.empty() ? "" : ", ") + r.expression;
        if (orderBy && (r.name1 == "D" || r.name1 == "d")) list += " DESC";
    }
    return list;
}

}  // namespace

std::variant<std::string, QueryRefusal> SelectStatementOf(const AccessQuery& query) {
    if (const char* kind = KindRefused(query.objectFlags))
        return QueryRefusal{std::string("it is ") + kind + "; this engine keeps only select queries"};
    const auto has = [&](int attribute) {
        return std::any_of(query.rows.begin(), query.rows.end(),
                           [&](const AccessQueryRow& r) { return r.attribute == attribute; });
    };
    if (has(kParameter)) return QueryRefusal{"it takes parameters, which a stored query of this engine cannot"};
    if (has(kRemoteDatabase)) return QueryRefusal{"it reads another database"};
    if (!has(kTable)) return QueryRefusal{"it names no table"};

    int options = 0;
    std::string top;
    for (const AccessQueryRow& r : query.rows) {
        if (r.attribute != kOptions) continue;
        options = r.flag;
        top = r.name1;
    }
    std::string sql = "SELECT ";
    if (options & kDistinct) sql += "DISTINCT ";
    else if (options & kDistinctRow) sql += "DISTINCTROW ";
    if ((options & kTop) && !top.empty()) sql += "TOP " + top + ((options & kPercent) ? " PERCENT " : " ");
    std::string columns = (options & kSelectStar) ? "*" : "";
    for (const AccessQueryRow& r : query.rows) {
        if (r.attribute != kColumn) continue;
        columns += (columns.empty() ? "" : ", ") + r.expression;
        if (!r.name1.empty()) columns += " AS " + Bracketed(r.name1);
    }
    if (columns.empty()) return QueryRefusal{"it selects no column"};
    sql += columns + " FROM " + FromClause(query.rows);
    for (const AccessQueryRow& r : query.rows)
        if (r.attribute == kWhere) sql += " WHERE " + r.expression;
    if (const std::string g = Listed(query.rows, kGroupBy, false); !g.empty()) sql += " GROUP BY " + g;
    for (const AccessQueryRow& r : query.rows)
        if (r.attribute == kHaving) sql += " HAVING " + r.expression;
    if (const std::string o = Listed(query.rows, kOrderBy, true); !o.empty()) sql += " ORDER BY " + o;
    return sql;
}

}  // namespace pavana::tools
