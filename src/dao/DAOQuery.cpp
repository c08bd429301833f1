#include "dao/DAOQuery.h"

#include "classes/DefinitionReader.h"
#include "classes/Filer.h"
#include "dao/DAODatabase.h"
#include "rtl/Strings.h"

namespace pavana {

std::string ParamTypeWord(TFieldType type) {
    switch (type) {
        case ftString: return "TEXT";
        case ftSmallint:
        case ftWord: return "SHORT";
        case ftInteger: return "LONG";
        case ftBoolean: return "YESNO";
        case ftFloat: return "FLOAT";
        case ftCurrency: return "CURRENCY";
        case ftDate:
        case ftTime:
        case ftDateTime: return "DATETIME";
        default: return {};
    }
}

std::string ReplaceFirstNoCase(const std::string& source, const std::string& pattern, const std::string& replacement) {
    std::size_t at = UpperCase(source).find(UpperCase(pattern));
    if (at == std::string::npos) return source;
    return source.substr(0, at) + replacement + source.substr(at + pattern.size());
}

TDAOQuery::TDAOQuery(TComponent* owner)
    : TDAODataset(owner),
      sql_(std::make_unique<TStringList>()),
      params_(std::make_unique<TParams>()),
      macros_(std::make_unique<TParams>()) {
    sql_->OnChange = [this] { SQLChanged(); };
}

TDAOQuery::~TDAOQuery() {
    try {
        Close();
    } catch (const std::exception&) {
        // Releasing the recordset cannot be reported from a destructor.
    }
    sql_->OnChange = nullptr;
}

void TDAOQuery::SetSQL(const TStringList& lines) {
    if (lines.Text() == sql_->Text()) return;
    Close();
    sql_->BeginUpdate();
    sql_->Assign(lines);
    sql_->EndUpdate();
}

void TDAOQuery::SetOpenType(TDAOQueryOpenType openType) {
    CheckInactive();
    openType_ = static_cast<std::uint8_t>(openType);
}

void TDAOQuery::SetSortText(std::string sortText) {
    CheckInactive();
    sortText_ = std::move(sortText);
}

void TDAOQuery::SQLChanged() {
    const std::string lines = sql_->Text();
    std::string text = lines;
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    statementText_ = std::move(text);
    if (IsLoading()) return;
    RebuildNames(params_, lines, ':');
    RebuildNames(macros_, lines, macroChar_);
    DataEvent(TDataEvent::dePropertyChange);
}

void TDAOQuery::RebuildNames(std::unique_ptr<TParams>& list, const std::string& text, char marker) {
    // A text without the marker names nothing.
    if (text.find(marker) == std::string::npos) {
        if (list->Count() > 0) list = std::make_unique<TParams>();
        return;
    }
    try {
        auto rebuilt = std::make_unique<TParams>();
        ParseSQLNames(rebuilt.get(), text, marker);
        rebuilt->AssignValues(*list);
        list = std::move(rebuilt);
    } catch (const Exception&) {
        // The previous names stand: a text that cannot be parsed keeps the last good lists.
    }
}

void TDAOQuery::ExpandSQL() {
    std::string text = statementText_;
    const std::string macroMarker(1, macroChar_);
    for (int i = 0; i < macros_->Count(); ++i) {
        TParam& macro = macros_->Items(i);
        text = ReplaceFirstNoCase(text, macroMarker + macro.Name(), macro.AsString());
    }
    if (params_->Count() == 0) {
        engineSQL_ = std::move(text);
        return;
    }
    std::string header = "PARAMETERS ";
    for (int i = 0; i < params_->Count(); ++i) {
        TParam& param = params_->Items(i);
        const std::string bracketed = "[" + param.Name() + "]";
        text = ReplaceFirstNoCase(text, ":" + param.Name(), bracketed);
        header += bracketed + " " + ParamTypeWord(param.DataType()) + ",";
    }
    header.pop_back();
    engineSQL_ = header + "; " + text;
}

void TDAOQuery::TransferParams() {
    if (queryDef_ == nullptr) return;
    std::shared_ptr<engine::Parameters> engineParameters = queryDef_->GetParameters();
    for (int i = 0; i < params_->Count(); ++i) {
        TParam& param = params_->Items(i);
        Variant value = param.IsNull() ? Variant::Null() : Variant(param.Value().ToString());
        engineParameters->Item(static_cast<std::int32_t>(i))->SetValue(value);
    }
}

void TDAOQuery::FillParamsFromMaster() {
    TDataSet* master = DataSource()->DataSet();
    if (master == nullptr) return;
    for (int i = 0; i < params_->Count(); ++i) {
        TParam& param = params_->Items(i);
        if (param.Bound()) continue;
        param.AssignField(&master->FieldByName(param.Name()));
        param.SetBound(false);
    }
}

void TDAOQuery::CreateRecordset() {
    TDAODataset::CreateRecordset();
    ExpandSQL();
    queryDef_ = Database()->EngineDatabase()->CreateQueryDef({}, engineSQL_);
    if (DataSource() != nullptr) FillParamsFromMaster();
    TransferParams();
    Variant lock = Parameters().Contains(TDAOOpenParameter::db_ReadOnly) ? Variant::Missing()
                                                                         : Variant(EngineLockValue(LockType()));
    const Variant type(EngineOpenType(openType_));
    const Variant options(OptionBits(Parameters()));
    recordset_ = queryDef_->OpenRecordset(type, options, lock);
    queryDef_.reset();
    ReopenFilteredAndSorted(type, options);
}

void TDAOQuery::ReopenFilteredAndSorted(const Variant& type, const Variant& options) {
    // The engine applies a filter or a sort only to the recordsets opened from a recordset
    // after they were set; the new one replaces the first, which is released.
    const bool filtered = Filtered() && !Filter().empty();
    if (!filtered && sortText_.empty()) return;
    if (filtered) recordset_->SetFilter(Filter());
    if (!sortText_.empty()) recordset_->SetSort(sortText_);
    std::shared_ptr<engine::Recordset> reopened = recordset_->OpenRecordset(type, options);
    recordset_->Close();
    recordset_ = std::move(reopened);
}

void TDAOQuery::ExecSQL(std::int32_t options) {
    RequireDatabase();
    if (queryDef_ != nullptr) return;
    if (!Database()->Connected()) Database()->SetConnected(true);
    try {
        ExpandSQL();
        queryDef_ = Database()->EngineDatabase()->CreateQueryDef({}, engineSQL_);
        if (DataSource() != nullptr) FillParamsFromMaster();
        TransferParams();
        queryDef_->Execute(Variant(options));
        rowsAffected_ = queryDef_->RecordsAffected();
    } catch (...) {
        if (queryDef_ != nullptr) queryDef_->Close();
        queryDef_.reset();
        throw;
    }
    queryDef_->Close();
    queryDef_.reset();
}

bool TDAOQuery::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "SQL.Strings") {
        TStringList lines;
        for (const std::string& line : value.AsList()) lines.Add(line);
        SetSQL(lines);
    } else if (name == "Params.Data") {
        return ReadDefinedProperty(*params_, "Data", value);
    } else if (name == "Macros.Data") {
        return ReadDefinedProperty(*macros_, "Data", value);
    } else if (name == "SortText") {
        SetSortText(value.AsText());
    } else if (name == "MacroChar") {
        const std::string& text = value.AsText();
        if (text.size() != 1) throw EReadError("Invalid property value");
        SetMacroChar(text[0]);
    } else if (name == "OpenType") {
        static constexpr const char* kNames[] = {"db_OpenDynaset", "db_OpenSnapshot", "db_OpenForwardOnly",
                                                 "db_OpenDynamic"};
        const std::string& text = value.AsIdentifier();
        int found = -1;
        for (int i = 0; i < 4; ++i)
            if (AnsiSameText(text, kNames[i])) found = i;
        if (found < 0) throw EReadError("Invalid property value");
        SetOpenType(static_cast<TDAOQueryOpenType>(found));
    } else {
        return TDAODataset::ReadProperty(name, value, reader);
    }
    return true;
}

}  // namespace pavana
