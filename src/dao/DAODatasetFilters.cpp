// TDAODataset: filters, searches, blob streams and the master link.

#include "classes/ApplicationException.h"
#include "dao/DAOBlobStream.h"
#include "dao/DAODatabase.h"
#include "dao/DAODataset.h"
#include "dao/DAOLocate.h"

namespace pavana {
namespace {

constexpr std::uint8_t kTableOpenType = 4;

}  // namespace

// Filtering -----------------------------------------------------------------------------------

void TDAODataset::SetFiltered(bool filtered) {
    if (filtered && !Filter().empty() && openType_ == kTableOpenType)
        throw EDAODatabaseError("Filter only valid if OpenType <> db_OpenTable");
    if (filtered == Filtered()) return;
    if (!Active()) {
        TDataSet::SetFiltered(filtered);
        return;
    }
    CheckBrowseMode();
    RebuildRecordset([&] { TDataSet::SetFiltered(filtered); });
    First();
}

void TDAODataset::SetFilterText(std::string text) {
    if (!text.empty() && Filtered() && openType_ == kTableOpenType)
        throw EDAODatabaseError("Filter only valid if OpenType <> db_OpenTable");
    if (text == Filter()) return;
    if (!Active()) {
        TDataSet::SetFilterText(text);
        return;
    }
    CheckBrowseMode();
    RebuildRecordset([&] { TDataSet::SetFilterText(text); });
    if (Filtered()) First();
}

void TDAODataset::RebuildRecordset(const std::function<void()>& between) {
    ReleaseRecordset();
    between();
    try {
        CreateRecordsetAgain();
    } catch (...) {
        // An open dataset without a recordset could not fetch, read or close cleanly.
        Close();
        throw;
    }
    CursorPosChanged();
}

// With a filter handler, a fetch goes on in its direction until the handler accepts a record
// or there is none left; the handler is asked after every attempt, the last one included.
TGetResult TDAODataset::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
    if (!Filtered() || !OnFilterRecord) return FetchRecord(buffer, mode);
    filterBuffer_ = &buffer;
    const TDataSetState saved = State();
    SetTempState(dsFilter);
    // Set once: the handler decides each record by setting it either way.
    bool accept = true;
    TGetResult result = TGetResult::grError;
    try {
        do {
            result = FetchRecord(buffer, mode);
            OnFilterRecord(*this, accept);
            if (result == TGetResult::grOK && mode == TGetMode::gmCurrent && !accept) mode = TGetMode::gmNext;
        } while (result == TGetResult::grOK && !accept);
    } catch (const std::exception& e) {
        HandleApplicationException(e);
        result = TGetResult::grError;
    }
    SetTempState(saved);
    filterBuffer_ = nullptr;
    return result;
}

// Searching -----------------------------------------------------------------------------------

bool TDAODataset::FindRecord(std::string_view keyFields, const std::vector<Variant>& keyValues, bool partialKey) {
    CheckBrowseMode();
    CursorPosChanged();
    TRecordBuffer& buffer = TempBuffer();
    const std::vector<TField*> fields = GetFieldList(keyFields);
    std::string criteria;
    if (!BuildLocateCriteria(fields, keyValues, partialKey, criteria)) return false;
    recordset_->FindFirst(criteria);
    if (recordset_->NoMatch()) return false;
    FetchRecord(buffer, TGetMode::gmCurrent);
    GetCalcFields(buffer);
    return true;
}

bool TDAODataset::Locate(std::string_view keyFields, const std::vector<Variant>& keyValues, TLocateOptions options) {
    FireBeforeScroll();
    const bool found = FindRecord(keyFields, keyValues, options.PartialKey);
    if (found) {
        Resync(true);
        FireAfterScroll();
    }
    return found;
}

std::vector<Variant> TDAODataset::Lookup(std::string_view keyFields, const std::vector<Variant>& keyValues,
                                         std::string_view resultFields) {
    std::vector<Variant> values(GetFieldList(resultFields).size(), Variant::Null());
    if (!FindRecord(keyFields, keyValues, false)) return values;
    // The result fields are read from the found record lazily, through the temporary buffer.
    WithCalcFieldsOf(TempBuffer(), [&] { values = FieldValues(resultFields); });
    return values;
}

// Blob streams and the master link ------------------------------------------------------------

std::unique_ptr<TStream> TDAODataset::CreateBlobStream(TField& field, TBlobStreamMode mode) {
    return std::make_unique<TDAOBlobStream>(field, mode);
}

void TDAODataset::SetDataSource(TDataSource* source) {
    if (source != nullptr && IsLinkedTo(source)) throw EDAODatabaseError("Circular datalinks are not allowed");
    dataLink_.SetDataSource(source);
}

}  // namespace pavana
