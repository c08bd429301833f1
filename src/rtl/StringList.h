// TStringList: the framework's ordered list of text lines.
//
// Lines are UTF-8. Whole-text reading splits at CR LF, at a lone CR and at a lone LF (the last
// line needs no break) and stops at a NUL character; the whole text writes every line followed
// by CR LF. Changes are announced through `OnChanging` (before) and `OnChange` (after); between
// `BeginUpdate` and the matching `EndUpdate` they are announced once, as one change.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pavana {

class TStringList {
public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    int Count() const { return static_cast<int>(lines_.size()); }
    // Raises EListError "List index out of bounds (%d)" for an index outside 0..Count-1.
    const std::string& Strings(int index) const;
    void SetStrings(int index, std::string line);

    void Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear();
    void Assign(const TStringList& source);

    std::string Text() const;
    void SetText(std::string_view text);

    // Reads the whole file, decoded as text files are (see DecodeTextFile), into the lines.
    // Raises EFOpenError "Cannot open file %s" when the file cannot be opened or read.
    void LoadFromFile(const std::string& path);

    // Items separated by commas or blanks; items holding blanks, commas or double quotes are
    // double-quoted with inner quotes doubled.
    std::string CommaText() const;
    // Replaces the lines with the items of a comma text. Leading characters of codes 1 to 32
    // are skipped; an item is a double-quoted stretch (quotes removed, a doubled quote standing
    // for one; without its closing quote it runs to the end and loses its last character) or a
    // run up to the next character of code 32 or less or the next comma. After an item blanks
    // are skipped, and a comma together with the blanks after it; whatever follows a closing
    // quote directly starts a new item.
    void SetCommaText(std::string_view text);

    void BeginUpdate();
    void EndUpdate();

    std::function<void()> OnChanging;
    std::function<void()> OnChange;

private:
    void Changing();
    void Changed();
    void CheckIndex(int index, bool allowEnd) const;

    std::vector<std::string> lines_;
    int updateCount_ = 0;
};

}  // namespace pavana
