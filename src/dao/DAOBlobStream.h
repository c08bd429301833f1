// TDAOBlobStream: a memory stream over the value of one blob or memo field of a TDAODataset's
// active record.
//
// The stream's memory is the data of one automation value, never a buffer of its own: the
// bytes of a byte array (blob) or the characters of an 8-bit string (memo). Its capacity is
// always exactly its size, and a value is read and written whole. Reading mode takes the
// field's value over once, at creation; writing mode starts empty; read-write does both.
// What the stream holds when it is freed reaches the field (through the dataset's field
// write, so the record must still be in edit or insert mode then) when anything was written
// or the stream was cleared, and always in writing mode: a writing stream freed unwritten
// writes no value.
//
// Failures at creation (EDAODatabaseError): writing to a read-only field, "Field '%s' cannot
// be modified" (its display name); writing outside the edit, insert and set-key states,
// "Dataset not in edit or insert mode". A field that is not a blob or memo field fails with
// EInvalidCast "Invalid class typecast". A failure of the write-back when the stream is freed
// goes to the application's exception handler; the stream is freed all the same.
//
// A dataset without an active record gives an empty stream that writes nothing unless
// written to. The field and its dataset are borrowed: free the stream before them.
#pragma once

#include <cstdint>

#include "db/DBTypes.h"
#include "db/Field.h"
#include "rtl/Streams.h"
#include "rtl/Variant.h"

namespace pavana {

class TDAODataset;

class TDAOBlobStream : public TStream {
public:
    TDAOBlobStream(TField& field, TBlobStreamMode mode);
    ~TDAOBlobStream() override;

    std::size_t Read(void* buffer, std::size_t count) override;
    // Writes at the position, growing the value to exactly the end of what is written.
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(capacity_); }
    void SetSize(std::int64_t size) override;
    // Empties the stream, moves to the start and marks it for writing back.
    void Clear();

    // Whether the content is written back when the stream is freed.
    bool Modified() const { return modified_; }

private:
    void ReadField();
    // Makes the value exactly `capacity` bytes long, keeping what fits.
    void Reallocate(std::size_t capacity);
    std::uint8_t* Memory();

    TField& field_;
    TDAODataset& dataset_;
    bool modified_ = false;
    // The memory: Null when empty, else a byte array (blob) or an 8-bit string (memo).
    Variant value_ = Variant::Null();
    // The field's value while the stream takes it over; Null otherwise.
    Variant readValue_ = Variant::Null();
    std::size_t capacity_ = 0;
    std::int64_t position_ = 0;
};

}  // namespace pavana
