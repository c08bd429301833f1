#include "app/ScriptText.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void CannotOpen(const std::string& path) { throw EFOpenError(Format("Cannot open file %s", {path})); }

// The bytes of a regular file. Opening does not wait: a FIFO without a writer opens at once
// and is then refused with everything else that is not a regular file.
std::string ReadRegularFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0) CannotOpen(path);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) CannotOpen(path);
    if (!S_ISREG(info.st_mode))
        throw EFOpenError(Format("O roteiro %s não pode ser lido: não é um arquivo comum.", {path}));
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) CannotOpen(path);
        if (n == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

// The line (from 1) of the character at `index` of `units`, counting CR LF, lone CR and lone
// LF as line breaks, as the lines are split.
template <typename Units>
int LineOf(const Units& units, std::size_t index) {
    int line = 1;
    for (std::size_t i = 0; i < index; ++i) {
        if (units[i] == '\n') ++line;
        if (units[i] == '\r' && !(i + 1 < index && units[i + 1] == '\n')) ++line;
    }
    return line;
}

[[noreturn]] void HoldsNul(const std::string& path, int line) {
    throw EFOpenError(
        Format("O roteiro %s não pode ser lido: a linha %s contém um caractere NUL.", {path, std::to_string(line)}));
}

std::u16string Utf16Units(const std::string& bytes, std::size_t start, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return units;
}

// Whether NUL-holding bytes can only be UTF-16 of the given byte order (see the header).
bool LooksLikeUtf16(const std::string& bytes, bool bigEndian) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
    std::size_t narrow = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char high = bytes[bigEndian ? i : i + 1];
        const char low = bytes[bigEndian ? i + 1 : i];
        if (low == '\0') return false;
        if (high == '\0') ++narrow;
    }
    return narrow * 2 >= bytes.size() / 2;
}

std::string DecodeUtf16Units(const std::string& path, const std::u16string& units) {
    std::size_t nul = units.find(u'\0');
    if (nul != std::u16string::npos) HoldsNul(path, LineOf(units, nul));
    return Utf16ToUtf8(units);
}

}  // namespace

ScriptText ReadScriptText(const std::string& path, bool digest) {
    std::string bytes = ReadRegularFile(path);
    const std::string sha256 = digest ? Sha256Hex(bytes) : std::string();
    ScriptText script = DecodeScriptText(std::move(bytes), path);
    script.sha256 = sha256;
    return script;
}

ScriptText DecodeScriptText(std::string bytes, const std::string& path) {
    ScriptText script;
    const bool littleMark = bytes.starts_with("\xFF\xFE");
    const bool bigMark = bytes.starts_with("\xFE\xFF");
    const std::size_t nul = bytes.find('\0');
    if (littleMark || bigMark ||
        (nul != std::string::npos && (LooksLikeUtf16(bytes, false) || LooksLikeUtf16(bytes, true)))) {
        const bool bigEndian = bigMark || (!littleMark && LooksLikeUtf16(bytes, true));
        script.encoding = bigEndian ? "UTF-16BE" : "UTF-16LE";
        script.text = DecodeUtf16Units(path, Utf16Units(bytes, littleMark || bigMark ? 2 : 0, bigEndian));
    } else {
        if (nul != std::string::npos) HoldsNul(path, LineOf(bytes, nul));
        bool utf8 = false;
        script.text = DecodeEightBitText(std::move(bytes), utf8);
        script.encoding = utf8 ? "UTF-8" : "Windows-1252";
    }
    std::string().swap(bytes);
    std::size_t count = 0;
    ForEachLine(script.text, [&](std::size_t, std::size_t) { ++count; });
    script.lines.reserve(count);
    ForEachLine(script.text, [&](std::size_t begin, std::size_t size) { script.lines.push_back({begin, size}); });
    return script;
}

}  // namespace pavana
