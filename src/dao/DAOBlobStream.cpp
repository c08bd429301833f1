#include "dao/DAOBlobStream.h"

#include <algorithm>
#include <cstring>

#include "classes/ApplicationException.h"
#include "dao/DAODatabase.h"
#include "dao/DAODataset.h"
#include "rtl/Format.h"

namespace pavana {
namespace {

TField& BlobField(TField& field) {
    if (dynamic_cast<TBlobField*>(&field) == nullptr) throw EInvalidCast("Invalid class typecast");
    return field;
}

TDAODataset& DatasetOf(TField& field) {
    auto* dataset = dynamic_cast<TDAODataset*>(field.DataSet());
    if (dataset == nullptr) throw EInvalidCast("Invalid class typecast");
    return *dataset;
}

}  // namespace

TDAOBlobStream::TDAOBlobStream(TField& field, TBlobStreamMode mode)
    : field_(BlobField(field)), dataset_(DatasetOf(field)) {
    if (!dataset_.HasActiveRecordBuffer()) return;
    if (mode != TBlobStreamMode::bmRead) {
        if (field_.ReadOnly()) throw EDAODatabaseError(Format("Field '%s' cannot be modified", {field_.DisplayName()}));
        const TDataSetState state = dataset_.State();
        if (state != dsEdit && state != dsInsert && state != dsSetKey)
            throw EDAODatabaseError("Dataset not in edit or insert mode");
    }
    if (mode == TBlobStreamMode::bmWrite) Clear();
    else ReadField();
}

TDAOBlobStream::~TDAOBlobStream() {
    if (!modified_) return;
    try {
        dataset_.StoreBlobValue(field_, std::move(value_));
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    }
}

void TDAOBlobStream::ReadField() {
    // The field's value comes from the record (copied only when its slot holds it already)
    // and then becomes the stream's memory without a further copy.
    if (dataset_.TakeBlobValue(field_, readValue_) && !readValue_.IsAbsent()) {
        if (readValue_.IsText()) {
            std::string text = std::move(readValue_.MutableText());
            if (field_.DataType() == ftMemo) readValue_ = Variant::FromAnsiString(std::move(text));
            else readValue_ = Variant(std::vector<std::uint8_t>(text.begin(), text.end()));
        }
        const std::size_t size = readValue_.IsText()        ? readValue_.MutableText().size()
                                 : readValue_.IsByteArray() ? readValue_.Bytes().size()
                                                            : 0;
        Reallocate(size);
    }
    readValue_ = Variant::Null();
}

void TDAOBlobStream::Reallocate(std::size_t capacity) {
    if (capacity == capacity_) return;
    if (capacity == 0) {
        value_ = Variant::Null();
    } else if (!readValue_.IsNull()) {
        value_ = std::move(readValue_);
        readValue_ = Variant::Null();
    } else if (field_.DataType() == ftMemo) {
        if (!value_.IsText()) value_ = Variant::FromAnsiString(std::string());
        value_.MutableText().resize(capacity);
    } else {
        if (!value_.IsByteArray()) value_ = Variant(std::vector<std::uint8_t>());
        value_.MutableBytes().resize(capacity);
    }
    capacity_ = capacity;
}

std::uint8_t* TDAOBlobStream::Memory() {
    if (value_.IsByteArray()) return value_.MutableBytes().data();
    if (value_.IsText()) return reinterpret_cast<std::uint8_t*>(value_.MutableText().data());
    return nullptr;
}

std::size_t TDAOBlobStream::Read(void* buffer, std::size_t count) {
    if (position_ < 0 || static_cast<std::size_t>(position_) >= capacity_ || count == 0) return 0;
    const std::size_t n = std::min(count, capacity_ - static_cast<std::size_t>(position_));
    std::memcpy(buffer, Memory() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TDAOBlobStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    const auto start = static_cast<std::size_t>(position_);
    const std::size_t end = start + count;
    if (end < start) return 0;
    if (end > capacity_) Reallocate(end);
    std::memcpy(Memory() + start, buffer, count);
    position_ = static_cast<std::int64_t>(end);
    modified_ = true;
    return count;
}

std::int64_t TDAOBlobStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? position_
                                                                 : Size();
    const std::int64_t target = base + offset;
    if (target < 0) throw EStreamError("Invalid stream position");
    position_ = target;
    return position_;
}

void TDAOBlobStream::SetSize(std::int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream position");
    Reallocate(static_cast<std::size_t>(size));
    position_ = std::min(position_, size);
}

void TDAOBlobStream::Clear() {
    Reallocate(0);
    position_ = 0;
    modified_ = true;
}

}  // namespace pavana
