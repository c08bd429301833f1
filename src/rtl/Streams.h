// Streams: sequential and positioned access to bytes.
//
// `TStream` is the framework's stream contract: `Read` and `Write` move up to the asked number
// of bytes at the current position and return how many moved; `ReadBuffer` and `WriteBuffer`
// move exactly that many or raise EStreamError ("Stream read error" / "Stream write error").
// Positions are byte offsets from the start; a position past the end is allowed (reading there
// gives nothing, writing there fills the gap with zero bytes); a negative one is refused with
// EStreamError "Invalid stream position" and the position stays as it was.
//
// `TMemoryStream` keeps its bytes in memory, which it owns; writing grows it as needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pavana {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position relative to `origin` and returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    // Truncates or extends (with zero bytes); the position is kept, capped at the new size.
    virtual void SetSize(std::int64_t size) = 0;

    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    // Bytes between the position and the end (0 when the position is past the end).
    std::int64_t Remaining() const;
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    // A stream over a copy of `bytes`, positioned at the start.
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t size) override;

    // Empties the stream and moves to the start.
    void Clear();
    // The whole content, whatever the position.
    const std::vector<std::uint8_t>& Bytes() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    std::int64_t position_ = 0;
};

}  // namespace pavana
