#include "db/MemoryTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

// Rows are kept as the bytes of a record buffer's data area, so that fetching a row is one
// copy and posting one copy back. Data area: per column a presence byte (1 when the column
// has a value) followed by the column's native data; blobs and memos keep their value in
// the buffer's variant slots instead. A record buffer is
//   [0, rowSize_)                   the data area
//   [rowSize_, infoOffset_)         the calculated fields: a flag byte, then the value
//   [infoOffset_, + 8)              the row identity (0 for a record not yet stored)
//   [infoOffset_ + 8]               the bookmark flag
//
// Every order (the order of adding, and one per index) is a set of (key, row identity), so
// each lookup, insertion and removal is logarithmic and the cursor is an iterator into the
// current order.

namespace pavana {

struct TMemoryTable::Store {
    struct Row {
        std::vector<std::uint8_t> bytes;
        std::vector<Variant> objects;
    };
    std::vector<TFieldDef> columns;
    std::unordered_map<std::int64_t, Row> rows;
    Order added;  // empty keys: ordered by identity, which grows with each row added
    std::int64_t nextId = 1;
};

namespace {

constexpr std::size_t kInfoSize = 9;

std::vector<std::string> SplitNames(std::string_view names) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t end = names.find(';', start);
        if (end == std::string_view::npos) end = names.size();
        std::string name = Trim(names.substr(start, end - start));
        if (!name.empty()) result.push_back(std::move(name));
        start = end + 1;
    }
    return result;
}

bool Names(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return AnsiSameText(n, name); });
}

template <typename T>
T Load(const std::uint8_t* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

[[noreturn]] void KeyViolation() { throw EDatabaseError("Key violation"); }

}  // namespace

bool TMemoryTable::OrderLess::operator()(const OrderEntry& a, const OrderEntry& b) const {
    const std::size_t common = std::min(a.key.size(), b.key.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a.key[i] == b.key[i]) continue;
        const bool less = a.key[i] < b.key[i];
        return i < descending.size() && descending[i] ? !less : less;
    }
    // A shorter key is a search prefix: it comes before every key it begins.
    if (a.key.size() != b.key.size()) return a.key.size() < b.key.size();
    return a.id < b.id;
}

TMemoryTable::TMemoryTable(TComponent* owner) : TDataSet(owner) {}

TMemoryTable::~TMemoryTable() {
    if (Active()) {
        try {
            Close();
        } catch (const Exception&) {
            // A handler's failure cannot leave a destructor.
        }
    }
}

// Structure ------------------------------------------------------------------------------------

void TMemoryTable::CreateTable() {
    CheckInactive();
    MakeStore();
    Open();
}

void TMemoryTable::MakeStore() {
    auto store = std::make_unique<Store>();
    for (int i = 0; i < FieldDefs().Count(); ++i) store->columns.push_back(FieldDefs().Items(i));
    store_ = std::move(store);
}

void TMemoryTable::EmptyTable() {
    if (store_ == nullptr) return;
    if (Active()) Cancel();
    store_->rows.clear();
    store_->added.clear();
    for (Index& index : indexes_) index.order.clear();
    at_ = CursorAt::Bof;
    if (Active()) First();
}

void TMemoryTable::InternalOpen() {
    if (store_ == nullptr) MakeStore();
    FieldDefs().Clear();
    for (const TFieldDef& def : store_->columns) FieldDefs().Add(def.Name, def.DataType, def.Size, def.Required);
    BuildLayout();
    CreateAndBindFields();
    infoOffset_ = rowSize_ + CalcFieldsSize();
    at_ = CursorAt::Bof;
    open_ = true;
}

void TMemoryTable::InternalClose() {
    DestroyDefaultFields();
    open_ = false;
    indexes_.clear();
    indexName_.clear();
    currentIndex_ = nullptr;
    at_ = CursorAt::Bof;
}

void TMemoryTable::BuildLayout() {
    fieldOffsets_.clear();
    blobSlots_.clear();
    rowSize_ = 0;
    int slots = 0;
    for (const TFieldDef& def : store_->columns) {
        fieldOffsets_.push_back(rowSize_);
        const bool blob = def.DataType == ftBlob || def.DataType == ftMemo;
        blobSlots_.push_back(blob ? slots++ : -1);
        rowSize_ += 1 + (blob ? 0 : NativeDataSize(def.DataType, def.Size));
    }
}

// Indexes --------------------------------------------------------------------------------------

void TMemoryTable::AddIndex(std::string name, std::string_view fields, TIndexOptions options,
                            std::string_view descendingFields, std::string_view caseInsensitiveFields) {
    if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
    for (const Index& index : indexes_)
        if (AnsiSameText(index.name, name)) throw EDatabaseError(Format("Duplicate index name '%s'", {name}));
    const std::vector<std::string> descending = SplitNames(descendingFields);
    const std::vector<std::string> caseInsensitive = SplitNames(caseInsensitiveFields);
    Index index;
    index.name = std::move(name);
    index.unique = options.Contains(TIndexOption::ixUnique) || options.Contains(TIndexOption::ixPrimary);
    std::vector<bool> descendingColumns;
    for (const std::string& fieldName : SplitNames(fields)) {
        auto found = std::find_if(store_->columns.begin(), store_->columns.end(),
                                  [&](const TFieldDef& def) { return AnsiSameText(def.Name, fieldName); });
        if (found == store_->columns.end()) throw EDatabaseError(Format("Field '%s' not found", {fieldName}));
        if (found->DataType == ftBlob || found->DataType == ftMemo ||
            CreateFieldOfType(found->DataType, found->Size) == nullptr)
            throw EDatabaseError(Format("Cannot index field '%s'", {found->Name}));
        index.columns.push_back(static_cast<int>(found - store_->columns.begin()));
        index.fields.push_back(FindField(found->Name));
        index.caseInsensitive.push_back(options.Contains(TIndexOption::ixCaseInsensitive) ||
                                        Names(caseInsensitive, fieldName));
        descendingColumns.push_back(options.Contains(TIndexOption::ixDescending) || Names(descending, fieldName));
    }
    if (index.columns.empty()) throw EDatabaseError("No index fields given");
    index.order = Order(OrderLess{descendingColumns});
    for (const auto& [id, row] : store_->rows) {
        OrderEntry entry{KeyOf(row.bytes, &index), id};
        if (index.unique) {
            auto next = index.order.lower_bound(OrderEntry{entry.key, std::numeric_limits<std::int64_t>::min()});
            if (next != index.order.end() && next->key == entry.key) KeyViolation();
        }
        index.order.insert(std::move(entry));
    }
    indexes_.push_back(std::move(index));
}

void TMemoryTable::SetIndexName(std::string name) {
    const Index* chosen = nullptr;
    if (!name.empty()) {
        auto found = std::find_if(indexes_.begin(), indexes_.end(),
                                  [&](const Index& index) { return AnsiSameText(index.name, name); });
        if (found == indexes_.end()) throw EDatabaseError(Format("Index '%s' not found", {name}));
        chosen = &*found;
    }
    if (!Active()) {
        indexName_ = std::move(name);
        currentIndex_ = chosen;
        return;
    }
    CheckBrowseMode();
    const TBookmark bookmark = GetBookmark();
    indexName_ = std::move(name);
    currentIndex_ = chosen;
    at_ = CursorAt::Bof;
    if (!bookmark.empty()) GotoBookmark(bookmark);
    else First();
}

std::vector<std::string> TMemoryTable::IndexNames() const {
    std::vector<std::string> names;
    for (const Index& index : indexes_) names.push_back(index.name);
    return names;
}

const TMemoryTable::Index* TMemoryTable::CurrentIndex() const { return currentIndex_; }

const TMemoryTable::Order& TMemoryTable::CurrentOrder() const {
    return currentIndex_ != nullptr ? currentIndex_->order : store_->added;
}

TMemoryTable::Key TMemoryTable::KeyOf(const std::vector<std::uint8_t>& row, const Index* index) const {
    Key key;
    if (index == nullptr) return key;
    for (std::size_t i = 0; i < index->columns.size(); ++i) {
        const auto column = static_cast<std::size_t>(index->columns[i]);
        const TFieldDef& def = store_->columns[column];
        const std::uint8_t* place = row.data() + fieldOffsets_[column];
        if (place[0] == 0) {
            key.emplace_back(std::monostate{});
            continue;
        }
        const std::uint8_t* data = place + 1;
        switch (def.DataType) {
            case ftString: {
                std::string text(reinterpret_cast<const char*>(data),
                                 strnlen(reinterpret_cast<const char*>(data), NativeDataSize(ftString, def.Size)));
                key.emplace_back(index->caseInsensitive[i] ? AnsiUpperCase(text) : std::move(text));
                break;
            }
            case ftSmallint:
            case ftBoolean: key.emplace_back(std::int64_t{Load<std::int16_t>(data)}); break;
            case ftWord: key.emplace_back(std::int64_t{Load<std::uint16_t>(data)}); break;
            case ftInteger:
            case ftAutoInc:
            case ftDate:
            case ftTime: key.emplace_back(std::int64_t{Load<std::int32_t>(data)}); break;
            case ftLargeint: key.emplace_back(Load<std::int64_t>(data)); break;
            case ftBytes:
                key.emplace_back(std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(def.Size)));
                break;
            case ftVarBytes: {
                const auto length =
                    std::min<std::size_t>(Load<std::uint16_t>(data), static_cast<std::size_t>(def.Size));
                key.emplace_back(std::string(reinterpret_cast<const char*>(data + 2), length));
                break;
            }
            default: key.emplace_back(Load<double>(data)); break;
        }
    }
    return key;
}

bool TMemoryTable::FindKey(const std::vector<Variant>& keyValues) {
    CheckBrowseMode();
    const Index* index = CurrentIndex();
    if (index == nullptr) throw EDatabaseError("No index currently active");
    if (keyValues.size() > index->columns.size()) throw EDatabaseError("Too many key values");
    // The values go through the key columns' field objects, so that each is converted (and
    // refused) exactly as a posted value would be.
    std::unique_ptr<TRecordBuffer> keyRecord = AllocRecordBuffer();
    const TDataSetState saved = State();
    keyBuffer_ = keyRecord.get();
    SetTempState(dsSetKey);
    try {
        for (std::size_t i = 0; i < keyValues.size(); ++i) {
            TField* field = index->fields[i];
            if (field == nullptr)
                throw EDatabaseError(Format("Field '%s' not found",
                                            {store_->columns[static_cast<std::size_t>(index->columns[i])].Name}));
            field->SetValue(keyValues[i]);
        }
    } catch (...) {
        SetTempState(saved);
        keyBuffer_ = nullptr;
        throw;
    }
    SetTempState(saved);
    keyBuffer_ = nullptr;
    std::vector<std::uint8_t> row(keyRecord->Bytes.begin(),
                                  keyRecord->Bytes.begin() + static_cast<std::ptrdiff_t>(rowSize_));
    Key key = KeyOf(row, index);
    key.resize(keyValues.size());
    auto found = index->order.lower_bound(OrderEntry{key, std::numeric_limits<std::int64_t>::min()});
    if (found == index->order.end() || !std::equal(key.begin(), key.end(), found->key.begin())) return false;
    TBookmark bookmark(sizeof found->id);
    std::memcpy(bookmark.data(), &found->id, sizeof found->id);
    GotoBookmark(bookmark);
    return true;
}

// Field data -----------------------------------------------------------------------------------

bool TMemoryTable::GetFieldData(TField& field, void* destination) {
    TRecordBuffer* buffer = State() == dsSetKey ? keyBuffer_ : ActiveBuffer();
    if (buffer == nullptr) return false;
    if (field.FieldNo() < 1) {
        const std::uint8_t* place = buffer->Bytes.data() + rowSize_ + field.Offset();
        if (place[0] == 0) return false;
        if (destination != nullptr) std::memcpy(destination, place + 1, field.DataSize());
        return true;
    }
    const auto column = static_cast<std::size_t>(field.FieldNo() - 1);
    const std::uint8_t* place = buffer->Bytes.data() + fieldOffsets_[column];
    if (place[0] == 0) return false;
    if (destination == nullptr) return true;
    if (blobSlots_[column] >= 0) {
        *static_cast<Variant*>(destination) = buffer->Objects[static_cast<std::size_t>(blobSlots_[column])];
    } else {
        const TFieldDef& def = store_->columns[column];
        std::memcpy(destination, place + 1, std::min(NativeDataSize(def.DataType, def.Size), field.DataSize()));
    }
    return true;
}

void TMemoryTable::SetFieldData(TField& field, const void* source) {
    const TDataSetState state = State();
    if (state != dsEdit && state != dsInsert && state != dsSetKey && state != dsCalcFields)
        throw EDatabaseError("Dataset not in edit or insert mode");
    TRecordBuffer* buffer = state == dsSetKey ? keyBuffer_ : ActiveBuffer();
    if (buffer == nullptr) return;
    if (field.FieldNo() < 1) {
        std::uint8_t* place = buffer->Bytes.data() + rowSize_ + field.Offset();
        place[0] = source != nullptr ? 1 : 0;
        if (source != nullptr) std::memcpy(place + 1, source, field.DataSize());
    } else {
        const auto column = static_cast<std::size_t>(field.FieldNo() - 1);
        std::uint8_t* place = buffer->Bytes.data() + fieldOffsets_[column];
        const int slot = blobSlots_[column];
        if (source == nullptr) {
            place[0] = 0;
            if (slot >= 0) buffer->Objects[static_cast<std::size_t>(slot)] = Variant();
        } else {
            if (state != dsSetKey) field.Validate(source);
            place[0] = 1;
            if (slot >= 0) {
                buffer->Objects[static_cast<std::size_t>(slot)] = *static_cast<const Variant*>(source);
            } else {
                const TFieldDef& def = store_->columns[column];
                std::memcpy(place + 1, source, std::min(NativeDataSize(def.DataType, def.Size), field.DataSize()));
            }
        }
    }
    if (state != dsCalcFields && state != dsSetKey) DataEvent(TDataEvent::deFieldChange, &field);
}

// Record buffers and the cursor ----------------------------------------------------------------

std::unique_ptr<TRecordBuffer> TMemoryTable::AllocRecordBuffer() {
    auto buffer = std::make_unique<TRecordBuffer>();
    buffer->Bytes.assign(infoOffset_ + kInfoSize, 0);
    buffer->Objects.resize(static_cast<std::size_t>(
        std::count_if(blobSlots_.begin(), blobSlots_.end(), [](int slot) { return slot >= 0; })));
    return buffer;
}

void TMemoryTable::InternalInitRecord(TRecordBuffer& buffer) {
    std::fill(buffer.Bytes.begin(), buffer.Bytes.end(), std::uint8_t{0});
    std::fill(buffer.Objects.begin(), buffer.Objects.end(), Variant());
}

void TMemoryTable::ClearCalcFields(TRecordBuffer& buffer) {
    std::fill(buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(rowSize_),
              buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(infoOffset_), std::uint8_t{0});
}

void TMemoryTable::FillBuffer(TRecordBuffer& buffer, std::int64_t id) const {
    const Store::Row& row = store_->rows.at(id);
    std::copy(row.bytes.begin(), row.bytes.end(), buffer.Bytes.begin());
    std::copy(row.objects.begin(), row.objects.end(), buffer.Objects.begin());
    std::memcpy(buffer.Bytes.data() + infoOffset_, &id, sizeof id);
    buffer.Bytes[infoOffset_ + 8] = static_cast<std::uint8_t>(TBookmarkFlag::bfCurrent);
}

std::int64_t TMemoryTable::BufferId(const TRecordBuffer& buffer) const {
    return Load<std::int64_t>(buffer.Bytes.data() + infoOffset_);
}

TGetResult TMemoryTable::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
    const Order& order = CurrentOrder();
    switch (mode) {
        case TGetMode::gmCurrent:
            if (at_ != CursorAt::Row) return at_ == CursorAt::Bof ? TGetResult::grBOF : TGetResult::grEOF;
            break;
        case TGetMode::gmNext:
            if (at_ == CursorAt::Eof) return TGetResult::grEOF;
            if (at_ == CursorAt::Bof) cursor_ = order.begin();
            else ++cursor_;
            if (cursor_ == order.end()) {
                at_ = CursorAt::Eof;
                return TGetResult::grEOF;
            }
            at_ = CursorAt::Row;
            break;
        case TGetMode::gmPrior:
            if (at_ == CursorAt::Bof) return TGetResult::grBOF;
            if ((at_ == CursorAt::Eof && order.empty()) || (at_ == CursorAt::Row && cursor_ == order.begin())) {
                at_ = CursorAt::Bof;
                return TGetResult::grBOF;
            }
            if (at_ == CursorAt::Eof) cursor_ = order.end();
            --cursor_;
            at_ = CursorAt::Row;
            break;
    }
    FillBuffer(buffer, cursor_->id);
    ClearCalcFields(buffer);
    return TGetResult::grOK;
}

void TMemoryTable::StandOn(std::int64_t id) {
    if (at_ == CursorAt::Row && cursor_ != CurrentOrder().end() && cursor_->id == id) return;
    auto row = store_->rows.find(id);
    if (row == store_->rows.end()) throw EDatabaseError("Record not found");
    cursor_ = CurrentOrder().find(OrderEntry{KeyOf(row->second.bytes, CurrentIndex()), id});
    at_ = CursorAt::Row;
}

void TMemoryTable::InternalFirst() { at_ = CursorAt::Bof; }
void TMemoryTable::InternalLast() { at_ = CursorAt::Eof; }

void TMemoryTable::InternalSetToRecord(TRecordBuffer& buffer) {
    const std::int64_t id = BufferId(buffer);
    if (id != 0) StandOn(id);
}

TBookmarkFlag TMemoryTable::GetBookmarkFlag(const TRecordBuffer& buffer) const {
    return static_cast<TBookmarkFlag>(buffer.Bytes[infoOffset_ + 8]);
}

void TMemoryTable::SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) {
    buffer.Bytes[infoOffset_ + 8] = static_cast<std::uint8_t>(flag);
}

TBookmark TMemoryTable::GetBookmarkData(const TRecordBuffer& buffer) const {
    const std::uint8_t* id = buffer.Bytes.data() + infoOffset_;
    return TBookmark(id, id + 8);
}

void TMemoryTable::InternalGotoBookmark(const TBookmark& bookmark) {
    if (bookmark.size() != 8) throw EDatabaseError("Record not found");
    StandOn(Load<std::int64_t>(bookmark.data()));
}

bool TMemoryTable::BookmarkValid(const TBookmark& bookmark) {
    return store_ != nullptr && bookmark.size() == 8 && store_->rows.contains(Load<std::int64_t>(bookmark.data()));
}

int TMemoryTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.size() != 8 || b.size() != 8) return TDataSet::CompareBookmarks(a, b);
    const auto x = Load<std::int64_t>(a.data());
    const auto y = Load<std::int64_t>(b.data());
    return x < y ? -1 : (x > y ? 1 : 0);
}

int TMemoryTable::GetRecordCount() const { return store_ != nullptr ? static_cast<int>(store_->rows.size()) : 0; }

int TMemoryTable::GetRecNo() const {
    const TRecordBuffer* buffer = ActiveBuffer();
    if (buffer == nullptr || GetBookmarkFlag(*buffer) != TBookmarkFlag::bfCurrent) return -1;
    const std::int64_t id = BufferId(*buffer);
    const Order& order = CurrentOrder();
    auto found = order.find(OrderEntry{KeyOf(store_->rows.at(id).bytes, CurrentIndex()), id});
    return static_cast<int>(std::distance(order.begin(), found)) + 1;
}

// Changing rows --------------------------------------------------------------------------------

void TMemoryTable::CheckUnique(const std::vector<std::uint8_t>& row, std::int64_t id) const {
    for (const Index& index : indexes_) {
        if (!index.unique) continue;
        Key key = KeyOf(row, &index);
        auto found = index.order.lower_bound(OrderEntry{key, std::numeric_limits<std::int64_t>::min()});
        for (; found != index.order.end() && found->key == key; ++found)
            if (found->id != id) KeyViolation();
    }
}

void TMemoryTable::StoreRow(TRecordBuffer& buffer, std::int64_t id) {
    std::vector<std::uint8_t> bytes(buffer.Bytes.begin(), buffer.Bytes.begin() + static_cast<std::ptrdiff_t>(rowSize_));
    CheckUnique(bytes, id);
    // The cursor may stand on an entry about to be replaced.
    at_ = CursorAt::Bof;
    if (id == 0) {
        id = store_->nextId++;
        store_->added.insert(OrderEntry{{}, id});
    } else {
        const Store::Row& old = store_->rows.at(id);
        for (Index& index : indexes_) index.order.erase(OrderEntry{KeyOf(old.bytes, &index), id});
    }
    for (Index& index : indexes_) index.order.insert(OrderEntry{KeyOf(bytes, &index), id});
    Store::Row& row = store_->rows[id];
    row.bytes = std::move(bytes);
    row.objects = buffer.Objects;
    StandOn(id);
}

void TMemoryTable::InternalPost() {
    TRecordBuffer& buffer = *ActiveBuffer();
    StoreRow(buffer, State() == dsEdit ? BufferId(buffer) : 0);
}

void TMemoryTable::InternalAddRecord(TRecordBuffer& buffer, bool) { StoreRow(buffer, 0); }

void TMemoryTable::InternalDelete() {
    const std::int64_t id = BufferId(*ActiveBuffer());
    StandOn(id);
    const Order& order = CurrentOrder();
    auto next = std::next(cursor_);
    const bool last = next == order.end();
    const std::int64_t nextId = last ? 0 : next->id;
    at_ = CursorAt::Bof;
    const Store::Row& row = store_->rows.at(id);
    for (Index& index : indexes_) index.order.erase(OrderEntry{KeyOf(row.bytes, &index), id});
    store_->added.erase(OrderEntry{{}, id});
    store_->rows.erase(id);
    if (last) at_ = CursorAt::Eof;
    else StandOn(nextId);
}

}  // namespace pavana
