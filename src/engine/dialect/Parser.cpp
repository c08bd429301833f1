#include "engine/dialect/Parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "engine/dialect/FunctionCatalog.h"
#include "engine/dialect/JetDate.h"
#include "engine/dialect/Lexer.h"
#include "engine/dialect/Messages.h"
#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

using namespace ast;

constexpr std::size_t kKeywordCount = static_cast<std::size_t>(Keyword::Yes) + 1;
using KeywordSet = std::array<bool, kKeywordCount>;

constexpr KeywordSet MakeSet(std::initializer_list<Keyword> words) {
    KeywordSet set{};
    for (Keyword k : words) set[static_cast<std::size_t>(k)] = true;
    return set;
}

// Words that end an expression or a name list and so can never be a bare column or alias.
constexpr KeywordSet kReserved = MakeSet({
    Keyword::Select, Keyword::From,     Keyword::Where,       Keyword::Group, Keyword::Order,   Keyword::By,
    Keyword::Having, Keyword::Union,    Keyword::Inner,       Keyword::Left,  Keyword::Right,   Keyword::Outer,
    Keyword::Join,   Keyword::On,       Keyword::As,          Keyword::Into,  Keyword::Values,  Keyword::Set,
    Keyword::And,    Keyword::Or,       Keyword::Not,         Keyword::Xor,   Keyword::Eqv,     Keyword::Imp,
    Keyword::Mod,    Keyword::Like,     Keyword::Is,          Keyword::Null,  Keyword::Between, Keyword::In,
    Keyword::Exists, Keyword::Distinct, Keyword::DistinctRow, Keyword::Top,   Keyword::Asc,     Keyword::Desc,
    Keyword::True,   Keyword::False,    Keyword::Yes,         Keyword::No,    Keyword::Off,     Keyword::With,
    Keyword::Pivot,
});

bool IsReserved(const Token& t) { return kReserved[static_cast<std::size_t>(t.keyword)]; }

// Words that start a clause: the quoted text of a faulty expression stops before them.
constexpr KeywordSet kClauseWords = MakeSet({
    Keyword::From,
    Keyword::Where,
    Keyword::Group,
    Keyword::Order,
    Keyword::Having,
    Keyword::Union,
    Keyword::Inner,
    Keyword::Left,
    Keyword::Right,
    Keyword::Set,
    Keyword::Values,
    Keyword::Into,
});

// Binding strength of the binary operators, weakest first. Not (a prefix) binds between And
// and the comparisons, unary minus between * / and ^; ^ is parsed on its own (`ParsePower`)
// because its right operand takes a sign of its own.
enum Level : int {
    kNone = -1,
    kImp = 0,
    kEqv,
    kXor,
    kOr,
    kAnd,
    kNot,
    kComparison,  // = <> < > <= >=, [Not] Like, [Not] Between, [Not] In, Is [Not] Null
    kConcat,      // &
    kAdditive,    // + -
    kMod,
    kIntDiv,          // backslash
    kMultiplicative,  // * /
    kUnary,
};

// The operator words as the tree spells them, by level.
constexpr std::array<const char*, 5> kLogicalWords{"IMP", "EQV", "XOR", "OR", "AND"};

bool IsComparison(const Token& t) {
    switch (t.symbol) {
        case Symbol::Equal:
        case Symbol::NotEqual:
        case Symbol::Less:
        case Symbol::Greater:
        case Symbol::LessEqual:
        case Symbol::GreaterEqual: return t.kind == TokenKind::Symbol;
        default: return false;
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text), tokens_(Tokenize(text)) {}

    Statement ParseStatement() {
        Statement statement;
        if (IsWord(Keyword::Parameters)) ParseParameters(statement);
        if (IsWord(Keyword::Select)) {
            clause_ = messages::kSelect;
            statement.select = ParseQuery(true);
        } else if (IsWord(Keyword::Insert)) {
            statement.insert = ParseInsert();
        } else if (IsWord(Keyword::Update)) {
            statement.update = ParseUpdate();
        } else if (IsWord(Keyword::Delete)) {
            statement.del = ParseDelete();
        } else if (IsWord(Keyword::Create)) {
            if (IsWord(Keyword::Index, 1) || (IsWord(Keyword::Unique, 1) && IsWord(Keyword::Index, 2)))
                statement.createIndex = ParseCreateIndex();
            else if (IsWord(Keyword::View, 1)) statement.createView = ParseCreateView();
            else if (IsWord(Keyword::Procedure, 1) || IsWord(Keyword::Proc, 1))
                statement.procedure = ParseCreateProcedure();
            else statement.createTable = ParseCreateTable();
        } else if (IsWord(Keyword::Transform)) {
            statement.crosstab = ParseTransform(statement);
        } else if (IsWord(Keyword::Execute) || IsWord(Keyword::Exec)) {
            statement.procedure = ParseExecute();
        } else if (IsWord(Keyword::Alter)) {
            statement.alterTable = ParseAlterTable(statement.moreAdditions);
        } else if (IsWord(Keyword::Drop)) {
            ParseDrop(statement);
        } else {
            messages::Raise(messages::kInvalidStatement);
        }
        // WITH OWNERACCESS OPTION runs a query with its owner's permissions; the engine knows
        // no permissions but the file's.
        const bool query = statement.select || statement.insert || statement.update || statement.del;
        if (query && IsWord(Keyword::With) && SameAsciiText(Peek(1).text, "OWNERACCESS") &&
            SameAsciiText(Peek(2).text, "OPTION")) {
            Next();
            Next();
            Next();
        }
        if (AcceptSymbol(Symbol::Semicolon)) {
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
    // Only Word tokens carry a keyword and only Symbol tokens a symbol other than `Other`.
    bool IsWord(Keyword word, std::size_t k = 0) const { return Peek(k).keyword == word; }
    bool AcceptWord(Keyword word) {
        if (!IsWord(word)) return false;
        Next();
        return true;
    }
    void ExpectWord(Keyword word) {
        if (!AcceptWord(word)) Fail();
    }
    bool IsSymbol(Symbol symbol, std::size_t k = 0) const { return Peek(k).symbol == symbol; }
    bool AcceptSymbol(Symbol symbol) {
        if (!IsSymbol(symbol)) return false;
        Next();
        return true;
    }
    void ExpectSymbol(Symbol symbol) {
        if (!AcceptSymbol(symbol)) Fail();
    }
    [[noreturn]] void Fail() const { messages::Raise(clause_); }

    // A name: a bracketed name or a word that is not reserved.
    bool IsName(std::size_t k = 0) const {
        const Token& t = Peek(k);
        return t.kind == TokenKind::Name || (t.kind == TokenKind::Word && !IsReserved(t));
    }
    std::string ExpectName() {
        if (!IsName()) Fail();
        std::string name(Peek().text);
        Next();
        return name;
    }
    // A column name that may be written qualified (`t.c`, `[t].[c]`); the qualifier is dropped.
    std::string ExpectColumnName(std::string* table = nullptr) {
        std::string name = ExpectName();
        if (AcceptSymbol(Symbol::Dot)) {
            if (table) *table = name;
            name = ExpectName();
        }
        return name;
    }
    std::vector<std::string> ParseNameList() {
        std::vector<std::string> names;
        names.reserve(8);
        ExpectSymbol(Symbol::LeftParen);
        do names.push_back(ExpectColumnName());
        while (AcceptSymbol(Symbol::Comma));
        ExpectSymbol(Symbol::RightParen);
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
                const Token& t = Peek();
                if (!TypeFromWord(t.text) && t.keyword != Keyword::Value) Fail();
                p.typeWord = t.text;
                for (auto& c : p.typeWord)
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                Next();
                if (AcceptSymbol(Symbol::LeftParen)) {
                    ExpectInteger();
                    ExpectSymbol(Symbol::RightParen);
                }
            }
            for (const auto& other : statement.parameters)
                if (SameAsciiText(other.name, p.name)) Fail();
            statement.parameters.push_back(std::move(p));
        } while (AcceptSymbol(Symbol::Comma));
        ExpectSymbol(Symbol::Semicolon);
        parameters_ = &statement.parameters;
    }

    // ---- expressions --------------------------------------------------------------------

    // An expression that makes up a clause item: a following operand means a missing operator.
    ExprPtr ParseClauseExpr() {
        // A clause that ends before its expression begins is the clause's own error.
        if (Peek().kind == TokenKind::End || IsSymbol(Symbol::Semicolon)) Fail();
        const std::size_t saved = exprStart_;
        exprStart_ = pos_;
        ExprPtr e = ParseExpr();
        const Token& t = Peek();
        bool operand = t.kind == TokenKind::Name || t.kind == TokenKind::String || t.kind == TokenKind::Number ||
                       t.kind == TokenKind::Bytes || t.kind == TokenKind::Date ||
                       (t.kind == TokenKind::Word && !IsReserved(t)) || IsSymbol(Symbol::LeftParen);
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
            if (t.symbol == Symbol::LeftParen) {
                ++depth;
            } else if (t.symbol == Symbol::RightParen) {
                if (depth == 0) break;
                --depth;
            } else if (depth == 0 && (t.symbol == Symbol::Semicolon || t.symbol == Symbol::Comma)) {
                break;
            }
            if (depth == 0 && i > pos_ && kClauseWords[static_cast<std::size_t>(t.keyword)]) break;
            end = i + 1;
        }
        std::string_view quoted;
        if (exprStart_ < tokens_.size() && end > exprStart_)
            quoted = text_.substr(tokens_[exprStart_].begin, tokens_[end - 1].end - tokens_[exprStart_].begin);
        messages::RaiseExpression(what, quoted);
    }

    ExprPtr Make(Expr::Kind kind) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        return e;
    }
    ExprPtr MakeBinary(std::string_view op, ExprPtr a, ExprPtr b) {
        auto e = Make(Expr::Kind::Binary);
        e->op = op;
        e->args.reserve(2);
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return e;
    }

    void EnterDepth() {
        if (++depth_ > 200) ExprFail("(missing operator)");
    }

    ExprPtr ParseExpr() {
        EnterDepth();
        ExprPtr e = ParseBinary(kImp);
        --depth_;
        return e;
    }

    // The level of the binary operator at the current token, or kNone.
    int InfixLevel() const {
        const Token& t = Peek();
        if (t.kind == TokenKind::Symbol) {
            switch (t.symbol) {
                case Symbol::Equal:
                case Symbol::NotEqual:
                case Symbol::Less:
                case Symbol::Greater:
                case Symbol::LessEqual:
                case Symbol::GreaterEqual: return kComparison;
                case Symbol::Ampersand: return kConcat;
                case Symbol::Plus:
                case Symbol::Minus: return kAdditive;
                case Symbol::Backslash: return kIntDiv;
                case Symbol::Star:
                case Symbol::Slash: return kMultiplicative;
                default: return kNone;
            }
        }
        switch (t.keyword) {
            case Keyword::Imp: return kImp;
            case Keyword::Eqv: return kEqv;
            case Keyword::Xor: return kXor;
            case Keyword::Or: return kOr;
            case Keyword::And: return kAnd;
            case Keyword::Like:
            case Keyword::Between:
            case Keyword::In:
            case Keyword::Is: return kComparison;
            case Keyword::Not:
                return IsWord(Keyword::Like, 1) || IsWord(Keyword::Between, 1) || IsWord(Keyword::In, 1) ? kComparison
                                                                                                         : kNone;
            case Keyword::Mod: return kMod;
            default: return kNone;
        }
    }

    // Precedence climbing: an operand, then the binary operators of level `minLevel` or
    // stronger, each taking as its right operand what binds more strongly than itself (all
    // binary operators are left-associative). Once an operator is applied, no stronger one
    // may follow: `a Is Null & b` is not `(a Is Null) & b`; nor may one stronger than Not
    // follow a Not.
    ExprPtr ParseBinary(int minLevel) {
        ExprPtr left;
        int maxLevel = kUnary;
        if (minLevel <= kNot && AcceptWord(Keyword::Not)) {
            maxLevel = kNot;
            EnterDepth();
            left = Make(Expr::Kind::Unary);
            left->op = "NOT";
            left->args.push_back(ParseBinary(kNot));
            --depth_;
        } else {
            left = ParseUnary();
        }
        while (true) {
            const int level = InfixLevel();
            if (level < minLevel || level > maxLevel) return left;
            maxLevel = level;
            if (level == kComparison) {
                left = ParseComparison(std::move(left));
                continue;
            }
            const Token& t = Peek();
            const std::string_view op = level <= kAnd ? std::string_view(kLogicalWords[static_cast<std::size_t>(level)])
                                        : level == kMod ? std::string_view("MOD")
                                                        : t.text;
            Next();
            left = MakeBinary(op, std::move(left), ParseBinary(level + 1));
        }
    }

    // One comparison-level operator applied to `left`.
    ExprPtr ParseComparison(ExprPtr left) {
        if (IsComparison(Peek())) {
            const std::string_view op = Peek().text;
            Next();
            if ((IsWord(Keyword::Any) || IsWord(Keyword::Some) || IsWord(Keyword::All)) &&
                IsSymbol(Symbol::LeftParen, 1) && IsWord(Keyword::Select, 2)) {
                auto e = Make(Expr::Kind::Quantified);
                e->op = op;
                e->text = IsWord(Keyword::All) ? "ALL" : "ANY";
                Next();
                Next();
                e->query = ParseQuery(false);
                ExpectExprSymbol(Symbol::RightParen);
                e->args.push_back(std::move(left));
                return e;
            }
            return MakeBinary(op, std::move(left), ParseBinary(kConcat));
        }
        const bool negated = AcceptWord(Keyword::Not);
        if (AcceptWord(Keyword::Like)) {
            auto e = Make(Expr::Kind::Like);
            e->negated = negated;
            e->args.reserve(2);
            e->args.push_back(std::move(left));
            e->args.push_back(ParseBinary(kConcat));
            return e;
        }
        if (AcceptWord(Keyword::Between)) {
            auto e = Make(Expr::Kind::Between);
            e->negated = negated;
            e->args.reserve(3);
            e->args.push_back(std::move(left));
            e->args.push_back(ParseBinary(kConcat));
            if (!AcceptWord(Keyword::And)) ExprFail("(missing operator)");
            e->args.push_back(ParseBinary(kConcat));
            return e;
        }
        if (AcceptWord(Keyword::In)) {
            if (!AcceptSymbol(Symbol::LeftParen)) ExprFail("(missing operator)");
            ExprPtr e;
            if (IsWord(Keyword::Select)) {
                e = Make(Expr::Kind::InQuery);
                e->query = ParseQuery(false);
                e->args.push_back(std::move(left));
            } else {
                e = Make(Expr::Kind::InList);
                e->args.push_back(std::move(left));
                do e->args.push_back(ParseExpr());
                while (AcceptSymbol(Symbol::Comma));
            }
            ExpectExprSymbol(Symbol::RightParen);
            e->negated = negated;
            return e;
        }
        // Is [Not] Null: `InfixLevel` sends only Is here without a Not before it.
        Next();
        auto e = Make(Expr::Kind::IsNull);
        e->negated = AcceptWord(Keyword::Not);
        if (!AcceptWord(Keyword::Null)) ExprFail("(missing operator)");
        e->args.push_back(std::move(left));
        return e;
    }

    void ExpectExprSymbol(Symbol symbol) {
        if (!AcceptSymbol(symbol)) ExprFail("(missing operator)");
    }

    ExprPtr ParseUnary() {
        if (IsSymbol(Symbol::Minus) || IsSymbol(Symbol::Plus)) {
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
        while (AcceptSymbol(Symbol::Caret)) {
            ExprPtr right;
            if (IsSymbol(Symbol::Minus) || IsSymbol(Symbol::Plus)) {
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
            if (SameAsciiText((*parameters_)[i].name, name)) return static_cast<std::int64_t>(i);
        return std::nullopt;
    }

    ExprPtr MakeBoolean(std::int64_t value) {
        Next();
        auto e = Make(Expr::Kind::Boolean);
        e->integer = value;
        return e;
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
                    if (t.text.front() == '.') e->text = "0";
                    e->text += t.text;
                    if (t.text.back() == '.') e->text.push_back('0');
                    if (!t.real) e->text += ".0";
                }
                Next();
                return e;
            }
            case TokenKind::String: {
                auto e = Make(Expr::Kind::String);
                e->text = StringValue(t);
                Next();
                return e;
            }
            case TokenKind::Bytes: {
                auto e = Make(Expr::Kind::Bytes);
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
                if (t.symbol == Symbol::LeftParen) {
                    Next();
                    EnterDepth();
                    ExprPtr e;
                    if (IsWord(Keyword::Select)) {
                        e = Make(Expr::Kind::Subquery);
                        e->query = ParseQuery(false);
                    } else {
                        e = ParseExpr();
                    }
                    ExpectExprSymbol(Symbol::RightParen);
                    --depth_;
                    return e;
                }
                ExprFail("(missing operator)");
            case TokenKind::End: ExprFail("(missing operator)");
        }
        switch (t.keyword) {
            case Keyword::Null: Next(); return Make(Expr::Kind::Null);
            case Keyword::True:
            case Keyword::Yes:
            case Keyword::On: return MakeBoolean(-1);
            case Keyword::False:
            case Keyword::No:
            case Keyword::Off: return MakeBoolean(0);
            case Keyword::Exists: {
                Next();
                if (!AcceptSymbol(Symbol::LeftParen) || !IsWord(Keyword::Select)) ExprFail("(missing operator)");
                auto e = Make(Expr::Kind::Exists);
                e->query = ParseQuery(false);
                ExpectExprSymbol(Symbol::RightParen);
                return e;
            }
            default: break;
        }
        if (IsSymbol(Symbol::LeftParen, 1)) return ParseFunction();
        if (IsReserved(t)) ExprFail("(missing operator)");
        return ParseNameExpr();
    }

    ExprPtr ParseNameExpr() {
        const std::string_view first = Peek().text;
        Next();
        if (AcceptSymbol(Symbol::Dot)) {
            if (AcceptSymbol(Symbol::Star)) {
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
        const std::string_view name = Peek().text;
        const FunctionInfo* info = FindFunction(name);
        if (!info) messages::RaiseUndefinedFunction(name);
        Next();
        Next();
        EnterDepth();
        auto e = Make(Expr::Kind::Function);
        e->name = info->jetName;
        if (info->aggregate && AcceptSymbol(Symbol::Star)) {
            if (!SameAsciiText(name, "COUNT")) ExprFail("(missing operator)");
            e->star = true;
        } else if (!IsSymbol(Symbol::RightParen)) {
            do e->args.push_back(ParseExpr());
            while (AcceptSymbol(Symbol::Comma));
        }
        ExpectExprSymbol(Symbol::RightParen);
        --depth_;
        const int count = e->star ? 1 : static_cast<int>(e->args.size());
        if (count < info->minArgs || count > info->maxArgs) {
            std::string_view call =
                text_.substr(tokens_[nameToken].begin, tokens_[pos_ - 1].end - tokens_[nameToken].begin);
            throw SyntaxError(
                "Wrong number of arguments used with function in query expression '" + std::string(call) + "'.",
                messages::kQueryExpression);
        }
        return e;
    }

    // ---- SELECT -------------------------------------------------------------------------

    std::unique_ptr<Query> ParseQuery(bool allowInto) {
        EnterDepth();
        auto query = std::make_unique<Query>();
        query->cores.push_back(ParseCore(allowInto));
        while (AcceptWord(Keyword::Union)) {
            query->unionAll.push_back(AcceptWord(Keyword::All));
            if (!IsWord(Keyword::Select)) Fail();
            query->cores.push_back(ParseCore(false));
        }
        if (IsWord(Keyword::Order)) {
            const auto saved = clause_;
            clause_ = messages::kOrderBy;
            Next();
            ExpectWord(Keyword::By);
            do {
                OrderItem item;
                item.expr = ParseClauseExpr();
                if (AcceptWord(Keyword::Desc)) item.descending = true;
                else AcceptWord(Keyword::Asc);
                query->orderBy.push_back(std::move(item));
            } while (AcceptSymbol(Symbol::Comma));
            clause_ = saved;
        }
        --depth_;
        return query;
    }

    SelectCore ParseCore(bool allowInto) {
        const auto saved = clause_;
        clause_ = messages::kSelect;
        SelectCore core;
        ExpectWord(Keyword::Select);
        if (AcceptWord(Keyword::Distinct)) core.distinct = Distinct::Distinct;
        else if (AcceptWord(Keyword::DistinctRow)) core.distinct = Distinct::DistinctRow;
        else AcceptWord(Keyword::All);
        if (AcceptWord(Keyword::Top)) {
            core.top = ExpectInteger();
            core.topPercent = AcceptWord(Keyword::Percent);
        }
        do {
            SelectItem item;
            if (AcceptSymbol(Symbol::Star)) {
                item.expr = Make(Expr::Kind::Star);
            } else {
                item.expr = ParseClauseExpr();
                if (AcceptWord(Keyword::As)) item.alias = ExpectName();
            }
            core.items.push_back(std::move(item));
        } while (AcceptSymbol(Symbol::Comma));
        if (IsWord(Keyword::Into)) {
            if (!allowInto) Fail();
            Next();
            core.into = ExpectName();
            if (auto database = ParseInDatabase()) core.intoDatabase = std::move(*database);
        }
        if (AcceptWord(Keyword::From)) {
            clause_ = messages::kFrom;
            core.from = ParseFromList();
            if (auto database = ParseInDatabase())
                for (auto& ref : core.from) SetDatabase(*ref, *database);
        }
        if (AcceptWord(Keyword::Where)) {
            clause_ = messages::kWhere;
            core.where = ParseClauseExpr();
        }
        if (IsWord(Keyword::Group)) {
            clause_ = messages::kGroupBy;
            Next();
            ExpectWord(Keyword::By);
            do core.groupBy.push_back(ParseClauseExpr());
            while (AcceptSymbol(Symbol::Comma));
        }
        if (AcceptWord(Keyword::Having)) {
            clause_ = messages::kHaving;
            core.having = ParseClauseExpr();
        }
        clause_ = saved;
        return core;
    }

    std::vector<TableRefPtr> ParseFromList() {
        std::vector<TableRefPtr> from;
        do from.push_back(ParseJoinTree());
        while (AcceptSymbol(Symbol::Comma));
        return from;
    }

    bool AcceptJoin(TableRef::JoinType& type) {
        if (IsWord(Keyword::Inner) && IsWord(Keyword::Join, 1)) {
            type = TableRef::JoinType::Inner;
        } else if (IsWord(Keyword::Left) || IsWord(Keyword::Right)) {
            type = IsWord(Keyword::Left) ? TableRef::JoinType::Left : TableRef::JoinType::Right;
            if (!(IsWord(Keyword::Join, 1) || (IsWord(Keyword::Outer, 1) && IsWord(Keyword::Join, 2)))) return false;
            if (IsWord(Keyword::Outer, 1)) Next();
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
                if (IsWord(Keyword::Join) || IsWord(Keyword::Inner) || IsWord(Keyword::Full) || IsWord(Keyword::Cross))
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
            ExpectWord(Keyword::On);
            join->on = ParseClauseExpr();
            clause_ = saved;
            left = std::move(join);
        }
        --depth_;
        return left;
    }

    TableRefPtr ParseTablePrimary() {
        auto ref = std::make_unique<TableRef>();
        if (AcceptSymbol(Symbol::LeftParen)) {
            if (IsWord(Keyword::Select)) {
                ref->kind = TableRef::Kind::Derived;
                const auto saved = clause_;
                ref->query = ParseQuery(false);
                clause_ = saved;
                ExpectSymbol(Symbol::RightParen);
                ParseAlias(*ref);
                return ref;
            }
            ref = ParseJoinTree();
            ExpectSymbol(Symbol::RightParen);
            ref->parenthesised = true;
            return ref;
        }
        ref->kind = TableRef::Kind::Table;
        if (auto database = DatabasePrefix()) {
            ref->database = std::move(*database);
            ExpectSymbol(Symbol::Dot);
        }
        ref->name = ExpectName();
        ParseAlias(*ref);
        return ref;
    }

    // A bracketed `[;DATABASE=path]` (other connection keys ignored): the path, or nullopt when
    // the current token is no such name.
    std::optional<std::string> DatabasePrefix() {
        const Token& t = Peek();
        if (t.kind != TokenKind::Name || t.text.empty() || t.text.front() != ';') return std::nullopt;
        std::string_view rest = t.text.substr(1);
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            const std::string_view part = rest.substr(0, end);
            const std::size_t equals = part.find('=');
            if (equals != std::string_view::npos && SameAsciiText(part.substr(0, equals), "DATABASE")) {
                Next();
                return std::string(part.substr(equals + 1));
            }
            rest.remove_prefix(std::min(end + 1, rest.size()));
        }
        Fail();
    }

    // IN 'file' or IN '' [;DATABASE=path] after a table or a FROM list: the other database's
    // file, or nullopt when no IN follows.
    std::optional<std::string> ParseInDatabase() {
        if (!IsWord(Keyword::In) || Peek(1).kind != TokenKind::String) return std::nullopt;
        Next();
        std::string path = StringValue(Peek());
        Next();
        if (auto bracketed = DatabasePrefix()) {
            if (!path.empty()) Fail();
            path = std::move(*bracketed);
        }
        if (path.empty()) Fail();
        return path;
    }

    // Gives the tables of `ref` that name no database of their own the database `path`.
    static void SetDatabase(TableRef& ref, const std::string& path) {
        if (ref.kind == TableRef::Kind::Table && ref.database.empty()) ref.database = path;
        if (ref.left) SetDatabase(*ref.left, path);
        if (ref.right) SetDatabase(*ref.right, path);
    }

    void ParseAlias(TableRef& ref) {
        if (AcceptWord(Keyword::As)) ref.alias = ExpectName();
        else if (IsName()) ref.alias = ExpectName();
    }

    // ---- INSERT, UPDATE, DELETE ---------------------------------------------------------

    std::unique_ptr<Insert> ParseInsert() {
        clause_ = messages::kInsert;
        Next();
        ExpectWord(Keyword::Into);
        auto insert = std::make_unique<Insert>();
        if (auto database = DatabasePrefix()) {
            insert->database = std::move(*database);
            ExpectSymbol(Symbol::Dot);
        }
        insert->table = ExpectName();
        if (auto database = ParseInDatabase()) insert->database = std::move(*database);
        if (IsSymbol(Symbol::LeftParen)) insert->columns = ParseNameList();
        if (AcceptWord(Keyword::Values)) {
            insert->values.reserve(insert->columns.empty() ? 8 : insert->columns.size());
            ExpectSymbol(Symbol::LeftParen);
            do insert->values.push_back(ParseClauseExpr());
            while (AcceptSymbol(Symbol::Comma));
            ExpectSymbol(Symbol::RightParen);
        } else if (IsWord(Keyword::Select)) {
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
        // Access writes UPDATE DISTINCTROW; an update changes each record once anyway.
        AcceptWord(Keyword::DistinctRow);
        update->source = ParseJoinTree();
        // UPDATE a, b SET ... WHERE ...: the tables of a list join on every pair of records
        // and the WHERE clause picks the pairs.
        while (AcceptSymbol(Symbol::Comma)) {
            auto join = std::make_unique<TableRef>();
            join->kind = TableRef::Kind::Join;
            join->left = std::move(update->source);
            join->right = ParseJoinTree();
            join->on = Make(Expr::Kind::Boolean);
            join->on->integer = -1;
            update->source = std::move(join);
        }
        clause_ = messages::kUpdate;
        ExpectWord(Keyword::Set);
        do {
            Assignment a;
            a.column = ExpectColumnName(&a.table);
            ExpectSymbol(Symbol::Equal);
            a.value = ParseClauseExpr();
            update->sets.push_back(std::move(a));
        } while (AcceptSymbol(Symbol::Comma));
        if (AcceptWord(Keyword::Where)) {
            clause_ = messages::kWhere;
            update->where = ParseClauseExpr();
        }
        return update;
    }

    std::unique_ptr<Delete> ParseDelete() {
        clause_ = messages::kDelete;
        Next();
        auto del = std::make_unique<Delete>();
        del->distinctRow = AcceptWord(Keyword::DistinctRow);
        if (AcceptSymbol(Symbol::Star)) {
        } else if (IsName() && IsSymbol(Symbol::Dot, 1) && IsSymbol(Symbol::Star, 2)) {
            del->target = ExpectName();
            Next();
            Next();
        } else if (IsName() && !IsWord(Keyword::From)) {
            del->target = ExpectName();
        }
        ExpectWord(Keyword::From);
        clause_ = messages::kFrom;
        del->from = ParseFromList();
        if (AcceptWord(Keyword::Where)) {
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
        // NUMERIC with a precision is ANSI-92's Decimal; bare, it stays DAO's Double.
        if (SameAsciiText(Peek().text, "NUMERIC") && IsSymbol(Symbol::LeftParen, 1)) type = TypeFromWord("DECIMAL");
        Next();
        if (type->type == JetType::Text || type->type == JetType::Binary) {
            if (AcceptSymbol(Symbol::LeftParen)) {
                std::int64_t n = ExpectInteger();
                const std::int64_t max = type->type == JetType::Text ? 255 : 510;
                if (n < 1 || n > max) Fail();
                type->size = static_cast<int>(n);
                ExpectSymbol(Symbol::RightParen);
            }
        } else if (type->type == JetType::Decimal) {
            if (AcceptSymbol(Symbol::LeftParen)) {
                std::int64_t p = ExpectInteger();
                std::int64_t s = 0;
                if (AcceptSymbol(Symbol::Comma)) s = ExpectInteger();
                if (p < 1 || p > 28 || s < 0 || s > p) Fail();
                type->precision = static_cast<int>(p);
                type->scale = static_cast<int>(s);
                ExpectSymbol(Symbol::RightParen);
            }
        } else if (type->counter) {
            if (AcceptSymbol(Symbol::LeftParen)) {
                type->seed = ExpectInteger();
                if (AcceptSymbol(Symbol::Comma)) {
                    bool negative = AcceptSymbol(Symbol::Minus);
                    type->increment = ExpectInteger() * (negative ? -1 : 1);
                    if (type->increment == 0) Fail();
                }
                ExpectSymbol(Symbol::RightParen);
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
            if (IsWord(Keyword::Not) && IsWord(Keyword::Null, 1)) {
                if (column.notNull || column.explicitNull) Fail();
                Next();
                Next();
                column.notNull = true;
            } else if (IsWord(Keyword::Null)) {
                if (column.notNull || column.explicitNull) Fail();
                Next();
                column.explicitNull = true;
            } else if (IsWord(Keyword::Default)) {
                if (column.defaultValue) Fail();
                Next();
                ParseDefault(column);
            } else if (IsWord(Keyword::With)) {
                Next();
                if (!AcceptWord(Keyword::Compression) && !AcceptWord(Keyword::Comp)) Fail();
                if (column.type.type != JetType::Text && column.type.type != JetType::Memo) Fail();
                column.type.compressed = true;
            } else if (IsWord(Keyword::Constraint) || IsWord(Keyword::Primary) || IsWord(Keyword::Unique) ||
                       IsWord(Keyword::References) || IsWord(Keyword::Check)) {
                column.constraints.push_back(ParseColumnConstraint());
                clause_ = messages::kFieldDefinition;
            } else {
                break;
            }
        }
        clause_ = saved;
        return column;
    }

    // DEFAULT takes a constant: literals, operators and functions, no fields or sub-queries.
    // It is parsed above the comparisons, so that a following NOT NULL stays a constraint.
    void ParseDefault(ColumnDef& column) {
        if (IsSymbol(Symbol::Comma) || IsSymbol(Symbol::RightParen) || Peek().kind == TokenKind::End) Fail();
        const std::size_t first = pos_;
        const std::size_t saved = exprStart_;
        exprStart_ = pos_;
        column.defaultValue = ParseBinary(kConcat);
        exprStart_ = saved;
        if (!IsConstant(*column.defaultValue)) Fail();
        const Expr& e = *column.defaultValue;
        if (e.kind == Expr::Kind::Boolean) {
            column.defaultText = e.integer ? "True" : "False";
        } else if (e.kind == Expr::Kind::Date) {
            column.defaultText = DateDefaultText(e.real);
        } else {
            const std::size_t begin = tokens_[first].begin;
            column.defaultText = std::string(text_.substr(begin, tokens_[pos_ - 1].end - begin));
        }
    }

    static bool IsConstant(const Expr& e) {
        using K = Expr::Kind;
        if (e.kind == K::Column || e.kind == K::Star || e.kind == K::Parameter || e.query) return false;
        for (const auto& a : e.args)
            if (!IsConstant(*a)) return false;
        return true;
    }

    // #m/d/yyyy#, with the time when there is one; a time alone is #h:nn:ss AM#.
    static std::string DateDefaultText(double value) {
        const DateParts p = SplitDate(value);
        char buffer[64];
        std::string out = "#";
        const bool timeOnly = value >= 0 && value < 1;
        if (!timeOnly) {
            std::snprintf(buffer, sizeof buffer, "%d/%d/%d", p.month, p.day, p.year);
            out += buffer;
        }
        if (p.hour || p.minute || p.second || timeOnly) {
            const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
            std::snprintf(buffer, sizeof buffer, "%s%d:%02d:%02d %s", timeOnly ? "" : " ", hour12, p.minute, p.second,
                          p.hour < 12 ? "AM" : "PM");
            out += buffer;
        }
        return out + "#";
    }

    void ParseReferences(Constraint& c) {
        ExpectWord(Keyword::References);
        c.refTable = ExpectName();
        if (IsSymbol(Symbol::LeftParen)) c.refColumns = ParseNameList();
        bool onUpdate = false, onDelete = false;
        while (AcceptWord(Keyword::On)) {
            bool& seen = IsWord(Keyword::Update) ? onUpdate : onDelete;
            if (seen || !(AcceptWord(Keyword::Update) || AcceptWord(Keyword::Delete))) Fail();
            seen = true;
            (&seen == &onUpdate ? c.onUpdate : c.onDelete) = ParseReferentialAction();
        }
    }

    // CASCADE, SET NULL or NO ACTION (the relationship refuses the change).
    ReferentialAction ParseReferentialAction() {
        if (SameAsciiText(Peek().text, "CASCADE")) {
            Next();
            return ReferentialAction::Cascade;
        }
        if (AcceptWord(Keyword::Set)) {
            ExpectWord(Keyword::Null);
            return ReferentialAction::SetNull;
        }
        if (AcceptWord(Keyword::No) && SameAsciiText(Peek().text, "ACTION")) {
            Next();
            return ReferentialAction::Refuse;
        }
        Fail();
    }

    // CHECK (condition), with the condition's text as written.
    void ParseCheck(Constraint& c) {
        ExpectWord(Keyword::Check);
        c.kind = ConstraintKind::Check;
        ExpectSymbol(Symbol::LeftParen);
        const std::size_t first = pos_;
        c.check = ParseClauseExpr();
        const std::size_t begin = tokens_[first].begin;
        c.checkText = std::string(text_.substr(begin, tokens_[pos_ - 1].end - begin));
        ExpectSymbol(Symbol::RightParen);
    }

    Constraint ParseColumnConstraint() {
        clause_ = messages::kConstraint;
        Constraint c;
        if (AcceptWord(Keyword::Constraint)) c.name = ExpectName();
        if (AcceptWord(Keyword::Primary)) {
            ExpectWord(Keyword::Key);
            c.kind = ConstraintKind::PrimaryKey;
        } else if (AcceptWord(Keyword::Unique)) {
            c.kind = ConstraintKind::Unique;
        } else if (IsWord(Keyword::Not) && IsWord(Keyword::Null, 1)) {
            Next();
            Next();
            c.kind = ConstraintKind::NotNull;
        } else if (IsWord(Keyword::References)) {
            c.kind = ConstraintKind::ForeignKey;
            ParseReferences(c);
        } else if (IsWord(Keyword::Check)) {
            ParseCheck(c);
        } else {
            Fail();
        }
        return c;
    }

    Constraint ParseTableConstraint() {
        const auto saved = clause_;
        clause_ = messages::kConstraint;
        Constraint c;
        if (AcceptWord(Keyword::Constraint)) c.name = ExpectName();
        if (IsWord(Keyword::Check)) {
            ParseCheck(c);
            clause_ = saved;
            return c;
        }
        if (AcceptWord(Keyword::Primary)) {
            ExpectWord(Keyword::Key);
            c.kind = ConstraintKind::PrimaryKey;
        } else if (AcceptWord(Keyword::Unique)) {
            c.kind = ConstraintKind::Unique;
        } else if (IsWord(Keyword::Not) && IsWord(Keyword::Null, 1)) {
            Next();
            Next();
            c.kind = ConstraintKind::NotNull;
        } else if (AcceptWord(Keyword::Foreign)) {
            ExpectWord(Keyword::Key);
            c.kind = ConstraintKind::ForeignKey;
            if (AcceptWord(Keyword::No)) {
                ExpectWord(Keyword::Index);
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
        return IsWord(Keyword::Constraint) || (IsWord(Keyword::Primary) && IsWord(Keyword::Key, 1)) ||
               (IsWord(Keyword::Unique) && IsSymbol(Symbol::LeftParen, 1)) ||
               (IsWord(Keyword::Foreign) && IsWord(Keyword::Key, 1)) ||
               (IsWord(Keyword::Check) && IsSymbol(Symbol::LeftParen, 1));
    }

    std::unique_ptr<CreateTable> ParseCreateTable() {
        clause_ = messages::kCreateTable;
        Next();
        auto create = std::make_unique<CreateTable>();
        create->temporary = AcceptWord(Keyword::Temporary);
        ExpectWord(Keyword::Table);
        create->name = ExpectName();
        ExpectSymbol(Symbol::LeftParen);
        do {
            if (IsTableConstraintStart()) create->constraints.push_back(ParseTableConstraint());
            else create->columns.push_back(ParseColumnDef());
        } while (AcceptSymbol(Symbol::Comma));
        ExpectSymbol(Symbol::RightParen);
        if (create->columns.empty()) Fail();
        return create;
    }

    // One item of ALTER TABLE ... ADD: a column or a table constraint.
    void ParseAddition(AlterTable& alter) {
        if (IsTableConstraintStart() && !IsWord(Keyword::Column)) {
            alter.action = AlterTable::Action::AddConstraint;
            alter.constraint = ParseTableConstraint();
        } else {
            AcceptWord(Keyword::Column);
            alter.action = AlterTable::Action::AddColumn;
            alter.column = ParseColumnDef();
        }
    }

    // ALTER TABLE; ADD may list several columns and constraints, the first kept in the result
    // and the others appended to `more`.
    std::unique_ptr<AlterTable> ParseAlterTable(std::vector<AlterTable>& more) {
        clause_ = messages::kAlterTable;
        Next();
        ExpectWord(Keyword::Table);
        auto alter = std::make_unique<AlterTable>();
        alter->table = ExpectName();
        if (AcceptWord(Keyword::Add)) {
            ParseAddition(*alter);
            while (AcceptSymbol(Symbol::Comma)) {
                AlterTable& next = more.emplace_back();
                next.table = alter->table;
                ParseAddition(next);
            }
        } else if (AcceptWord(Keyword::Alter)) {
            AcceptWord(Keyword::Column);
            alter->action = AlterTable::Action::AlterColumn;
            alter->column = ParseColumnDef();
        } else if (AcceptWord(Keyword::Drop)) {
            if (AcceptWord(Keyword::Constraint)) {
                alter->action = AlterTable::Action::DropConstraint;
            } else {
                AcceptWord(Keyword::Column);
                alter->action = AlterTable::Action::DropColumn;
            }
            alter->name = ExpectName();
        } else {
            Fail();
        }
        clause_ = messages::kAlterTable;
        return alter;
    }

    // Drops the blanks and the ";" that end a statement kept as text.
    static void TrimStatementEnd(std::string& text) {
        while (!text.empty() && (text.back() == ';' || std::isspace(static_cast<unsigned char>(text.back()))))
            text.pop_back();
    }

    std::unique_ptr<CreateView> ParseCreateView() {
        clause_ = messages::kCreateView;
        Next();
        Next();
        auto view = std::make_unique<CreateView>();
        view->name = ExpectName();
        if (IsSymbol(Symbol::LeftParen)) view->columns = ParseNameList();
        ExpectWord(Keyword::As);
        if (!IsWord(Keyword::Select)) Fail();
        const std::size_t begin = Peek().begin;
        view->query = ParseQuery(false);
        view->text = std::string(text_.substr(begin, Peek().begin - begin));
        TrimStatementEnd(view->text);
        clause_ = messages::kCreateView;
        return view;
    }

    // CREATE PROC[EDURE] name [(parameter type, ...)] AS statement: the statement is kept as
    // text, its parameters written as its PARAMETERS clause, and must parse as one.
    std::unique_ptr<Procedure> ParseCreateProcedure() {
        clause_ = messages::kCreateProcedure;
        Next();
        Next();
        auto procedure = std::make_unique<Procedure>();
        procedure->name = ExpectName();
        std::string parameters;
        if (AcceptSymbol(Symbol::LeftParen)) {
            const std::size_t begin = Peek().begin;
            for (int depth = 0; depth > 0 || !IsSymbol(Symbol::RightParen); Next()) {
                if (Peek().kind == TokenKind::End) Fail();
                if (IsSymbol(Symbol::LeftParen)) ++depth;
                if (IsSymbol(Symbol::RightParen)) --depth;
            }
            parameters = "PARAMETERS " + std::string(text_.substr(begin, Peek().begin - begin)) + "; ";
            Next();
        }
        ExpectWord(Keyword::As);
        if (IsWord(Keyword::Parameters) || Peek().kind == TokenKind::End) Fail();
        procedure->text = parameters + std::string(text_.substr(Peek().begin));
        TrimStatementEnd(procedure->text);
        // A fault of the statement itself is reported as that statement's.
        const Statement body = Parse(procedure->text);
        if (body.procedure || body.createView || body.dropView) Fail();
        while (Peek().kind != TokenKind::End) Next();
        return procedure;
    }

    // TRANSFORM aggregate SELECT ... GROUP BY ... PIVOT expression [IN (values)].
    std::unique_ptr<Crosstab> ParseTransform(Statement& statement) {
        clause_ = messages::kTransform;
        Next();
        auto crosstab = std::make_unique<Crosstab>();
        crosstab->value = ParseClauseExpr();
        const Expr& value = *crosstab->value;
        const FunctionInfo* aggregate = value.kind == Expr::Kind::Function ? FindFunction(value.name) : nullptr;
        if (!aggregate || !aggregate->aggregate) Fail();
        if (!IsWord(Keyword::Select)) Fail();
        statement.select = ParseQuery(false);
        clause_ = messages::kTransform;
        const SelectCore& core = statement.select->cores.front();
        if (statement.select->cores.size() != 1 || core.groupBy.empty()) Fail();
        ExpectWord(Keyword::Pivot);
        // Above the comparisons, so that the IN of the column values stays with PIVOT.
        if (Peek().kind == TokenKind::End || IsSymbol(Symbol::Semicolon)) Fail();
        crosstab->pivot = ParseBinary(kConcat);
        // Without IN the engine finds the values in the data (CrosstabValuesSql).
        if (!AcceptWord(Keyword::In)) return crosstab;
        ExpectSymbol(Symbol::LeftParen);
        do {
            crosstab->columns.push_back(ParseClauseExpr());
            if (!IsConstant(*crosstab->columns.back())) Fail();
        } while (AcceptSymbol(Symbol::Comma));
        ExpectSymbol(Symbol::RightParen);
        return crosstab;
    }

    // EXEC[UTE] name [value, ...]: the values are constants.
    std::unique_ptr<Procedure> ParseExecute() {
        clause_ = messages::kExecute;
        Next();
        auto procedure = std::make_unique<Procedure>();
        procedure->action = Procedure::Action::Execute;
        procedure->name = ExpectName();
        if (Peek().kind != TokenKind::End && !IsSymbol(Symbol::Semicolon)) {
            do {
                procedure->values.push_back(ParseClauseExpr());
                if (!IsConstant(*procedure->values.back())) Fail();
            } while (AcceptSymbol(Symbol::Comma));
        }
        return procedure;
    }

    void ParseDrop(Statement& statement) {
        clause_ = messages::kDrop;
        Next();
        if (IsWord(Keyword::View)) {
            clause_ = messages::kDropView;
            Next();
            statement.dropView = std::make_unique<DropTable>();
            statement.dropView->name = ExpectName();
            return;
        }
        if (IsWord(Keyword::Procedure) || IsWord(Keyword::Proc)) {
            clause_ = messages::kDropProcedure;
            Next();
            statement.procedure = std::make_unique<Procedure>();
            statement.procedure->action = Procedure::Action::Drop;
            statement.procedure->name = ExpectName();
            return;
        }
        if (AcceptWord(Keyword::Table)) {
            statement.dropTable = std::make_unique<DropTable>();
            statement.dropTable->name = ExpectName();
        } else if (AcceptWord(Keyword::Index)) {
            statement.dropIndex = std::make_unique<DropIndex>();
            statement.dropIndex->name = ExpectName();
            ExpectWord(Keyword::On);
            statement.dropIndex->table = ExpectName();
        } else {
            Fail();
        }
    }

    std::unique_ptr<CreateIndex> ParseCreateIndex() {
        clause_ = messages::kCreateIndex;
        Next();
        auto index = std::make_unique<CreateIndex>();
        index->unique = AcceptWord(Keyword::Unique);
        ExpectWord(Keyword::Index);
        index->name = ExpectName();
        ExpectWord(Keyword::On);
        index->table = ExpectName();
        ExpectSymbol(Symbol::LeftParen);
        do {
            IndexColumn column;
            column.name = ExpectColumnName();
            if (AcceptWord(Keyword::Desc)) column.descending = true;
            else AcceptWord(Keyword::Asc);
            index->columns.push_back(std::move(column));
        } while (AcceptSymbol(Symbol::Comma));
        ExpectSymbol(Symbol::RightParen);
        if (AcceptWord(Keyword::With)) {
            do {
                if (AcceptWord(Keyword::Primary)) {
                    index->primary = true;
                } else if (IsWord(Keyword::Disallow) && IsWord(Keyword::Null, 1)) {
                    Next();
                    Next();
                    index->disallowNull = true;
                } else if (IsWord(Keyword::Ignore) && IsWord(Keyword::Null, 1)) {
                    Next();
                    Next();
                    index->ignoreNull = true;
                } else {
                    Fail();
                }
            } while (IsWord(Keyword::Primary) || IsWord(Keyword::Disallow) || IsWord(Keyword::Ignore));
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
