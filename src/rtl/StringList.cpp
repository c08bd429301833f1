#include "StringList.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "Encoding.h"
#include "Exceptions.h"
#include "Format.h"
#include "Strings.h"

namespace pavana {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string ReadWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    auto fail = [&] { return EFOpenError(Format("Cannot open file %s", {path})); };
    if (!file) throw fail();
    std::string bytes;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        long size = std::ftell(file.get());
        if (size > 0) bytes.reserve(static_cast<std::size_t>(size));
        std::rewind(file.get());
    }
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, n);
    if (std::ferror(file.get())) throw fail();
    return bytes;
}

bool NeedsQuotes(const std::string& item) {
    if (item.empty()) return true;
    for (char c : item) {
        if (static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"') return true;
    }
    return false;
}

bool IsSkippable(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// Extracts the double-quoted stretch that starts at `pos` (on its opening quote) and moves
// `pos` past its closing quote, or to the end when it has none.
std::string ExtractQuoted(std::string_view text, std::size_t& pos) {
    std::size_t start = pos + 1;
    std::size_t scan = text.find('"', start);
    while (scan != std::string_view::npos) {
        ++scan;
        if (scan >= text.size() || text[scan] != '"') break;
        scan = text.find('"', scan + 1);
    }
    std::size_t end = scan == std::string_view::npos ? text.size() : scan;
    pos = end;
    if (end - start <= 1) return {};
    std::string_view inner = text.substr(start, end - start - 1);
    std::string out;
    out.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return out;
}

}  // namespace

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index, false);
    return lines_[static_cast<std::size_t>(index)];
}

void TStringList::SetStrings(int index, std::string line) {
    CheckIndex(index, false);
    Changing();
    lines_[static_cast<std::size_t>(index)] = std::move(line);
    Changed();
}

void TStringList::Add(std::string line) { Insert(Count(), std::move(line)); }

void TStringList::Insert(int index, std::string line) {
    CheckIndex(index, true);
    Changing();
    lines_.insert(lines_.begin() + index, std::move(line));
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, false);
    Changing();
    lines_.erase(lines_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (lines_.empty()) return;
    Changing();
    lines_.clear();
    Changed();
}

void TStringList::Assign(const TStringList& source) {
    if (&source == this) return;
    BeginUpdate();
    lines_ = source.lines_;
    EndUpdate();
}

std::string TStringList::Text() const {
    std::size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    BeginUpdate();
    lines_.clear();
    ForEachLine(text, [&](std::size_t begin, std::size_t size) { lines_.emplace_back(text.substr(begin, size)); });
    EndUpdate();
}

void TStringList::LoadFromFile(const std::string& path) {
    std::string text = DecodeTextFile(ReadWholeFile(path));
    SetText(text);
}

std::string TStringList::CommaText() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) out += ',';
        const std::string& item = lines_[i];
        if (!NeedsQuotes(item)) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            out += c;
            if (c == '"') out += '"';
        }
        out += '"';
    }
    return out;
}

void TStringList::SetCommaText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    BeginUpdate();
    lines_.clear();
    std::size_t pos = 0;
    while (pos < text.size() && IsSkippable(text[pos])) ++pos;
    while (pos < text.size()) {
        if (text[pos] == '"') {
            lines_.push_back(ExtractQuoted(text, pos));
        } else {
            std::size_t start = pos;
            while (pos < text.size() && static_cast<unsigned char>(text[pos]) > 32 && text[pos] != ',') ++pos;
            lines_.emplace_back(text.substr(start, pos - start));
        }
        while (pos < text.size() && IsSkippable(text[pos])) ++pos;
        if (pos < text.size() && text[pos] == ',') {
            do {
                ++pos;
            } while (pos < text.size() && IsSkippable(text[pos]));
        }
    }
    EndUpdate();
}

void TStringList::BeginUpdate() {
    if (updateCount_ == 0) Changing();
    ++updateCount_;
}

void TStringList::EndUpdate() {
    --updateCount_;
    if (updateCount_ == 0) Changed();
}

void TStringList::Changing() {
    if (updateCount_ == 0 && OnChanging) OnChanging();
}

void TStringList::Changed() {
    if (updateCount_ == 0 && OnChange) OnChange();
}

void TStringList::CheckIndex(int index, bool allowEnd) const {
    int limit = allowEnd ? Count() : Count() - 1;
    if (index < 0 || index > limit) throw EListError(Format("List index out of bounds (%d)", {index}));
}

}  // namespace pavana
