#include "db/DataSet.h"

#include <algorithm>
#include <cstring>

#include "classes/DefinitionReader.h"
#include "db/DataSource.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"

// The window of records. buffers_ holds BufferCount() buffers for records plus one spare at
// the end; the first recordCount_ of them hold records, in cursor order, and activeRecord_
// is the one the fields show. currentRecord_ is the buffer whose record the derived cursor
// stands on (-1: unknown), so that fetching neighbours starts from the right place.
// A fetch always lands in buffers_[recordCount_], the first unused buffer, and is then
// rotated into place.

namespace pavana {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    for (TDataSource* source : dataSources_) source->dataSet_ = nullptr;
    for (TField* field : fields_.fields_) field->dataSet_ = nullptr;
}

void TDataSet::SetActive(bool active) {
    if (IsReading()) {
        streamedActive_ = active;
        return;
    }
    if (active == Active()) return;
    if (active) {
        Fire(BeforeOpen);
        state_ = dsOpening;
        try {
            OpenCursor();
            if (!IsCursorOpen()) {
                state_ = dsInactive;
                return;
            }
            AllocateBuffers();
            bof_ = true;
            eof_ = false;
            state_ = dsBrowse;
            GetNextRecord();
            GetNextRecords();
            bof_ = true;
            eof_ = recordCount_ == 0;
        } catch (...) {
            state_ = dsBrowse;
            try {
                CloseCursor();
            } catch (const Exception&) {
                // The failure to open is the one to report.
            }
            FreeBuffers();
            state_ = dsInactive;
            throw;
        }
        DataEvent(TDataEvent::deUpdateState);
        DoAfterOpen();
    } else {
        if (state_ == dsEdit || state_ == dsInsert) Cancel();
        Fire(BeforeClose);
        state_ = dsInactive;
        try {
            CloseCursor();
        } catch (...) {
            FreeBuffers();
            DataEvent(TDataEvent::deUpdateState);
            throw;
        }
        FreeBuffers();
        DataEvent(TDataEvent::deUpdateState);
        DoAfterClose();
    }
}

void TDataSet::CreateAndBindFields() {
    if (fields_.Count() == 0) {
        for (int i = 0; i < fieldDefs_.Count(); ++i) {
            const TFieldDef& def = fieldDefs_.Items(i);
            std::unique_ptr<TField> field = CreateFieldOfType(def.DataType, def.Size);
            if (field == nullptr) continue;
            field->SetFieldName(def.Name);
            field->SetRequired(def.Required);
            field->dataSet_ = this;
            fields_.Add(*field);
            fields_.defaults_.push_back(std::move(field));
        }
        defaultFields_ = true;
    }
    BindFields(true);
}

void TDataSet::DestroyDefaultFields() {
    BindFields(false);
    if (!defaultFields_) return;
    fields_.fields_.clear();
    fields_.defaults_.clear();
    defaultFields_ = false;
}

void TDataSet::BindFields(bool binding) {
    calcFieldsSize_ = 0;
    for (TField* field : fields_.fields_) {
        if (!binding) {
            field->fieldNo_ = 0;
            continue;
        }
        if (field->Calculated()) {
            if (field->Lookup()) CheckLookupField(*field);
            if (field->IsBlob())
                throw EDatabaseError(
                    Format("Calculated field '%s' cannot hold a blob or memo", {field->DisplayName()}));
            field->fieldNo_ = 0;
            field->offset_ = calcFieldsSize_;
            calcFieldsSize_ += 1 + field->DataSize();
            continue;
        }
        const TFieldDef* def = fieldDefs_.Find(field->FieldName());
        if (def == nullptr) throw EDatabaseError(Format("Field '%s' not found", {field->DisplayName()}));
        if (def->DataType != field->DataType())
            throw EDatabaseError(
                Format("Type mismatch for field '%s', expecting: %s actual: %s",
                       {field->DisplayName(), std::to_string(field->DataType()), std::to_string(def->DataType)}));
        field->fieldNo_ = def->FieldNo;
    }
}

void TDataSet::CheckLookupField(const TField& field) const {
    if (field.LookupDataSet() == nullptr || field.KeyFields().empty() || field.LookupKeyFields().empty() ||
        field.LookupResultField().empty())
        throw EDatabaseError(Format("Lookup information for field '%s' is incomplete", {field.DisplayName()}));
    if (field.LookupDataSet() == this)
        throw EDatabaseError(Format("Field '%s' cannot look up in its own dataset", {field.DisplayName()}));
    for (const TField* key : GetFieldList(field.KeyFields()))
        if (key->Lookup())
            throw EDatabaseError(Format("Field '%s' cannot be the key of a lookup field", {key->DisplayName()}));
}

bool TDataSet::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "Active") {
        SetActive(value.AsBoolean());
        return true;
    }
    if (name == "AutoCalcFields") {
        AutoCalcFields = value.AsBoolean();
        return true;
    }
    if (name == "Filter") {
        SetFilterText(value.AsText());
        return true;
    }
    if (name == "Filtered") {
        SetFiltered(value.AsBoolean());
        return true;
    }
    return TComponent::ReadProperty(name, value, reader);
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (streamedActive_) SetActive(true);
}

// Buffers -------------------------------------------------------------------------------------

int TDataSet::BufferCount() const {
    int count = 1;
    for (const TDataSource* source : dataSources_)
        for (const TDataLink* link : source->links_) count = std::max(count, link->BufferCount());
    return count;
}

void TDataSet::AllocateBuffers() {
    bufferCount_ = BufferCount();
    buffers_.clear();
    for (int i = 0; i <= bufferCount_; ++i) buffers_.push_back(AllocRecordBuffer());
    tempBuffer_ = AllocRecordBuffer();
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
}

void TDataSet::FreeBuffers() {
    buffers_.clear();
    tempBuffer_.reset();
    bufferCount_ = 0;
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = eof_ = true;
    modified_ = false;
}

void TDataSet::UpdateBufferCount() {
    if (!Active() || BufferCount() == bufferCount_) return;
    CheckBrowseMode();
    UpdateCursorPos();
    bufferCount_ = BufferCount();
    buffers_.clear();
    for (int i = 0; i <= bufferCount_; ++i) buffers_.push_back(AllocRecordBuffer());
    recordCount_ = 0;
    activeRecord_ = 0;
    Resync(false);
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = eof_ = false;
}

void TDataSet::ActivateBuffers() {
    recordCount_ = 1;
    activeRecord_ = 0;
    currentRecord_ = 0;
    bof_ = eof_ = false;
}

void TDataSet::MoveBuffer(int from, int to) {
    auto begin = buffers_.begin();
    if (from > to) std::rotate(begin + to, begin + from, begin + from + 1);
    else if (from < to) std::rotate(begin + from, begin + from + 1, begin + to + 1);
}

void TDataSet::SetCurrentRecord(int index) {
    if (currentRecord_ == index) return;
    TRecordBuffer& buffer = *buffers_[static_cast<std::size_t>(index)];
    switch (GetBookmarkFlag(buffer)) {
        case TBookmarkFlag::bfCurrent:
        case TBookmarkFlag::bfInserted: InternalSetToRecord(buffer); break;
        case TBookmarkFlag::bfBOF: InternalFirst(); break;
        case TBookmarkFlag::bfEOF: InternalLast(); break;
    }
    currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
    if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
    if (recordCount_ > 0) SetCurrentRecord(recordCount_ - 1);
    TRecordBuffer& spare = *buffers_[static_cast<std::size_t>(recordCount_)];
    if (GetRecord(spare, TGetMode::gmNext) != TGetResult::grOK) {
        CursorPosChanged();
        return false;
    }
    GetCalcFields(spare);
    if (recordCount_ == 0) {
        ActivateBuffers();
    } else if (recordCount_ < bufferCount_) {
        ++recordCount_;
    } else {
        MoveBuffer(0, recordCount_);
        if (activeRecord_ > 0) --activeRecord_;
    }
    currentRecord_ = recordCount_ - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (recordCount_ > 0) SetCurrentRecord(0);
    TRecordBuffer& spare = *buffers_[static_cast<std::size_t>(recordCount_)];
    if (GetRecord(spare, TGetMode::gmPrior) != TGetResult::grOK) {
        CursorPosChanged();
        return false;
    }
    GetCalcFields(spare);
    if (recordCount_ == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(recordCount_, 0);
        if (recordCount_ < bufferCount_) {
            ++recordCount_;
            ++activeRecord_;
        } else if (activeRecord_ < recordCount_ - 1) {
            ++activeRecord_;
        }
    }
    currentRecord_ = 0;
    return true;
}

void TDataSet::GetNextRecords() {
    while (recordCount_ < bufferCount_ && GetNextRecord()) {
    }
}

void TDataSet::GetPriorRecords() {
    while (recordCount_ < bufferCount_ && GetPriorRecord()) {
    }
}

void TDataSet::Resync(bool exact) {
    TRecordBuffer& spare = *buffers_[static_cast<std::size_t>(bufferCount_)];
    if (exact) {
        CursorPosChanged();
        if (GetRecord(spare, TGetMode::gmCurrent) != TGetResult::grOK) throw EDatabaseError("Record not found");
    } else if (GetRecord(spare, TGetMode::gmCurrent) != TGetResult::grOK &&
               GetRecord(spare, TGetMode::gmNext) != TGetResult::grOK &&
               GetRecord(spare, TGetMode::gmPrior) != TGetResult::grOK) {
        ClearBuffers();
        bof_ = eof_ = true;
        DataEvent(TDataEvent::deDataSetChange);
        return;
    }
    GetCalcFields(spare);
    MoveBuffer(bufferCount_, 0);
    ActivateBuffers();
    GetNextRecords();
    const int before = recordCount_;
    GetPriorRecords();
    activeRecord_ = recordCount_ - before;
    bof_ = eof_ = false;
    DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::GetCalcFields(TRecordBuffer& buffer) {
    if (calcFieldsSize_ == 0) return;
    const TDataSetState saved = state_;
    state_ = dsCalcFields;
    calcBuffer_ = &buffer;
    try {
        ClearCalcFields(buffer);
        CalculateLookupFields();
        if (AutoCalcFields && OnCalcFields) OnCalcFields(*this);
    } catch (...) {
        state_ = saved;
        calcBuffer_ = nullptr;
        throw;
    }
    state_ = saved;
    calcBuffer_ = nullptr;
}

void TDataSet::CalculateLookupFields() {
    for (TField* field : fields_.fields_) {
        if (!field->Lookup()) continue;
        TDataSet* source = field->LookupDataSet();
        if (source == nullptr || !source->Active()) continue;
        std::vector<Variant> keys = FieldValues(field->KeyFields());
        if (std::any_of(keys.begin(), keys.end(), [](const Variant& key) { return key.IsAbsent(); })) continue;
        std::vector<Variant> found = source->Lookup(field->LookupKeyFields(), keys, field->LookupResultField());
        if (!found.empty()) field->SetValue(found.front());
    }
}

// Navigation ----------------------------------------------------------------------------------

void TDataSet::NotActive() { throw EDatabaseError("Cannot perform this operation on a closed dataset"); }

void TDataSet::CheckInactive() const {
    if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
}

void TDataSet::First() {
    CheckBrowseMode();
    Fire(BeforeScroll);
    ClearBuffers();
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
    bof_ = true;
    eof_ = recordCount_ == 0;
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterScroll);
}

void TDataSet::Last() {
    CheckBrowseMode();
    Fire(BeforeScroll);
    ClearBuffers();
    InternalLast();
    GetPriorRecord();
    GetPriorRecords();
    eof_ = true;
    bof_ = recordCount_ == 0;
    activeRecord_ = std::max(recordCount_ - 1, 0);
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        Fire(BeforeScroll);
        bof_ = eof_ = false;
        while (distance > 0) {
            if (activeRecord_ < recordCount_ - 1) {
                ++activeRecord_;
            } else if (GetNextRecord()) {
                activeRecord_ = recordCount_ - 1;
            } else {
                eof_ = true;
                break;
            }
            --distance;
            ++moved;
        }
        while (distance < 0) {
            if (activeRecord_ > 0) {
                --activeRecord_;
            } else if (GetPriorRecord()) {
                activeRecord_ = 0;
            } else {
                bof_ = true;
                break;
            }
            ++distance;
            --moved;
        }
        DataEvent(TDataEvent::deDataSetScroll);
        Fire(AfterScroll);
    }
    return moved;
}

int TDataSet::RecordCount() const {
    CheckActive();
    return GetRecordCount();
}

int TDataSet::RecNo() const {
    CheckActive();
    return GetRecNo();
}

void TDataSet::SetRecNo(int value) {
    CheckBrowseMode();
    SetRecNoValue(value);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    UpdateCursorPos();
    InternalRefresh();
    Resync(false);
}

// Editing -------------------------------------------------------------------------------------

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state) return;
    state_ = state;
    modified_ = false;
    DataEvent(TDataEvent::deUpdateState);
}

void TDataSet::CheckCanModifyDataSet() const {
    if (!GetCanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(TDataEvent::deCheckBrowseMode);
    if (state_ == dsEdit || state_ == dsInsert) {
        DataEvent(TDataEvent::deUpdateRecord);
        if (modified_) Post();
        else Cancel();
    }
}

void TDataSet::WithErrorHandler(const TDataSetErrorEvent& handler, const std::function<void()>& operation) {
    for (;;) {
        try {
            operation();
            return;
        } catch (const Exception& e) {
            if (!handler) throw;
            TDataAction action = TDataAction::daFail;
            handler(*this, e, action);
            if (action == TDataAction::daFail) throw;
            if (action == TDataAction::daAbort) throw EDatabaseError(e.Message());
        }
    }
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModifyDataSet();
    DoBeforeEdit();
    UpdateCursorPos();
    WithErrorHandler(OnEditError, [this] { InternalEdit(); });
    GetCalcFields(*ActiveBuffer());
    SetState(dsEdit);
    DataEvent(TDataEvent::deRecordChange);
    Fire(AfterEdit);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModifyDataSet();
    DoBeforeInsert();
    Fire(BeforeScroll);
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        Fire(OnNewRecord);
    } catch (...) {
        UpdateCursorPos();
        Cancel();
        throw;
    }
    modified_ = false;
    DataEvent(TDataEvent::deDataSetChange);
    Fire(AfterInsert);
    Fire(AfterScroll);
}

void TDataSet::Insert() {
    BeginInsertAppend();
    UpdateCursorPos();
    InternalInsert();
    if (recordCount_ == 0) {
        activeRecord_ = 0;
    } else {
        MoveBuffer(recordCount_, activeRecord_);
    }
    if (recordCount_ < bufferCount_) ++recordCount_;
    InternalInitRecord(*buffers_[static_cast<std::size_t>(activeRecord_)]);
    SetBookmarkFlag(*buffers_[static_cast<std::size_t>(activeRecord_)], TBookmarkFlag::bfInserted);
    CursorPosChanged();
    bof_ = eof_ = false;
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer& buffer = *buffers_[0];
    InternalInitRecord(buffer);
    SetBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
    recordCount_ = 1;
    activeRecord_ = 0;
    GetPriorRecords();
    CursorPosChanged();
    bof_ = false;
    eof_ = true;
    EndInsertAppend();
}

void TDataSet::CheckRequiredFields() {
    for (TField* field : fields_.fields_)
        if (field->Required() && !field->ReadOnly() && !field->Calculated() && field->IsNull())
            throw EDatabaseError(Format("Field '%s' must have a value", {field->DisplayName()}));
}

void TDataSet::Post() {
    CheckActive();
    if (state_ != dsEdit && state_ != dsInsert) throw EDatabaseError("Dataset not in edit or insert mode");
    DataEvent(TDataEvent::deUpdateRecord);
    DoBeforePost();
    CheckRequiredFields();
    UpdateCursorPos();
    WithErrorHandler(OnPostError, [this] { InternalPost(); });
    SetState(dsBrowse);
    Resync(false);
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    DataEvent(TDataEvent::deCheckBrowseMode);
    Fire(BeforeCancel);
    const bool inserting = state_ == dsInsert;
    UpdateCursorPos();
    InternalCancel();
    SetState(dsBrowse);
    if (inserting) CursorPosChanged();
    Resync(false);
    Fire(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (recordCount_ == 0) throw EDatabaseError("Cannot perform this operation on an empty dataset");
    DataEvent(TDataEvent::deCheckBrowseMode);
    DoBeforeDelete();
    CheckCanModifyDataSet();
    Fire(BeforeScroll);
    UpdateCursorPos();
    WithErrorHandler(OnDeleteError, [this] { InternalDelete(); });
    SetState(dsBrowse);
    Resync(false);
    DoAfterDelete();
    Fire(AfterScroll);
}

void TDataSet::AppendRecord(const std::vector<Variant>& values) {
    BeginInsertAppend();
    TRecordBuffer& buffer = *tempBuffer_;
    InternalInitRecord(buffer);
    buffers_.push_back(std::move(tempBuffer_));
    const int saved = activeRecord_;
    const int savedCount = recordCount_;
    activeRecord_ = static_cast<int>(buffers_.size()) - 1;
    recordCount_ = activeRecord_ + 1;
    state_ = dsInsert;
    auto restore = [&] {
        state_ = dsBrowse;
        tempBuffer_ = std::move(buffers_.back());
        buffers_.pop_back();
        activeRecord_ = saved;
        recordCount_ = savedCount;
    };
    try {
        for (std::size_t i = 0; i < values.size() && i < static_cast<std::size_t>(fields_.Count()); ++i)
            if (!values[i].IsEmpty()) fields_[static_cast<int>(i)].SetValue(values[i]);
        DoBeforePost();
        CheckRequiredFields();
        InternalAddRecord(buffer, true);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    CursorPosChanged();
    Resync(false);
    DoAfterPost();
    Fire(AfterInsert);
    Fire(AfterScroll);
}

// Bookmarks -----------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
    if (!Active() || recordCount_ == 0) return {};
    const TRecordBuffer& buffer = *buffers_[static_cast<std::size_t>(activeRecord_)];
    if (GetBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return {};
    return GetBookmarkData(buffer);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    Fire(BeforeScroll);
    InternalGotoBookmark(bookmark);
    Resync(true);
    Fire(AfterScroll);
}

bool TDataSet::BookmarkValid(const TBookmark&) { return false; }

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return 1;
    if (b.empty()) return -1;
    if (a == b) return 0;
    return a < b ? -1 : 1;
}

// Fields and notifications --------------------------------------------------------------------

TField& TDataSet::FieldByName(std::string_view name) const {
    TField* field = FindField(name);
    if (field == nullptr) throw EDatabaseError(Format("Field '%s' not found", {std::string(name)}));
    return *field;
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
    std::vector<TField*> list;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t end = names.find(';', start);
        if (end == std::string_view::npos) end = names.size();
        std::string_view name = names.substr(start, end - start);
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (!name.empty()) list.push_back(&FieldByName(name));
        start = end + 1;
    }
    return list;
}

std::vector<Variant> TDataSet::FieldValues(std::string_view names) const {
    std::vector<Variant> values;
    for (const TField* field : GetFieldList(names)) values.push_back(field->Value());
    return values;
}

void TDataSet::SetFieldValues(std::string_view names, const std::vector<Variant>& values) {
    const std::vector<TField*> fields = GetFieldList(names);
    if (fields.size() != values.size())
        throw EDatabaseError(Format("%d values given for %d fields", {values.size(), fields.size()}));
    for (std::size_t i = 0; i < fields.size(); ++i) fields[i]->SetValue(values[i]);
}

namespace {

// Key comparison of Lookup: texts as they are, anything else by its numeric value.
bool SameKeyValue(const Variant& value, const Variant& key) {
    if (value.IsAbsent() || key.IsAbsent()) return false;
    if (value.IsText() || key.IsText()) return value.IsText() && key.IsText() && value.ToString() == key.ToString();
    try {
        return value.ToDouble() == key.ToDouble();
    } catch (const EVariantError&) {
        return value == key;
    }
}

}  // namespace

std::vector<Variant> TDataSet::Lookup(std::string_view keyFields, const std::vector<Variant>& keyValues,
                                      std::string_view resultFields) {
    const std::vector<TField*> keys = GetFieldList(keyFields);
    const std::vector<TField*> results = GetFieldList(resultFields);
    std::vector<Variant> found(results.size(), Variant::Null());
    if (keys.empty() || keys.size() != keyValues.size()) return found;
    CheckBrowseMode();
    const TBookmark start = GetBookmark();
    DisableControls();
    auto restore = [&] {
        if (start.empty()) First();
        else GotoBookmark(start);
    };
    try {
        for (First(); !Eof(); Next()) {
            bool match = true;
            for (std::size_t i = 0; i < keys.size() && match; ++i) match = SameKeyValue(keys[i]->Value(), keyValues[i]);
            if (!match) continue;
            for (std::size_t i = 0; i < results.size(); ++i) found[i] = results[i]->Value();
            break;
        }
        restore();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

bool TDataSet::IsLinkedTo(const TDataSource* source) const {
    std::vector<const TDataSet*> visited;
    while (source != nullptr) {
        const TDataSet* dataSet = source->DataSet();
        if (dataSet == nullptr) return false;
        if (dataSet == this) return true;
        // A chain that meets itself without reaching this dataset ends there.
        if (std::find(visited.begin(), visited.end(), dataSet) != visited.end()) return false;
        visited.push_back(dataSet);
        source = dataSet->DataSource();
    }
    return false;
}

bool TDataSet::Locate(std::string_view, const std::vector<Variant>&, TLocateOptions) {
    throw EDatabaseError("Operation not supported");
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField&, TBlobStreamMode) {
    throw EDatabaseError("Operation not supported");
}

void TDataSet::WithCalcFieldsOf(TRecordBuffer& buffer, const std::function<void()>& read) {
    GetCalcFields(buffer);
    const TDataSetState saved = state_;
    TRecordBuffer* const savedBuffer = calcBuffer_;
    state_ = dsCalcFields;
    calcBuffer_ = &buffer;
    try {
        read();
    } catch (...) {
        state_ = saved;
        calcBuffer_ = savedBuffer;
        throw;
    }
    state_ = saved;
    calcBuffer_ = savedBuffer;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0) DataEvent(TDataEvent::deDataSetChange);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
    if (event == TDataEvent::deFieldChange) {
        if (field != nullptr && !field->Calculated()) modified_ = true;
        if (state_ != dsSetKey && field != nullptr) {
            if (!field->Calculated() && calcFieldsSize_ > 0 && AutoCalcFields) {
                TRecordBuffer* active = ActiveBuffer();
                if (active != nullptr) GetCalcFields(*active);
            }
            field->Change();
        }
    }
    if (dataSources_.empty() || (disableCount_ > 0 && event != TDataEvent::deUpdateState)) return;
    // A source may leave the dataset while it is told.
    for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) source->DataEvent(event, field);
}

void TDataSet::AddDataSource(TDataSource& source) {
    dataSources_.push_back(&source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource& source) {
    std::erase(dataSources_, &source);
    UpdateBufferCount();
}

}  // namespace pavana
