// What the analyses of a query's result columns share: finding, in the query's tree before
// any row is fetched, the expressions behind each result column (through a `*` over a
// derived table, the columns of derived tables and every part of a union) and combining
// what an analysis finds of them.
//
// SQLite gives an expression column no declared type, and the first row alone cannot tell
// what kind of values it holds; an analysis built on this class tells it from the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/dialect/SchemaView.h"

namespace pavana::engine::dialect {

// What an analysis finds of an expression: it gives only values of the kind looked for (or
// Null), it gives nothing but Null, or it is not known to give only that kind.
enum class Verdict { No, NullOnly, Yes };

// The verdict of a value that comes from either of two expressions (the branches of an IIf,
// the parts of a union): No when either is No, else Yes when either is Yes, else NullOnly.
Verdict Either(Verdict a, Verdict b);

// Whether expressions of `kind` give only True, False or Null (literal truth values and the
// predicates: Like, Is Null, Between, In, Exists, quantified comparisons).
bool GivesTruthValue(ast::Expr::Kind kind);
// Whether binary operator `op` always gives a whole number: integer division, Mod, the
// comparisons and the logical operators (bitwise on whole numbers).
bool GivesWholeNumber(const std::string& op);

// The base of one analysis. A subclass judges an expression and a declared type; this class
// finds the expressions and the declared types behind the columns. The parameters and the
// schema are borrowed and must outlive the analysis.
class ResultColumnAnalysis {
public:
    // A name a column reference may be qualified with: a table of the FROM clause (under its
    // alias when it has one) or a derived table.
    struct Source {
        std::string name;
        std::string table;
        const ast::Query* derived = nullptr;
    };
    using Scope = std::vector<Source>;

    ResultColumnAnalysis(const std::vector<ast::Parameter>& parameters, SchemaView& schema)
        : parameters_(parameters), schema_(schema) {}
    virtual ~ResultColumnAnalysis() = default;
    ResultColumnAnalysis(const ResultColumnAnalysis&) = delete;
    ResultColumnAnalysis& operator=(const ResultColumnAnalysis&) = delete;

    // One verdict per result column of `query` (`count` of them, as SQLite reports for the
    // query), Either of its verdicts in every part of a union. A column the tree does not
    // tell about (the expansion of a `*` over a table) is No.
    std::vector<Verdict> OfQuery(const ast::Query& query, std::size_t count);
    // One flag per result column of `statement` (`count` of them): true where OfQuery says
    // Yes, and for a crosstab's value columns where its value expression is judged Yes. All
    // false for a statement that is no query.
    std::vector<bool> ColumnsJudgedYes(const ast::Statement& statement, std::size_t count);

    // The verdict of expression `e`, whose column references name the sources of `scope`.
    // Each expression is judged once (its sources are those of its own place in the tree),
    // so analyses that ask each other about the same operands stay linear in the tree.
    Verdict Of(const ast::Expr& e, const Scope& scope);

    // The sources a table reference brings into scope, added to `scope`.
    static void AddSources(const ast::TableRef& ref, Scope& scope);
    // The sources of a core's FROM clause.
    static Scope ScopeOf(const ast::SelectCore& core);

    // Walks a FROM tree for a pass that marks it: `inQuery(query, outer)` for each derived
    // table, with the sources around the query it is part of, and `inCondition(on, scope)` for
    // each join's condition, which sees the sources of the whole join and those around it.
    template <class InQuery, class InCondition>
    static void WalkFrom(ast::TableRef& t, const Scope& outer, InQuery&& inQuery, InCondition&& inCondition) {
        using Kind = ast::TableRef::Kind;
        if (t.kind == Kind::Derived) return inQuery(*t.query, outer);
        if (t.kind != Kind::Join) return;
        WalkFrom(*t.left, outer, inQuery, inCondition);
        WalkFrom(*t.right, outer, inQuery, inCondition);
        Scope scope;
        AddSources(t, scope);
        scope.insert(scope.end(), outer.begin(), outer.end());
        if (t.on) inCondition(*t.on, scope);
    }

protected:
    // Judges expression `e`, asking Of about its operands.
    virtual Verdict OfExpression(const ast::Expr& e, const Scope& scope) = 0;
    // The verdict of a table column or a parameter declared with field type `type`.
    virtual Verdict OfType(std::int32_t type) = 0;

    // A column reference: the column of the first source, among those the reference may
    // name, that has it; No when none has.
    Verdict OfColumn(const ast::Expr& e, const Scope& scope);
    // A parameter reference: the type it is declared with in the PARAMETERS clause.
    Verdict OfParameter(const ast::Expr& e);
    // Whether ColumnsJudgedYes judges a crosstab's value columns by its value expression;
    // when not, they are No.
    virtual bool JudgesCrosstabValues() const { return true; }

private:
    std::vector<Verdict> OfCore(const ast::SelectCore& core, std::size_t count);
    void OfCrosstabValues(const ast::Query& query, const ast::Crosstab& crosstab, std::vector<Verdict>& verdicts);
    std::optional<Verdict> OfDerivedColumn(const ast::Query& derived, const std::string& name);

    const std::vector<ast::Parameter>& parameters_;
    SchemaView& schema_;
    std::unordered_map<const ast::Expr*, Verdict> judged_;
};

}  // namespace pavana::engine::dialect
