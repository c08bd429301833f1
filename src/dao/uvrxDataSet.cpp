#include "dao/uvrxDataSet.h"

#include <algorithm>
#include <cstring>

namespace pavana {

namespace {

constexpr const char* kLogIndex = "idxBMK";

}  // namespace

TvrxDataSet::TvrxDataSet(TComponent* owner) : TDAOQuery(owner), changeLog_(std::make_unique<TMemoryTable>(nullptr)) {}

TvrxDataSet::~TvrxDataSet() = default;

std::string TvrxDataSet::ValueFields() const {
    const TFieldDefs& defs = changeLog_->FieldDefs();
    std::string names;
    if (defs.Count() < 3) return names;
    for (int i = 0; i < defs.Count() - 2; ++i) {
        if (i > 0) names += ';';
        names += defs.Items(i).Name;
    }
    return names;
}

void TvrxDataSet::PrepareChangeLog() {
    if (changeLog_->Active()) return;
    TFieldDefs& defs = changeLog_->FieldDefs();
    defs.Clear();
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef& def = FieldDefs().Items(i);
        defs.Add(def.Name, def.DataType, def.Size, def.Required);
    }
    defs.Add("STATUS", ftSmallint, 0, true);
    defs.Add("BMK", ftInteger, 0, true);
    changeLog_->CreateTable();
    ResetChangeLog();
    // The fields are looked up once: they stay the same while the dataset is open.
    valueFields_.clear();
    logValueFields_.clear();
    const TFieldDefs& logDefs = changeLog_->FieldDefs();
    for (int i = 0; i < logDefs.Count() - 2; ++i) {
        valueFields_.push_back(FindField(logDefs.Items(i).Name));
        logValueFields_.push_back(changeLog_->FindField(logDefs.Items(i).Name));
    }
}

void TvrxDataSet::ResetChangeLog() {
    if (!changeLog_->Active()) return;
    changeLog_->EmptyTable();
    changeLog_->Close();
    changeLog_->SetIndexName({});
    changeLog_->Open();
    changeLog_->AddIndex(kLogIndex, "BMK", {TIndexOption::ixPrimary, TIndexOption::ixUnique});
    changeLog_->SetIndexName(kLogIndex);
    bmkField_ = &changeLog_->FieldByName("BMK");
    statusField_ = &changeLog_->FieldByName("STATUS");
}

bool TvrxDataSet::FindLogEntry(std::int32_t bookmark) { return changeLog_->FindKey({Variant(bookmark)}); }

// Value field i of the log takes saved value i; with one value field that is the single
// value saved.
void TvrxDataSet::WriteSavedValues() {
    for (std::size_t i = 0; i < logValueFields_.size() && i < savedValues_.size(); ++i)
        if (logValueFields_[i] != nullptr) logValueFields_[i]->SetValue(savedValues_[i]);
}

void TvrxDataSet::SaveCurrentValues() {
    savedValues_.clear();
    for (const TField* field : valueFields_) savedValues_.push_back(field != nullptr ? field->Value() : Variant());
}

std::int32_t TvrxDataSet::CurrentBookmarkNumber() const {
    const TBookmark bookmark = GetBookmark();
    std::int32_t number = 0;
    std::memcpy(&number, bookmark.data(), std::min<std::size_t>(bookmark.size(), sizeof number));
    return number;
}

// Ends the log work of one change. When writing the log fails, the hooks cancel the
// half-written entry instead, so that the next lookup in the log does not post it.
void TvrxDataSet::PostLogEntry() {
    if (changeLog_->State() == dsEdit || changeLog_->State() == dsInsert) changeLog_->Post();
    savedValues_.clear();
}

void TvrxDataSet::DoAfterClose() {
    TDAOQuery::DoAfterClose();
    ResetChangeLog();
    changeLog_->Close();
    changeLog_->FieldDefs().Clear();
    changeLog_->SetIndexName({});
    bmkField_ = nullptr;
    statusField_ = nullptr;
    valueFields_.clear();
    logValueFields_.clear();
}

void TvrxDataSet::DoAfterOpen() {
    TDAOQuery::DoAfterOpen();
    PrepareChangeLog();
}

void TvrxDataSet::DoBeforeEdit() {
    TDAOQuery::DoBeforeEdit();
    if (!trackChanges_) return;
    PrepareChangeLog();
    SaveCurrentValues();
}

void TvrxDataSet::DoBeforeInsert() { TDAOQuery::DoBeforeInsert(); }

void TvrxDataSet::DoBeforePost() {
    TDAOQuery::DoBeforePost();
    postState_ = State();
}

void TvrxDataSet::DoBeforeDelete() {
    TDAOQuery::DoBeforeDelete();
    if (!trackChanges_) return;
    PrepareChangeLog();
    SaveCurrentValues();
    deletedBookmark_ = CurrentBookmarkNumber();
}

void TvrxDataSet::DoAfterPost() {
    TDAOQuery::DoAfterPost();
    if (!trackChanges_) return;
    try {
        // Tracking may have been switched on after the dataset opened.
        PrepareChangeLog();
        const std::int32_t bookmark = CurrentBookmarkNumber();
        const bool found = postState_ != dsInsert && FindLogEntry(bookmark);
        if (!found) {
            changeLog_->Append();
            bmkField_->SetValue(Variant(bookmark));
            statusField_->SetValue(Variant(static_cast<std::int16_t>(postState_)));
            if (postState_ == dsInsert) SaveCurrentValues();
            WriteSavedValues();
        } else if (statusField_->AsInteger() == dsInsert) {
            changeLog_->Edit();
            SaveCurrentValues();
            WriteSavedValues();
        }
        PostLogEntry();
    } catch (...) {
        changeLog_->Cancel();
        savedValues_.clear();
        throw;
    }
}

void TvrxDataSet::DoAfterDelete() {
    TDAOQuery::DoAfterDelete();
    if (!trackChanges_) return;
    try {
        PrepareChangeLog();
        if (FindLogEntry(deletedBookmark_)) {
            if (statusField_->AsInteger() == dsInsert) {
                changeLog_->Delete();
            } else {
                changeLog_->Edit();
                statusField_->SetValue(Variant(std::int16_t{4}));
            }
        } else {
            changeLog_->Append();
            bmkField_->SetValue(Variant(deletedBookmark_));
            statusField_->SetValue(Variant(std::int16_t{4}));
            WriteSavedValues();
        }
        PostLogEntry();
    } catch (...) {
        changeLog_->Cancel();
        savedValues_.clear();
        throw;
    }
}

}  // namespace pavana
