#include "dao/DAODataset.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "classes/DefinitionReader.h"
#include "dao/DAODatabase.h"
#include "engine/Constants.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {

namespace {

constexpr const char* kOpenParameterNames[] = {
    "db_DenyWrite",      "db_DenyRead",    "db_ReadOnly",    "db_AppendOnly", "db_Inconsistent", "db_Consistent",
    "db_SQLPassThrough", "db_FailOnError", "db_ForwardOnly", "db_SeeChanges", "db_RunAsync",     "db_ExecDirect",
};

// Turns the engine's automation error into EDAOError around edit, post and delete.
template <class Operation>
void TranslateEngineError(Operation&& operation) {
    try {
        operation();
    } catch (const EOleException& e) {
        throw EDAOError(e.Message(),
                        static_cast<std::int32_t>(static_cast<std::uint32_t>(e.ErrorCode()) & ~0x800A0000u));
    }
}

constexpr const char* kLockTypeNames[] = {"db_Pessimistic", "db_Optimistic", "db_OptimisticValue",
                                          "db_OptimisticBatch"};

}  // namespace

TDAOOpenParameters::TDAOOpenParameters(std::initializer_list<TDAOOpenParameter> members) {
    for (TDAOOpenParameter member : members) Include(member);
}

std::int32_t OptionBits(TDAOOpenParameters parameters) {
    std::int32_t bits = 0;
    for (int i = 0; i <= static_cast<int>(TDAOOpenParameter::db_ExecDirect); ++i)
        if (parameters.Contains(static_cast<TDAOOpenParameter>(i))) bits |= 1 << i;
    return bits;
}

std::int32_t EngineLockValue(TDAOLockType lockType) {
    switch (lockType) {
        case TDAOLockType::db_Pessimistic: return 2;
        case TDAOLockType::db_Optimistic: return 3;
        case TDAOLockType::db_OptimisticValue: return 1;
        case TDAOLockType::db_OptimisticBatch: return 5;
    }
    return 2;
}

std::int32_t EngineOpenType(std::uint8_t openType) {
    static constexpr std::int32_t kTypes[] = {2, 4, 8, 16, 1};
    return openType < 5 ? kTypes[openType] : 2;
}

TDAODataset::TDAODataset(TComponent* owner) : TDataSet(owner) {}

TDAODataset::~TDAODataset() {
    try {
        Close();
    } catch (const std::exception&) {
        // Releasing the recordset cannot be reported from a destructor.
    }
    SetDatabase(nullptr);
}

void TDAODataset::SetDatabase(TDAODatabase* database) {
    if (database == database_) return;
    if (!IsDestroying()) CheckInactive();
    if (database_ != nullptr) RemoveFreeNotification(database_);
    database_ = database;
    if (database_ != nullptr) FreeNotification(database_);
}

void TDAODataset::SetLockType(TDAOLockType lockType) {
    CheckInactive();
    lockType_ = lockType;
}

void TDAODataset::SetParameters(TDAOOpenParameters parameters) {
    CheckInactive();
    parameters_ = parameters;
}

void TDAODataset::RequireDatabase() const {
    if (database_ == nullptr) throw EDAODatabaseError("Cannot perform this operation without Database property");
}

void TDAODataset::CreateRecordset() { assert(recordset_ == nullptr); }

// Opening and closing -------------------------------------------------------------------------

void TDAODataset::OpenCursor() {
    if (recordset_ == nullptr) {
        RequireDatabase();
        if (!database_->Connected()) database_->Connect();
        if (database_->EngineDatabase() == nullptr) return;
        CreateRecordset();
        // A forward-only recordset refuses to step back (3251): it stays on its first record
        // and the first fetch takes that record instead of moving on.
        firstPending_ = false;
        if (!recordset_->IsBOF()) {
            if (recordset_->Type() == engine::dbOpenForwardOnly) firstPending_ = true;
            else recordset_->MovePrevious();
        }
        database_->AddOpenDataset(*this);
    }
    TDataSet::OpenCursor();
}

void TDAODataset::CloseCursor() {
    TDataSet::CloseCursor();
    if (recordset_ != nullptr) recordset_->Close();
    recordset_.reset();
    engineFields_.clear();
    if (queryDef_ != nullptr) queryDef_->Close();
    queryDef_.reset();
    canModify_ = false;
    if (database_ != nullptr) database_->RemoveOpenDataset(*this);
}

void TDAODataset::InternalOpen() {
    dataAreaSize_ = 0;
    DescribeFields();
    if (dataAreaSize_ >= 65536)
        throw EDAODatabaseError(
            Format("The fields of this recordset need %d bytes per record; at most 65535 fit", {dataAreaSize_}));
    canModify_ = recordset_->Updatable();
    CreateAndBindFields();
    // The information block is read in place, so it starts on its own alignment.
    constexpr std::int32_t kAlign = alignof(RecordInfo);
    recordInfoOffset_ = (dataAreaSize_ + CalcFieldsSize() + kAlign - 1) / kAlign * kAlign;
    recordBufferSize_ = recordInfoOffset_ + sizeof(RecordInfo);
}

void TDAODataset::InternalClose() { DestroyDefaultFields(); }

void TDAODataset::DescribeFields() {
    FieldDefs().Clear();
    fieldDescs_.Clear();
    engineFields_.clear();
    std::shared_ptr<engine::Fields> fields = recordset_->GetFields();
    const std::int32_t count = fields->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        std::shared_ptr<engine::Field> field = fields->Item(i);
        const std::int32_t daoType = field->Type();
        const TFieldType type = DAOTypeToFieldType(daoType);
        const std::int32_t attributes = field->Attributes();
        std::string defaultText = useDefaultValues_ ? field->DefaultValue().ToString() : std::string();
        std::int32_t size = 0;
        bool allowZeroLength = false;
        if (type == ftString) {
            size = field->Size();
            if ((size & 0xFFFF) == 0) size = 255;
            if (database_->AllowZeroLength())
                allowZeroLength = field->GetProperties()->Item("AllowZeroLength")->Value().ToBoolean();
        } else if (type == ftBytes || type == ftVarBytes) {
            size = field->Size();
        }
        const auto size16 = static_cast<std::uint16_t>(size);
        const auto dataSize = static_cast<std::int32_t>(SlotDataSize(type, size16));
        TDAOFieldDesc& desc = fieldDescs_.Add(daoType, size16, static_cast<std::int32_t>(dataAreaSize_), attributes,
                                              std::move(defaultText), dataSize);
        desc.AllowZeroLength = allowZeroLength;
        dataAreaSize_ += kSlotHeaderSize + static_cast<std::size_t>(dataSize);
        FieldDefs().Add(field->Name(), type, size16, false);
        engineFields_.push_back(std::move(field));
    }
}

// Record buffers ------------------------------------------------------------------------------

std::unique_ptr<TRecordBuffer> TDAODataset::AllocRecordBuffer() {
    auto buffer = std::make_unique<TRecordBuffer>();
    buffer->Bytes.assign(recordBufferSize_, 0);
    buffer->Objects.resize(static_cast<std::size_t>(fieldDescs_.Count()));
    return buffer;
}

void TDAODataset::ClearBlobSlots(TRecordBuffer& buffer) {
    for (Variant& object : buffer.Objects)
        if (!object.IsEmpty()) object = Variant();
}

void TDAODataset::ClearBuffer(TRecordBuffer& buffer) {
    ClearBlobSlots(buffer);
    std::fill(buffer.Bytes.begin(), buffer.Bytes.end(), 0);
}

RecordInfo& TDAODataset::Info(TRecordBuffer& buffer) const {
    return *reinterpret_cast<RecordInfo*>(buffer.Bytes.data() + recordInfoOffset_);
}

const RecordInfo& TDAODataset::Info(const TRecordBuffer& buffer) const {
    return *reinterpret_cast<const RecordInfo*>(buffer.Bytes.data() + recordInfoOffset_);
}

SlotData TDAODataset::Slot(TRecordBuffer& buffer, int index) {
    const TDAOFieldDesc& desc = fieldDescs_.Items(index);
    return {buffer.Bytes.data() + desc.Offset + kSlotHeaderSize, static_cast<std::size_t>(desc.DataSize),
            &buffer.Objects[static_cast<std::size_t>(index)]};
}

std::int32_t TDAODataset::BufferBookmark(const TRecordBuffer& buffer) const {
    std::int32_t bookmark;
    std::memcpy(&bookmark, Info(buffer).Bookmark, 4);
    return bookmark;
}

void TDAODataset::SetBufferBookmark(TRecordBuffer& buffer, std::int32_t bookmark) {
    std::memcpy(Info(buffer).Bookmark, &bookmark, 4);
}

std::int32_t TDAODataset::CurrentBookmark() const { return recordset_->BookmarkKey(); }

void TDAODataset::GoToBookmark(std::int32_t bookmark) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &bookmark, 4);
    recordset_->SetBookmark(Variant(std::move(bytes)));
}

TGetResult TDAODataset::FetchRecord(TRecordBuffer& buffer, TGetMode mode) {
    switch (mode) {
        case TGetMode::gmCurrent:
            if (recordset_->IsBOF() || recordset_->IsEOF()) return TGetResult::grError;
            break;
        case TGetMode::gmNext:
            if (firstPending_) {
                firstPending_ = false;
                if (recordset_->IsEOF()) return TGetResult::grEOF;
                break;
            }
            if (recordset_->IsEOF()) return TGetResult::grError;
            recordset_->MoveNext();
            return FillFetched(buffer, recordset_->PositionKey(), TGetResult::grEOF);
        case TGetMode::gmPrior:
            if (recordset_->IsBOF()) return TGetResult::grError;
            recordset_->MovePrevious();
            if (recordset_->IsBOF()) return TGetResult::grBOF;
            break;
    }
    return FillFetched(buffer, CurrentBookmark(), TGetResult::grOK);
}

TGetResult TDAODataset::FillFetched(TRecordBuffer& buffer, std::int32_t bookmark, TGetResult atEnd) {
    if (bookmark == 0) return atEnd;
    ClearBuffer(buffer);
    RecordInfo& info = Info(buffer);
    info.RecordNumber = -1;
    info.BookmarkFlag = static_cast<std::uint8_t>(TBookmarkFlag::bfCurrent);
    SetBufferBookmark(buffer, bookmark);
    return TGetResult::grOK;
}

void TDAODataset::InternalInitRecord(TRecordBuffer& buffer) {
    ClearBuffer(buffer);
    ClearCalcFields(buffer);
    RecordInfo& info = Info(buffer);
    info.RecordNumber = -1;
    info.BookmarkFlag = static_cast<std::uint8_t>(TBookmarkFlag::bfInserted);
    for (int i = 0; i < fieldDescs_.Count(); ++i)
        if (!fieldDescs_.Items(i).DefaultValue.empty()) ApplyDefaultValue(buffer, i, fieldDescs_.Items(i).DefaultValue);
}

void TDAODataset::ApplyDefaultValue(TRecordBuffer& buffer, int index, const std::string& text) {
    std::uint8_t* header = buffer.Bytes.data() + fieldDescs_.Items(index).Offset;
    header[shFetched] = header[shModified] = header[shPresent] = 1;
    DefaultTextToSlot(text, fieldDescs_.Items(index).DAOType, Slot(buffer, index));
}

void TDAODataset::ClearCalcFields(TRecordBuffer& buffer) {
    std::fill(buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(dataAreaSize_),
              buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(recordInfoOffset_), 0);
}

TBookmarkFlag TDAODataset::GetBookmarkFlag(const TRecordBuffer& buffer) const {
    return static_cast<TBookmarkFlag>(Info(buffer).BookmarkFlag);
}

void TDAODataset::SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) {
    Info(buffer).BookmarkFlag = static_cast<std::uint8_t>(flag);
}

TBookmark TDAODataset::GetBookmarkData(const TRecordBuffer& buffer) const {
    const std::uint8_t* bookmark = Info(buffer).Bookmark;
    return TBookmark(bookmark, bookmark + 4);
}

// Positioning ---------------------------------------------------------------------------------

void TDAODataset::InternalFirst() {
    if (recordset_->IsBOF()) return;
    recordset_->MoveFirst();
    recordset_->MovePrevious();
}

void TDAODataset::InternalLast() {
    if (recordset_->IsEOF()) return;
    recordset_->MoveLast(0);
    recordset_->MoveNext();
}

void TDAODataset::InternalSetToRecord(TRecordBuffer& buffer) {
    // A new record has no bookmark yet; there is nowhere to go.
    const std::int32_t bookmark = BufferBookmark(buffer);
    if (bookmark != 0) GoToBookmark(bookmark);
}

void TDAODataset::InternalGotoBookmark(const TBookmark& bookmark) {
    std::int32_t value = 0;
    std::memcpy(&value, bookmark.data(), std::min<std::size_t>(bookmark.size(), 4));
    GoToBookmark(value);
}

bool TDAODataset::BookmarkValid(const TBookmark&) {
    if (recordset_ == nullptr) return false;
    CursorPosChanged();
    return true;
}

int TDAODataset::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return 1;
    if (b.empty()) return -1;
    std::int32_t left = 0, right = 0;
    std::memcpy(&left, a.data(), std::min<std::size_t>(a.size(), 4));
    std::memcpy(&right, b.data(), std::min<std::size_t>(b.size(), 4));
    return left == right ? 0 : left > right ? 1 : -1;
}

int TDAODataset::GetRecordCount() const { return recordset_ == nullptr ? -1 : recordset_->RecordCount(); }

int TDAODataset::GetRecNo() const {
    const TRecordBuffer* buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    return buffer == nullptr ? -1 : Info(*buffer).RecordNumber;
}

// Field values --------------------------------------------------------------------------------

void TDAODataset::FetchFieldValue(TRecordBuffer& buffer, int index, TFieldType type) {
    // A buffer without a record (bookmark 0) has nothing to fetch.
    const std::int32_t target = BufferBookmark(buffer);
    if (target == 0) return;
    // Mostly the engine cursor stands on the buffer's record already: one call reads it.
    if (std::optional<Variant> atPosition = recordset_->ValueAtPosition(target, index)) {
        StoreEngineValue(buffer, index, type, *atPosition);
        return;
    }
    // Bookmarks are never 0: a 0 position is the cursor before the first or after the last.
    const std::int32_t saved = recordset_->PositionKey();
    const bool wasBOF = saved == 0 && recordset_->IsBOF();
    const bool wasEOF = saved == 0 && !wasBOF;
    GoToBookmark(target);
    auto putBack = [&] {
        if (wasBOF) InternalFirst();
        else if (wasEOF) InternalLast();
        else GoToBookmark(saved);
    };
    try {
        Variant value = engineFields_[static_cast<std::size_t>(index)]->Value();
        StoreEngineValue(buffer, index, type, value);
    } catch (...) {
        // The read failed (a deleted record, a lost connection): the cursor still goes back
        // where the window expects it, as far as it can.
        try {
            putBack();
        } catch (const Exception&) {
            CursorPosChanged();
        }
        throw;
    }
    putBack();
}

void TDAODataset::StoreEngineValue(TRecordBuffer& buffer, int index, TFieldType type, Variant& value) {
    if (OnFetchField) OnFetchField(index);
    const TDAOFieldDesc& desc = fieldDescs_.Items(index);
    std::uint8_t* header = buffer.Bytes.data() + desc.Offset;
    header[shFetched] = 1;
    header[shPresent] = value.IsNull() ? 0 : 1;
    header[shModified] = 0;
    if (value.IsNull()) return;
    Variant& object = buffer.Objects[static_cast<std::size_t>(index)];
    // A blob or memo value becomes the slot's own without another copy.
    if (type == ftBlob || type == ftMemo) object = std::move(value);
    else EngineValueToSlot(value, {header + kSlotHeaderSize, static_cast<std::size_t>(desc.DataSize), &object}, type);
}

TRecordBuffer* TDAODataset::StateBuffer() const { return State() == dsFilter ? filterBuffer_ : ActiveBuffer(); }

bool TDAODataset::GetFieldData(TField& field, void* destination) {
    TRecordBuffer* buffer = StateBuffer();
    if (buffer == nullptr) return false;
    if (field.FieldNo() < 1) {
        const TDataSetState state = State();
        if (state != dsBrowse && state != dsEdit && state != dsInsert && state != dsCalcFields) return false;
        const std::uint8_t* place = buffer->Bytes.data() + dataAreaSize_ + field.Offset();
        if (place[0] == 0) return false;
        if (destination != nullptr) std::memcpy(destination, place + 1, field.DataSize());
        return true;
    }
    const int index = field.FieldNo() - 1;
    if (index >= fieldDescs_.Count()) return false;
    const TDAOFieldDesc& desc = fieldDescs_.Items(index);
    const std::uint8_t* header = buffer->Bytes.data() + desc.Offset;
    if (header[shFetched] == 0 && header[shModified] == 0 &&
        Info(*buffer).BookmarkFlag != static_cast<std::uint8_t>(TBookmarkFlag::bfInserted))
        FetchFieldValue(*buffer, index, field.DataType());
    if (header[shPresent] == 0) return false;
    if (destination != nullptr) {
        const std::uint8_t* data = header + kSlotHeaderSize;
        const std::size_t room = std::min<std::size_t>(static_cast<std::size_t>(desc.DataSize), field.DataSize());
        if (field.IsBlob()) *static_cast<Variant*>(destination) = buffer->Objects[static_cast<std::size_t>(index)];
        else if (field.DataType() == ftString)
            // A text goes up to its terminator; the rest of its slot holds nothing.
            std::memcpy(destination, data, std::min(::strnlen(reinterpret_cast<const char*>(data), room) + 1, room));
        else std::memcpy(destination, data, room);
    }
    return true;
}

void TDAODataset::SetFieldData(TField& field, const void* source) { WriteField(field, source, nullptr); }

bool TDAODataset::TakeBlobValue(TField& field, Variant& destination) {
    TRecordBuffer* buffer = StateBuffer();
    const int index = field.FieldNo() - 1;
    if (buffer == nullptr || index < 0 || index >= fieldDescs_.Count()) return GetFieldData(field, &destination);
    std::uint8_t* header = buffer->Bytes.data() + fieldDescs_.Items(index).Offset;
    if (header[shFetched] != 0 || header[shModified] != 0 ||
        Info(*buffer).BookmarkFlag == static_cast<std::uint8_t>(TBookmarkFlag::bfInserted))
        return GetFieldData(field, &destination);
    FetchFieldValue(*buffer, index, field.DataType());
    const bool present = header[shPresent] != 0;
    if (present) destination = std::move(buffer->Objects[static_cast<std::size_t>(index)]);
    buffer->Objects[static_cast<std::size_t>(index)] = Variant::Null();
    header[shFetched] = 0;
    header[shPresent] = 0;
    return present;
}

void TDAODataset::StoreBlobValue(TField& field, Variant value) {
    if (value.IsAbsent()) WriteField(field, nullptr, nullptr);
    else WriteField(field, &value, &value);
}

void TDAODataset::WriteField(TField& field, const void* source, Variant* movable) {
    const TDataSetState state = State();
    if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields && state != dsFilter &&
        state != dsNewValue && state != dsInternalCalc)
        throw EDAODatabaseError("Dataset not in edit or insert mode");
    TRecordBuffer* buffer = StateBuffer();
    if (buffer == nullptr) return;
    if (field.FieldNo() < 1) {
        std::uint8_t* place = buffer->Bytes.data() + dataAreaSize_ + field.Offset();
        place[0] = source != nullptr ? 1 : 0;
        if (source != nullptr) std::memcpy(place + 1, source, field.DataSize());
    } else {
        const int index = field.FieldNo() - 1;
        if (index >= fieldDescs_.Count()) return;
        const TDAOFieldDesc& desc = fieldDescs_.Items(index);
        std::uint8_t* header = buffer->Bytes.data() + desc.Offset;
        if (source == nullptr) {
            header[shPresent] = 0;
            header[shModified] = 1;
        } else {
            field.Validate(source);
            header[shPresent] = 1;
            header[shModified] = 1;
            if (field.IsBlob() && movable != nullptr)
                buffer->Objects[static_cast<std::size_t>(index)] = std::move(*movable);
            else if (field.IsBlob())
                buffer->Objects[static_cast<std::size_t>(index)] = *static_cast<const Variant*>(source);
            else
                std::memcpy(header + kSlotHeaderSize, source,
                            std::min<std::size_t>(static_cast<std::size_t>(desc.DataSize), field.DataSize()));
        }
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue) DataEvent(TDataEvent::deFieldChange, &field);
}

void TDAODataset::WriteModifiedFields(TRecordBuffer& buffer, std::vector<int>& moved) {
    for (int i = 0; i < Fields().Count(); ++i) {
        TField& field = Fields()[i];
        const int n = field.FieldNo();
        if (n < 1 || n > fieldDescs_.Count()) continue;
        const TDAOFieldDesc& desc = fieldDescs_.Items(n - 1);
        const std::uint8_t* header = buffer.Bytes.data() + desc.Offset;
        if (header[shModified] == 0) continue;
        const SlotData slot = Slot(buffer, n - 1);
        // A blob moves from its slot into the engine: the record is re-read after the post,
        // so the slot needs it again only when the post fails.
        if (header[shPresent] != 0 && field.DataType() == ftBlob && slot.Object->IsByteArray()) {
            moved.push_back(n - 1);
            engineFields_[static_cast<std::size_t>(n - 1)]->MoveValue(std::move(*slot.Object));
            continue;
        }
        Variant value = Variant::Null();
        if (header[shPresent] != 0) {
            value = SlotToEngineValue(slot, field.DataType(), desc.Size);
            if (value.IsEmpty()) value = Variant::Null();
            if (field.DataType() == ftString && !desc.AllowZeroLength && value.IsText() && value.ToString().empty())
                value = Variant::Null();
        }
        engineFields_[static_cast<std::size_t>(n - 1)]->SetValue(value);
    }
}

void TDAODataset::UpdateRecord(TRecordBuffer& buffer) {
    std::vector<int> moved;
    try {
        WriteModifiedFields(buffer, moved);
        recordset_->Update(engine::dbUpdateRegular, false);
    } catch (...) {
        // The engine keeps a failed update's values while the edit is pending; anything that
        // fails while taking them back must not hide the post's own failure.
        try {
            if (recordset_->EditMode() != engine::dbEditNone)
                for (int index : moved)
                    buffer.Objects[static_cast<std::size_t>(index)] =
                        engineFields_[static_cast<std::size_t>(index)]->Value();
        } catch (const std::exception&) {
        }
        throw;
    }
    for (int index : moved) {
        std::uint8_t* header = buffer.Bytes.data() + fieldDescs_.Items(index).Offset;
        header[shFetched] = 0;
        header[shModified] = 0;
        header[shPresent] = 0;
        buffer.Objects[static_cast<std::size_t>(index)] = Variant::Null();
    }
}

// Changing records ----------------------------------------------------------------------------

void TDAODataset::InternalEdit() {
    TranslateEngineError([this] {
        recordset_->Edit();
        TRecordBuffer& buffer = *ActiveBuffer();
        const std::int32_t bookmark = BufferBookmark(buffer);
        ClearBuffer(buffer);
        Info(buffer).RecordNumber = -1;
        SetBufferBookmark(buffer, bookmark);
    });
}

void TDAODataset::InternalPost() {
    TranslateEngineError([this] {
        if (State() == dsEdit) recordset_->Edit();
        else recordset_->AddNew();
        UpdateRecord(*ActiveBuffer());
        recordset_->SetBookmark(recordset_->LastModified());
    });
}

void TDAODataset::InternalAddRecord(TRecordBuffer& buffer, bool) {
    recordset_->AddNew();
    UpdateRecord(buffer);
    recordset_->SetBookmark(recordset_->LastModified());
}

void TDAODataset::InternalDelete() {
    TranslateEngineError([this] {
        recordset_->Delete();
        recordset_->MoveNext();
        ClearBuffer(*ActiveBuffer());
    });
}

void TDAODataset::InternalCancel() {
    if (recordset_->EditMode() != engine::dbEditNone) recordset_->CancelUpdate(engine::dbUpdateRegular);
}

void TDAODataset::InternalRefresh() {
    ReleaseRecordset();
    CreateRecordsetAgain();
}

void TDAODataset::ReleaseRecordset() {
    recordset_->Close();
    recordset_.reset();
}

void TDAODataset::CreateRecordsetAgain() {
    CreateRecordset();
    firstPending_ = false;
    std::shared_ptr<engine::Fields> fields = recordset_->GetFields();
    for (std::size_t i = 0; i < engineFields_.size(); ++i)
        engineFields_[i] = fields->Item(static_cast<std::int32_t>(i));
}

void TDAODataset::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation == TOperation::opRemove && component == database_) database_ = nullptr;
}

bool TDAODataset::ReadProperty(std::string_view name, const StoredValue& value, DefinitionReader& reader) {
    if (name == "Database") {
        reader.ResolveReference(value.AsIdentifier(), [this](TComponent* component) {
            auto* database = dynamic_cast<TDAODatabase*>(component);
            if (component != nullptr && database == nullptr) throw EReadError("Invalid property value");
            SetDatabase(database);
        });
    } else if (name == "DataSource") {
        reader.ResolveReference(value.AsIdentifier(), [this](TComponent* component) {
            auto* source = dynamic_cast<TDataSource*>(component);
            if (component != nullptr && source == nullptr) throw EReadError("Invalid property value");
            SetDataSource(source);
        });
    } else if (name == "LockType") {
        const std::string& text = value.AsIdentifier();
        bool found = false;
        for (int i = 0; i < 4 && !found; ++i)
            if (AnsiSameText(text, kLockTypeNames[i])) {
                SetLockType(static_cast<TDAOLockType>(i));
                found = true;
            }
        if (!found) throw EReadError("Invalid property value");
    } else if (name == "Parameters") {
        TDAOOpenParameters parameters;
        for (const std::string& member : value.AsSet()) {
            bool found = false;
            for (int i = 0; i < 12 && !found; ++i)
                if (AnsiSameText(member, kOpenParameterNames[i])) {
                    parameters.Include(static_cast<TDAOOpenParameter>(i));
                    found = true;
                }
            if (!found) throw EReadError("Invalid property value");
        }
        SetParameters(parameters);
    } else if (name == "UseDefaultValues") {
        SetUseDefaultValues(value.AsBoolean());
    } else {
        return TDataSet::ReadProperty(name, value, reader);
    }
    return true;
}

}  // namespace pavana
