#include "rtl/Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "rtl/Exceptions.h"

namespace pavana {

std::int64_t TStream::Remaining() const { return std::max<std::int64_t>(Size() - Position(), 0); }

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    if (position_ >= Size()) return 0;
    std::size_t n = std::min(count, static_cast<std::size_t>(Size() - position_));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    auto start = static_cast<std::size_t>(position_);
    if (count == 0 || count > data_.max_size() - std::min(start, data_.max_size())) return 0;
    std::size_t end = start + count;
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<std::int64_t>(end);
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : Size();
    if (offset < -base || offset > std::numeric_limits<std::int64_t>::max() - base)
        throw EStreamError("Invalid stream position");
    position_ = base + offset;
    return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream position");
    data_.resize(static_cast<std::size_t>(size));
    position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

}  // namespace pavana
