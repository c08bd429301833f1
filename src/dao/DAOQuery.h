// TDAOQuery: a dataset whose rows come from SQL text, which can also run the text as an
// action statement (`ExecSQL`).
//
// The text is kept as lines in `SQL`; every change of the lines rebuilds `StatementText`
// (the text with each CR and LF turned into a space), `Params` (the names written after a
// colon) and `Macros` (the names written after `MacroChar`). Before the engine sees the text,
// `ExpandSQL` replaces each macro by its value and each parameter by its bracketed name,
// declared in a PARAMETERS clause; the parameter values then reach the engine as text (or
// Null) through the query definition's parameters, and the engine converts them to the
// declared types.
//
// The query owns its line list and both parameter lists. Engine failures propagate as
// EOleException with the engine's message; `ExecSQL` closes its query definition first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dao/DAODataset.h"
#include "dao/DAOParams.h"
#include "engine/Constants.h"
#include "rtl/StringList.h"

namespace pavana {

enum class TDAOQueryOpenType : std::uint8_t { db_OpenDynaset, db_OpenSnapshot, db_OpenForwardOnly, db_OpenDynamic };

// The word declaring a parameter of `type` in a PARAMETERS clause; empty for types without one.
std::string ParamTypeWord(TFieldType type);
// `source` with the first occurrence of `pattern` (compared in upper case, as a plain
// substring) replaced by `replacement`; `source` unchanged when there is none.
std::string ReplaceFirstNoCase(const std::string& source, const std::string& pattern, const std::string& replacement);

class TDAOQuery : public TDAODataset {
public:
    explicit TDAOQuery(TComponent* owner);
    ~TDAOQuery() override;

    std::string_view ClassName() const override { return "TDAOQuery"; }

    // The lines of the statement; editing them in place runs SQLChanged once per change.
    TStringList& SQL() { return *sql_; }
    const TStringList& SQL() const { return *sql_; }
    // Closes the dataset and copies the lines when their whole text differs.
    void SetSQL(const TStringList& lines);

    const std::string& StatementText() const { return statementText_; }
    TParams& Params() { return *params_; }
    TParams& Macros() { return *macros_; }
    // Copy values of same-named entries into the own lists, which keep their entries.
    void SetParams(const TParams& params) { params_->AssignValues(params); }
    void SetMacros(const TParams& macros) { macros_->AssignValues(macros); }

    char MacroChar() const { return macroChar_; }
    // Takes effect at the next change of SQL.
    void SetMacroChar(char marker) { macroChar_ = marker; }

    TDAOQueryOpenType OpenType() const { return static_cast<TDAOQueryOpenType>(openType_); }
    void SetOpenType(TDAOQueryOpenType openType);
    const std::string& SortText() const { return sortText_; }
    void SetSortText(std::string sortText);

    // Records affected by the last successful ExecSQL; -1 before the first.
    std::int32_t RowsAffected() const { return rowsAffected_; }

    // Runs the text as an action statement with the engine options given (dbFailOnError by
    // default). Connects the database on demand; neither opens nor closes the dataset.
    void ExecSQL(std::int32_t options = engine::dbFailOnError);

    // The text the engine receives, as the last ExpandSQL built it.
    const std::string& EngineSQL() const { return engineSQL_; }
    void ExpandSQL();

    bool ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) override;

protected:
    void CreateRecordset() override;

private:
    void SQLChanged();
    // Reparses the `marker` names of `text` into a new list that replaces `list`; a failure
    // keeps the old one.
    void RebuildNames(std::unique_ptr<TParams>& list, const std::string& text, char marker);
    void TransferParams();
    // When filtered or sorted: hands the filter and the sort text to the recordset and
    // replaces it by the one reopened from it with them.
    void ReopenFilteredAndSorted(const Variant& type, const Variant& options);
    // Gives each parameter not yet bound the value of the master's field of its name.
    void FillParamsFromMaster();

    std::string sortText_;
    std::string statementText_;
    std::unique_ptr<TStringList> sql_;
    std::unique_ptr<TParams> params_;
    std::int32_t rowsAffected_ = -1;
    char macroChar_ = '%';
    std::unique_ptr<TParams> macros_;
};

}  // namespace pavana
