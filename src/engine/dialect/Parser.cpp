#include "engine/dialect/Parser.h"

#include <array>
#include <charconv>
#include <cstring>

#include "engine/dialect/FunctionCatalog.h"
#include "engine/dialect/JetDate.h"
#include "engine/dialect/Lexer.h"
#include "engine/dialect/Messages.h"

namespace pavana::engine::dialect {
namespace {

using namespace ast;

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// Words that end an expression or a name list and so can never be a bare column or alias.
constexpr std::array<const char*, 42> kReserved{
    "SELECT", "FROM",  "WHERE",   "GROUP",  "ORDER",       "BY",     "HAVING",  "UNION",
    "INNER",  "LEFT",  "RIGHT",   "OUTER",  "JOIN",        "ON",     "AS",      "INTO",
    "VALUES", "SET",   "AND",     "OR",     "NOT",         "XOR",    "EQV",     "IMP",
    "MOD",    "LIKE",  "IS",      "NULL",   "BETWEEN",     "IN",     "EXISTS",  "DISTINCT",
    "DISTINCTROW", "TOP", "ASC",  "DESC",   "TRUE",        "FALSE",  "YES",     "NO",
    "OFF",    "WITH"};

bool IsReserved(std::string_view word) {
    for (const char* r : kReserved)
        if (EqualsIgnoreCase(word, r)) return true;
    return false;
}

// Words that start a clause: the quoted text of a faulty expression stops before them.
constexpr std::array<const char*, 12> kClauseWords{"FROM",  "WHERE", "GROUP", "ORDER", "HAVING", "UNION",
                                                   "INNER", "LEFT",  "RIGHT", "SET",   "VALUES", "INTO"};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

    Statement ParseStatement() {
        Statement statement;
        if (IsWord("PARAMETERS")) ParseParameters(statement);
        if (IsWord("SELECT")) {
            clause_ = messages::kSelect;
            statement.select = ParseQuery(true);
        } else if (IsWord("INSERT")) {
            statement.insert = ParseInsert();
        } else if (IsWord("UPDATE")) {
            statement.update = ParseUpdate();
        } else if (IsWord("DELETE")) {
            statement.del = ParseDelete();
        } else if (IsWord("CREATE")) {
            if (IsWord("INDEX", 1) || (IsWord("UNIQUE", 1) && IsWord("INDEX", 2)))
                statement.createIndex = ParseCreateIndex();
            else
                statement.createTable = ParseCreateTable();
        } else if (IsWord("ALTER")) {
            statement.alterTable = ParseAlterTable();
        } else if (IsWord("DROP")) {
            ParseDrop(statement);
        } else {
            messages::Raise(messages::kInvalidStatement);
        }
        if (AcceptSymbol(";")) {
            if (Peek().kind != TokenKind::End) messages::Raise(messages::kAfterEnd);
        } else if (Peek().kind != TokenKind::End) {
            messages::Raise(messages::kMissingSemicolon);
        }
        return statement;
    }

private:
    // ---- tokens -------------------------------------------------------------------------

    const Token& Peek(std::size_t k = 0) const {
        std::size_t i = pos_ + k;
        return i < tokens_.size() ? tokens_[i] : tokens_.back();
    }
    void Next() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }
    bool IsWord(const char* word, std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == TokenKind::Word && EqualsIgnoreCase(t.text, word);
    }
    bool AcceptWord(const char* word) {
        if (!IsWord(word)) return false;
        Next();
        return true;
    }
    void ExpectWord(const char* word) {
        if (!AcceptWord(word)) Fail();
    }
    bool IsSymbol(const char* symbol, std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == TokenKind::Symbol && t.text == symbol;
    }
    bool AcceptSymbol(const char* symbol) {
        if (!IsSymbol(symbol)) return false;
        Next();
        return true;
    }
    void ExpectSymbol(const char* symbol) {
        if (!AcceptSymbol(symbol)) Fail();
    }
    [[noreturn]] void Fail() const { messages::Raise(clause_); }

    // A name: a bracketed name or a word that is not reserved.
    bool IsName(std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == TokenKind::Name || (t.kind == TokenKind::Word && !IsReserved(t.text));
    }
    std::string ExpectName() {
        if (!IsName()) Fail();
        std::string name = Peek().text;
        Next();
        return name;
    }
    // A column name that may be written qualified (`t.c`, `[t].[c]`); the qualifier is dropped.
    std::string ExpectColumnName(std::string* table = nullptr) {
        std::string name = ExpectName();
        if (AcceptSymbol(".")) {
            if (table) *table = name;
            name = ExpectName();
        }
        return name;
    }
    std::vector<std::string> ParseNameList() {
        std::vector<std::string> names;
        ExpectSymbol("(");
        do names.push_back(ExpectColumnName());
        while (AcceptSymbol(","));
        ExpectSymbol(")");
        return names;
    }
    std::int64_t ExpectInteger() {
        const Token& t = Peek();
        if (t.kind != TokenKind::Number || t.real) Fail();
        std::int64_t value = 0;
        auto [ptr, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
        if (ec != std::errc() || ptr != t.text.data() + t.text.size()) Fail();
        Next();
        return value;
    }

    // ---- PARAMETERS ---------------------------------------------------------------------

    void ParseParameters(Statement& statement) {
        clause_ = messages::kParameters;
        Next();
        do {
            if (!IsName() && Peek().kind != TokenKind::Word) Fail();
            Parameter p;
            p.name = Peek().text;
            Next();
            if (Peek().kind == TokenKind::Word) {
                std::string word = Peek().text;
                if (!TypeFromWord(word) && !EqualsIgnoreCase(word, "VALUE")) Fail();
                for (auto& c : word)
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                p.typeWord = word;
                Next();
                if (AcceptSymbol("(")) {
                    ExpectInteger();
                    ExpectSymbol(")");
                }
            }
            for (const auto& other : statement.parameters)
                if (EqualsIgnoreCase(other.name, p.name)) Fail();
            statement.parameters.push_back(std::move(p));
        } while (AcceptSymbol(","));
        ExpectSymbol(";");
        parameters_ = &statement.parameters;
    }

    // ---- expressions --------------------------------------------------------------------

    // An expression that makes up a clause item: a following operand means a missing operator.
    ExprPtr ParseClauseExpr() {
        const std::size_t saved = exprStart_;
        exprStart_ = pos_;
        ExprPtr e = ParseExpr();
        const Token& t = Peek();
        bool operand = t.kind == TokenKind::Name || t.kind == TokenKind::String ||
                       t.kind == TokenKind::Number || t.kind == TokenKind::Date ||
                       (t.kind == TokenKind::Word && !IsReserved(t.text)) || IsSymbol("(");
        if (operand) ExprFail("(missing operator)");
        exprStart_ = saved;
        return e;
    }

    [[noreturn]] void ExprFail(std::string_view what) const {
        // The quoted expression runs from its start to the end of its clause.
        std::size_t depth = 0;
        std::size_t end = exprStart_;
        for (std::size_t i = exprStart_; i < tokens_.size(); ++i) {
            const Token& t = tokens_[i];
            if (t.kind == TokenKind::End) break;
            if (t.kind == TokenKind::Symbol) {
                if (t.text == "(") ++depth;
                else if (t.text == ")") {
                    if (depth == 0) break;
                    --depth;
                } else if (depth == 0 && (t.text == ";" || t.text == ",")) break;
            }
            if (depth == 0 && t.kind == TokenKind::Word && i > pos_) {
                bool clause = false;
                for (const char* w : kClauseWords)
                    if (EqualsIgnoreCase(t.text, w)) clause = true;
                if (clause) break;
            }
            end = i + 1;
        }
        std::string_view quoted;
        if (exprStart_ < tokens_.size() && end > exprStart_)
            quoted = text_.substr(tokens_[exprStart_].begin,
                                  tokens_[end - 1].end - tokens_[exprStart_].begin);
        messages::RaiseExpression(what, quoted);
    }

    ExprPtr Make(Expr::Kind kind) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        return e;
    }
    ExprPtr MakeBinary(std::string op, ExprPtr a, ExprPtr b) {
        auto e = Make(Expr::Kind::Binary);
        e->op = std::move(op);
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return e;
    }

    void EnterDepth() {
        if (++depth_ > 200) ExprFail("(missing operator)");
    }

    ExprPtr ParseExpr() {
        EnterDepth();
        ExprPtr e = ParseBinaryLevel(0);
        --depth_;
        return e;
    }

    // Levels 0..4: Imp, Eqv, Xor, Or, And (all left-associative).
    ExprPtr ParseBinaryLevel(int level) {
        static constexpr std::array<const char*, 5> kWords{"IMP", "EQV", "XOR", "OR", "AND"};
        if (level == 5) return ParseNot();
        ExprPtr left = ParseBinaryLevel(level + 1);
        while (IsWord(kWords[static_cast<std::size_t>(level)])) {
            Next();
            left = MakeBinary(kWords[static_cast<std::size_t>(level)], std::move(left),
                              ParseBinaryLevel(level + 1));
        }
        return left;
    }

    ExprPtr ParseNot() {
        if (AcceptWord("NOT")) {
            EnterDepth();
            auto e = Make(Expr::Kind::Unary);
            e->op = "NOT";
            e->args.push_back(ParseNot());
            --depth_;
            return e;
        }
        return ParseComparison();
    }

    static bool IsComparison(const Token& t) {
        if (t.kind != TokenKind::Symbol) return false;
        return t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" ||
               t.text == ">=";
    }

    ExprPtr ParseComparison() {
        ExprPtr left = ParseConcat();
        while (true) {
            if (IsComparison(Peek())) {
                std::string op = Peek().text;
                Next();
                if ((IsWord("ANY") || IsWord("SOME") || IsWord("ALL")) && IsSymbol("(", 1) &&
                    IsWord("SELECT", 2)) {
                    auto e = Make(Expr::Kind::Quantified);
                    e->op = op;
                    e->text = IsWord("ALL") ? "ALL" : "ANY";
                    Next();
                    Next();
                    e->query = ParseQuery(false);
                    ExpectExprSymbol(")");
                    e->args.push_back(std::move(left));
                    left = std::move(e);
                } else {
                    left = MakeBinary(op, std::move(left), ParseConcat());
                }
                continue;
            }
            bool negated = false;
            if (IsWord("NOT") && (IsWord("LIKE", 1) || IsWord("BETWEEN", 1) || IsWord("IN", 1))) {
                negated = true;
                Next();
            }
            if (AcceptWord("LIKE")) {
                auto e = Make(Expr::Kind::Like);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(ParseConcat());
                left = std::move(e);
            } else if (AcceptWord("BETWEEN")) {
                auto e = Make(Expr::Kind::Between);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(ParseConcat());
                if (!AcceptWord("AND")) ExprFail("(missing operator)");
                e->args.push_back(ParseConcat());
                left = std::move(e);
            } else if (AcceptWord("IN")) {
                if (!AcceptSymbol("(")) ExprFail("(missing operator)");
                ExprPtr e;
                if (IsWord("SELECT")) {
                    e = Make(Expr::Kind::InQuery);
                    e->query = ParseQuery(false);
                    e->args.push_back(std::move(left));
                } else {
                    e = Make(Expr::Kind::InList);
                    e->args.push_back(std::move(left));
                    do e->args.push_back(ParseExpr());
                    while (AcceptSymbol(","));
                }
                ExpectExprSymbol(")");
                e->negated = negated;
                left = std::move(e);
            } else if (!negated && AcceptWord("IS")) {
                auto e = Make(Expr::Kind::IsNull);
                e->negated = AcceptWord("NOT");
                if (!AcceptWord("NULL")) ExprFail("(missing operator)");
                e->args.push_back(std::move(left));
                left = std::move(e);
            } else {
                return left;
            }
        }
    }

    void ExpectExprSymbol(const char* symbol) {
        if (!AcceptSymbol(symbol)) ExprFail("(missing operator)");
    }

    ExprPtr ParseConcat() {
        ExprPtr left = ParseAdditive();
        while (AcceptSymbol("&")) left = MakeBinary("&", std::move(left), ParseAdditive());
        return left;
    }
    ExprPtr ParseAdditive() {
        ExprPtr left = ParseMod();
        while (IsSymbol("+") || IsSymbol("-")) {
            std::string op = Peek().text;
            Next();
            left = MakeBinary(op, std::move(left), ParseMod());
        }
        return left;
    }
    ExprPtr ParseMod() {
        ExprPtr left = ParseIntDiv();
        while (AcceptWord("MOD")) left = MakeBinary("MOD", std::move(left), ParseIntDiv());
        return left;
    }
    ExprPtr ParseIntDiv() {
        ExprPtr left = ParseMultiplicative();
        while (AcceptSymbol("\\")) left = MakeBinary("\\", std::move(left), ParseMultiplicative());
        return left;
    }
    ExprPtr ParseMultiplicative() {
        ExprPtr left = ParseUnary();
        while (IsSymbol("*") || IsSymbol("/")) {
            std::string op = Peek().text;
            Next();
            left = MakeBinary(op, std::move(left), ParseUnary());
        }
        return left;
    }
    ExprPtr ParseUnary() {
        if (IsSymbol("-") || IsSymbol("+")) {
            EnterDepth();
            auto e = Make(Expr::Kind::Unary);
            e->op = Peek().text;
            Next();
            e->args.push_back(ParseUnary());
            --depth_;
            return e;
        }
        return ParsePower();
    }
    ExprPtr ParsePower() {
        ExprPtr left = ParsePrimary();
        while (AcceptSymbol("^")) {
            ExprPtr right;
            if (IsSymbol("-") || IsSymbol("+")) {
                EnterDepth();
                right = Make(Expr::Kind::Unary);
                right->op = Peek().text;
                Next();
                right->args.push_back(ParsePower());
                --depth_;
            } else {
                right = ParsePrimary();
            }
            left = MakeBinary("^", std::move(left), std::move(right));
        }
        return left;
    }

    std::optional<std::int64_t> ParameterIndex(std::string_view name) const {
        if (!parameters_) return std::nullopt;
        for (std::size_t i = 0; i < parameters_->size(); ++i)
            if (EqualsIgnoreCase((*parameters_)[i].name, name)) return static_cast<std::int64_t>(i);
        return std::nullopt;
    }

    ExprPtr ParsePrimary() {
        const Token& t = Peek();
        switch (t.kind) {
            case TokenKind::Number: {
                ExprPtr e;
                std::int64_t value = 0;
                auto [ptr, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
                if (!t.real && ec == std::errc() && ptr == t.text.data() + t.text.size()) {
                    e = Make(Expr::Kind::Integer);
                    e->integer = value;
                } else {
                    e = Make(Expr::Kind::Real);
                    e->text = t.text;
                    if (t.text.front() == '.') e->text.insert(0, "0");
                    if (t.text.back() == '.') e->text.push_back('0');
                    if (!t.real) e->text += ".0";
                }
                Next();
                return e;
            }
            case TokenKind::String: {
                auto e = Make(Expr::Kind::String);
                e->text = t.text;
                Next();
                return e;
            }
            case TokenKind::Date: {
                auto value = ParseDateLiteral(t.text);
                if (!value) ExprFail("in date");
                auto e = Make(Expr::Kind::Date);
                e->real = *value;
                Next();
                return e;
            }
            case TokenKind::Name: return ParseNameExpr();
            case TokenKind::Word: break;
            case TokenKind::Symbol:
                if (IsSymbol("(")) {
                    Next();
                    EnterDepth();
                    ExprPtr e;
                    if (IsWord("SELECT")) {
                        e = Make(Expr::Kind::Subquery);
                        e->query = ParseQuery(false);
                    } else {
                        e = ParseExpr();
                    }
                    ExpectExprSymbol(")");
                    --depth_;
                    return e;
                }
                ExprFail("(missing operator)");
            case TokenKind::End: ExprFail("(missing operator)");
        }
        if (AcceptWord("NULL")) return Make(Expr::Kind::Null);
        for (const char* w : {"TRUE", "YES", "ON"})
            if (AcceptWord(w)) {
                auto e = Make(Expr::Kind::Boolean);
                e->integer = -1;
                return e;
            }
        for (const char* w : {"FALSE", "NO", "OFF"})
            if (AcceptWord(w)) {
                auto e = Make(Expr::Kind::Boolean);
                e->integer = 0;
                return e;
            }
        if (IsWord("EXISTS")) {
            Next();
            if (!AcceptSymbol("(") || !IsWord("SELECT")) ExprFail("(missing operator)");
            auto e = Make(Expr::Kind::Exists);
            e->query = ParseQuery(false);
            ExpectExprSymbol(")");
            return e;
        }
        if (IsSymbol("(", 1)) return ParseFunction();
        if (IsReserved(t.text)) ExprFail("(missing operator)");
        return ParseNameExpr();
    }

    ExprPtr ParseNameExpr() {
        std::string first = Peek().text;
        Next();
        if (AcceptSymbol(".")) {
            if (AcceptSymbol("*")) {
                auto e = Make(Expr::Kind::Star);
                e->table = first;
                return e;
            }
            if (!IsName()) ExprFail("(missing operator)");
            auto e = Make(Expr::Kind::Column);
            e->table = first;
            e->name = Peek().text;
            Next();
            return e;
        }
        if (auto index = ParameterIndex(first)) {
            auto e = Make(Expr::Kind::Parameter);
            e->integer = *index;
            e->name = first;
            return e;
        }
        auto e = Make(Expr::Kind::Column);
        e->name = first;
        return e;
    }

    ExprPtr ParseFunction() {
        const std::size_t nameToken = pos_;
        std::string name = Peek().text;
        const FunctionInfo* info = FindFunction(name);
        if (!info) messages::RaiseUndefinedFunction(name);
        Next();
        Next();
        EnterDepth();
        auto e = Make(Expr::Kind::Function);
        e->name = info->jetName;
        if (info->aggregate && AcceptSymbol("*")) {
            if (!EqualsIgnoreCase(name, "COUNT")) ExprFail("(missing operator)");
            e->star = true;
        } else if (!IsSymbol(")")) {
            do e->args.push_back(ParseExpr());
            while (AcceptSymbol(","));
        }
        ExpectExprSymbol(")");
        --depth_;
        const int count = e->star ? 1 : static_cast<int>(e->args.size());
        if (count < info->minArgs || count > info->maxArgs) {
            std::string_view call = text_.substr(tokens_[nameToken].begin,
                                                 tokens_[pos_ - 1].end - tokens_[nameToken].begin);
            throw SyntaxError("Wrong number of arguments used with function in query expression '" +
                                  std::string(call) + "'.",
                              messages::kQueryExpression);
        }
        return e;
    }

    // ---- SELECT -------------------------------------------------------------------------

    std::unique_ptr<Query> ParseQuery(bool allowInto) {
        EnterDepth();
        auto query = std::make_unique<Query>();
        query->cores.push_back(ParseCore(allowInto));
        while (AcceptWord("UNION")) {
            query->unionAll.push_back(AcceptWord("ALL"));
            if (!IsWord("SELECT")) Fail();
            query->cores.push_back(ParseCore(false));
        }
        if (IsWord("ORDER")) {
            const auto saved = clause_;
            clause_ = messages::kOrderBy;
            Next();
            ExpectWord("BY");
            do {
                OrderItem item;
                item.expr = ParseClauseExpr();
                if (AcceptWord("DESC")) item.descending = true;
                else AcceptWord("ASC");
                query->orderBy.push_back(std::move(item));
            } while (AcceptSymbol(","));
            clause_ = saved;
        }
        --depth_;
        return query;
    }

    SelectCore ParseCore(bool allowInto) {
        const auto saved = clause_;
        clause_ = messages::kSelect;
        SelectCore core;
        ExpectWord("SELECT");
        if (AcceptWord("DISTINCT")) core.distinct = Distinct::Distinct;
        else if (AcceptWord("DISTINCTROW")) core.distinct = Distinct::DistinctRow;
        else AcceptWord("ALL");
        if (AcceptWord("TOP")) {
            core.top = ExpectInteger();
            core.topPercent = AcceptWord("PERCENT");
        }
        do {
            SelectItem item;
            if (AcceptSymbol("*")) {
                item.expr = Make(Expr::Kind::Star);
            } else {
                item.expr = ParseClauseExpr();
                if (AcceptWord("AS")) item.alias = ExpectName();
            }
            core.items.push_back(std::move(item));
        } while (AcceptSymbol(","));
        if (IsWord("INTO")) {
            if (!allowInto) Fail();
            Next();
            core.into = ExpectName();
        }
        if (AcceptWord("FROM")) {
            clause_ = messages::kFrom;
            core.from = ParseFromList();
        }
        if (AcceptWord("WHERE")) {
            clause_ = messages::kWhere;
            core.where = ParseClauseExpr();
        }
        if (IsWord("GROUP")) {
            clause_ = messages::kGroupBy;
            Next();
            ExpectWord("BY");
            do core.groupBy.push_back(ParseClauseExpr());
            while (AcceptSymbol(","));
        }
        if (AcceptWord("HAVING")) {
            clause_ = messages::kHaving;
            core.having = ParseClauseExpr();
        }
        clause_ = saved;
        return core;
    }

    std::vector<TableRefPtr> ParseFromList() {
        std::vector<TableRefPtr> from;
        do from.push_back(ParseJoinTree());
        while (AcceptSymbol(","));
        return from;
    }

    bool AcceptJoin(TableRef::JoinType& type) {
        if (IsWord("INNER") && IsWord("JOIN", 1)) {
            type = TableRef::JoinType::Inner;
        } else if (IsWord("LEFT") || IsWord("RIGHT")) {
            type = IsWord("LEFT") ? TableRef::JoinType::Left : TableRef::JoinType::Right;
            if (!(IsWord("JOIN", 1) || (IsWord("OUTER", 1) && IsWord("JOIN", 2)))) return false;
            if (IsWord("OUTER", 1)) Next();
        } else {
            return false;
        }
        Next();
        Next();
        return true;
    }

    TableRefPtr ParseJoinTree() {
        EnterDepth();
        TableRefPtr left = ParseTablePrimary();
        TableRef::JoinType type;
        while (true) {
            if (!AcceptJoin(type)) {
                if (IsWord("JOIN") || IsWord("INNER") || IsWord("FULL") || IsWord("CROSS"))
                    messages::Raise(messages::kJoin);
                break;
            }
            const auto saved = clause_;
            clause_ = messages::kJoin;
            auto join = std::make_unique<TableRef>();
            join->kind = TableRef::Kind::Join;
            join->joinType = type;
            join->left = std::move(left);
            join->right = ParseTablePrimary();
            ExpectWord("ON");
            join->on = ParseClauseExpr();
            clause_ = saved;
            left = std::move(join);
        }
        --depth_;
        return left;
    }

    TableRefPtr ParseTablePrimary() {
        auto ref = std::make_unique<TableRef>();
        if (AcceptSymbol("(")) {
            if (IsWord("SELECT")) {
                ref->kind = TableRef::Kind::Derived;
                const auto saved = clause_;
                ref->query = ParseQuery(false);
                clause_ = saved;
                ExpectSymbol(")");
                ParseAlias(*ref);
                return ref;
            }
            ref = ParseJoinTree();
            ExpectSymbol(")");
            ref->parenthesised = true;
            return ref;
        }
        ref->kind = TableRef::Kind::Table;
        ref->name = ExpectName();
        ParseAlias(*ref);
        return ref;
    }

    void ParseAlias(TableRef& ref) {
        if (AcceptWord("AS")) ref.alias = ExpectName();
        else if (IsName()) ref.alias = ExpectName();
    }

    // ---- INSERT, UPDATE, DELETE ---------------------------------------------------------

    std::unique_ptr<Insert> ParseInsert() {
        clause_ = messages::kInsert;
        Next();
        ExpectWord("INTO");
        auto insert = std::make_unique<Insert>();
        insert->table = ExpectName();
        if (IsSymbol("(")) insert->columns = ParseNameList();
        if (AcceptWord("VALUES")) {
            ExpectSymbol("(");
            do insert->values.push_back(ParseClauseExpr());
            while (AcceptSymbol(","));
            ExpectSymbol(")");
        } else if (IsWord("SELECT")) {
            insert->query = ParseQuery(false);
        } else {
            Fail();
        }
        return insert;
    }

    std::unique_ptr<Update> ParseUpdate() {
        clause_ = messages::kUpdate;
        Next();
        auto update = std::make_unique<Update>();
        update->source = ParseJoinTree();
        clause_ = messages::kUpdate;
        ExpectWord("SET");
        do {
            Assignment a;
            a.column = ExpectColumnName(&a.table);
            ExpectSymbol("=");
            a.value = ParseClauseExpr();
            update->sets.push_back(std::move(a));
        } while (AcceptSymbol(","));
        if (AcceptWord("WHERE")) {
            clause_ = messages::kWhere;
            update->where = ParseClauseExpr();
        }
        return update;
    }

    std::unique_ptr<Delete> ParseDelete() {
        clause_ = messages::kDelete;
        Next();
        auto del = std::make_unique<Delete>();
        del->distinctRow = AcceptWord("DISTINCTROW");
        if (AcceptSymbol("*")) {
        } else if (IsName() && IsSymbol(".", 1) && IsSymbol("*", 2)) {
            del->target = ExpectName();
            Next();
            Next();
        } else if (IsName() && !IsWord("FROM")) {
            del->target = ExpectName();
        }
        ExpectWord("FROM");
        clause_ = messages::kFrom;
        del->from = ParseFromList();
        if (AcceptWord("WHERE")) {
            clause_ = messages::kWhere;
            del->where = ParseClauseExpr();
        }
        return del;
    }

    // ---- DDL ----------------------------------------------------------------------------

    ColumnType ParseType() {
        if (Peek().kind != TokenKind::Word) Fail();
        auto type = TypeFromWord(Peek().text);
        if (!type) Fail();
        Next();
        if (type->type == JetType::Text || type->type == JetType::Binary) {
            if (AcceptSymbol("(")) {
                std::int64_t n = ExpectInteger();
                const std::int64_t max = type->type == JetType::Text ? 255 : 510;
                if (n < 1 || n > max) Fail();
                type->size = static_cast<int>(n);
                ExpectSymbol(")");
            }
        } else if (type->type == JetType::Decimal) {
            if (AcceptSymbol("(")) {
                std::int64_t p = ExpectInteger();
                std::int64_t s = 0;
                if (AcceptSymbol(",")) s = ExpectInteger();
                if (p < 1 || p > 28 || s < 0 || s > p) Fail();
                type->precision = static_cast<int>(p);
                type->scale = static_cast<int>(s);
                ExpectSymbol(")");
            }
        } else if (type->counter) {
            if (AcceptSymbol("(")) {
                type->seed = ExpectInteger();
                if (AcceptSymbol(",")) {
                    bool negative = AcceptSymbol("-");
                    type->increment = ExpectInteger() * (negative ? -1 : 1);
                    if (type->increment == 0) Fail();
                }
                ExpectSymbol(")");
            }
        }
        return *type;
    }

    ColumnDef ParseColumnDef() {
        const auto saved = clause_;
        clause_ = messages::kFieldDefinition;
        ColumnDef column;
        column.name = ExpectName();
        column.type = ParseType();
        while (true) {
            if (IsWord("NOT") && IsWord("NULL", 1)) {
                if (column.notNull) Fail();
                Next();
                Next();
                column.notNull = true;
            } else if (IsWord("WITH")) {
                Next();
                if (!AcceptWord("COMPRESSION") && !AcceptWord("COMP")) Fail();
                if (column.type.type != JetType::Text && column.type.type != JetType::Memo) Fail();
                column.type.compressed = true;
            } else if (IsWord("CONSTRAINT") || IsWord("PRIMARY") || IsWord("UNIQUE") ||
                       IsWord("REFERENCES")) {
                column.constraints.push_back(ParseColumnConstraint());
                clause_ = messages::kFieldDefinition;
            } else {
                break;
            }
        }
        clause_ = saved;
        return column;
    }

    void ParseReferences(Constraint& c) {
        ExpectWord("REFERENCES");
        c.refTable = ExpectName();
        if (IsSymbol("(")) c.refColumns = ParseNameList();
        if (IsWord("ON")) Fail();
    }

    Constraint ParseColumnConstraint() {
        clause_ = messages::kConstraint;
        Constraint c;
        if (AcceptWord("CONSTRAINT")) c.name = ExpectName();
        if (AcceptWord("PRIMARY")) {
            ExpectWord("KEY");
            c.kind = ConstraintKind::PrimaryKey;
        } else if (AcceptWord("UNIQUE")) {
            c.kind = ConstraintKind::Unique;
        } else if (IsWord("NOT") && IsWord("NULL", 1)) {
            Next();
            Next();
            c.kind = ConstraintKind::NotNull;
        } else if (IsWord("REFERENCES")) {
            c.kind = ConstraintKind::ForeignKey;
            ParseReferences(c);
        } else {
            Fail();
        }
        return c;
    }

    Constraint ParseTableConstraint() {
        const auto saved = clause_;
        clause_ = messages::kConstraint;
        Constraint c;
        if (AcceptWord("CONSTRAINT")) c.name = ExpectName();
        if (AcceptWord("PRIMARY")) {
            ExpectWord("KEY");
            c.kind = ConstraintKind::PrimaryKey;
        } else if (AcceptWord("UNIQUE")) {
            c.kind = ConstraintKind::Unique;
        } else if (IsWord("NOT") && IsWord("NULL", 1)) {
            Next();
            Next();
            c.kind = ConstraintKind::NotNull;
        } else if (AcceptWord("FOREIGN")) {
            ExpectWord("KEY");
            c.kind = ConstraintKind::ForeignKey;
            if (AcceptWord("NO")) {
                ExpectWord("INDEX");
                c.noIndex = true;
            }
        } else {
            Fail();
        }
        c.columns = ParseNameList();
        if (c.kind == ConstraintKind::ForeignKey) ParseReferences(c);
        clause_ = saved;
        return c;
    }

    bool IsTableConstraintStart() const {
        return IsWord("CONSTRAINT") || (IsWord("PRIMARY") && IsWord("KEY", 1)) ||
               (IsWord("UNIQUE") && IsSymbol("(", 1)) || (IsWord("FOREIGN") && IsWord("KEY", 1));
    }

    std::unique_ptr<CreateTable> ParseCreateTable() {
        clause_ = messages::kCreateTable;
        Next();
        auto create = std::make_unique<CreateTable>();
        create->temporary = AcceptWord("TEMPORARY");
        ExpectWord("TABLE");
        create->name = ExpectName();
        ExpectSymbol("(");
        do {
            if (IsTableConstraintStart()) create->constraints.push_back(ParseTableConstraint());
            else create->columns.push_back(ParseColumnDef());
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
        if (create->columns.empty()) Fail();
        return create;
    }

    std::unique_ptr<AlterTable> ParseAlterTable() {
        clause_ = messages::kAlterTable;
        Next();
        ExpectWord("TABLE");
        auto alter = std::make_unique<AlterTable>();
        alter->table = ExpectName();
        if (AcceptWord("ADD")) {
            if (IsTableConstraintStart() && !IsWord("COLUMN")) {
                alter->action = AlterTable::Action::AddConstraint;
                alter->constraint = ParseTableConstraint();
            } else {
                AcceptWord("COLUMN");
                alter->action = AlterTable::Action::AddColumn;
                alter->column = ParseColumnDef();
            }
        } else if (AcceptWord("ALTER")) {
            AcceptWord("COLUMN");
            alter->action = AlterTable::Action::AlterColumn;
            alter->column = ParseColumnDef();
        } else if (AcceptWord("DROP")) {
            if (AcceptWord("CONSTRAINT")) {
                alter->action = AlterTable::Action::DropConstraint;
            } else {
                AcceptWord("COLUMN");
                alter->action = AlterTable::Action::DropColumn;
            }
            alter->name = ExpectName();
        } else {
            Fail();
        }
        clause_ = messages::kAlterTable;
        return alter;
    }

    void ParseDrop(Statement& statement) {
        clause_ = messages::kDrop;
        Next();
        if (AcceptWord("TABLE")) {
            statement.dropTable = std::make_unique<DropTable>();
            statement.dropTable->name = ExpectName();
        } else if (AcceptWord("INDEX")) {
            statement.dropIndex = std::make_unique<DropIndex>();
            statement.dropIndex->name = ExpectName();
            ExpectWord("ON");
            statement.dropIndex->table = ExpectName();
        } else {
            Fail();
        }
    }

    std::unique_ptr<CreateIndex> ParseCreateIndex() {
        clause_ = messages::kCreateIndex;
        Next();
        auto index = std::make_unique<CreateIndex>();
        index->unique = AcceptWord("UNIQUE");
        ExpectWord("INDEX");
        index->name = ExpectName();
        ExpectWord("ON");
        index->table = ExpectName();
        ExpectSymbol("(");
        do {
            IndexColumn column;
            column.name = ExpectColumnName();
            if (AcceptWord("DESC")) column.descending = true;
            else AcceptWord("ASC");
            index->columns.push_back(std::move(column));
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
        if (AcceptWord("WITH")) {
            do {
                if (AcceptWord("PRIMARY")) {
                    index->primary = true;
                } else if (IsWord("DISALLOW") && IsWord("NULL", 1)) {
                    Next();
                    Next();
                    index->disallowNull = true;
                } else if (IsWord("IGNORE") && IsWord("NULL", 1)) {
                    Next();
                    Next();
                    index->ignoreNull = true;
                } else {
                    Fail();
                }
            } while (IsWord("PRIMARY") || IsWord("DISALLOW") || IsWord("IGNORE"));
        }
        return index;
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::size_t exprStart_ = 0;
    int depth_ = 0;
    messages::Message clause_ = messages::kInvalidStatement;
    const std::vector<Parameter>* parameters_ = nullptr;
};

}  // namespace

Statement Parse(std::string_view text) { return Parser(text).ParseStatement(); }

}  // namespace pavana::engine::dialect
