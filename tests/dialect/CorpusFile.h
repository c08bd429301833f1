// Reading the corpus files shared by the dialect and the engine corpus runners.
//
// A file is a sequence of records separated by blank lines. A record's first line is its
// directive ("statement ok", "query", ...); then come the statement's lines, joined with
// "\n"; after a line "----", one expected line each. Lines starting with "#" before a
// directive are comments. A directive other than "statement error" may end in
// "with v1 | v2 ...": the statement's parameter values, taken off the directive into `values`.
// A record "locale NAME" (no statement) makes the records after it run under the format
// settings of locale NAME ("C" for the invariant ones) until the next such record; a file
// starts under the invariant settings.
#pragma once

#include <locale.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "rtl/FormatSettings.h"

namespace pavana::corpus {

struct Record {
    int line = 0;
    std::string directive;
    std::string text;
    std::vector<std::string> expected;
    std::vector<std::string> values;  // parameter values, as written after "with"
};

// The error a "statement error <number> <message>" directive expects; nothing for any other
// directive.
struct ExpectedError {
    int number = 0;
    std::string message;
};
inline std::optional<ExpectedError> ExpectedErrorOf(const std::string& directive) {
    if (directive.rfind("statement error ", 0) != 0) return std::nullopt;
    std::istringstream words(directive.substr(16));
    ExpectedError expected;
    words >> expected.number;
    std::getline(words >> std::ws, expected.message);
    return expected;
}

inline void SplitValues(Record& r) {
    const std::size_t at = r.directive.find(" with ");
    if (at == std::string::npos || r.directive.rfind("statement error", 0) == 0) return;
    std::string rest = r.directive.substr(at + 6);
    r.directive.erase(at);
    for (std::size_t from = 0;;) {
        const std::size_t bar = rest.find(" | ", from);
        r.values.push_back(rest.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 3;
    }
}

inline std::vector<Record> ReadRecords(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<Record> records;
    std::string line;
    int number = 0;
    Record current;
    bool inExpected = false;
    auto flush = [&] {
        SplitValues(current);
        if (!current.directive.empty()) records.push_back(current);
        current = Record{};
        inExpected = false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            flush();
            continue;
        }
        if (line[0] == '#' && current.directive.empty()) continue;
        if (current.directive.empty()) {
            current.directive = line;
            current.line = number;
        } else if (line == "----") {
            inExpected = true;
        } else if (inExpected) {
            current.expected.push_back(line);
        } else {
            if (!current.text.empty()) current.text += "\n";
            current.text += line;
        }
    }
    flush();
    return records;
}

// The format settings of one corpus file: invariant at first, those of a "locale NAME"
// record after it; the settings that were current before come back at the end of the file.
class CorpusSettings {
public:
    CorpusSettings() : saved_(FormatSettings::Current()) { FormatSettings::SetCurrent(FormatSettings::Invariant()); }
    ~CorpusSettings() { FormatSettings::SetCurrent(saved_); }
    CorpusSettings(const CorpusSettings&) = delete;
    CorpusSettings& operator=(const CorpusSettings&) = delete;

    static bool IsDirective(const Record& r) { return r.directive.rfind("locale ", 0) == 0; }

    // Applies a "locale NAME" record; false (and a test failure) when NAME is not installed.
    bool Apply(const Record& r, const std::string& where) {
        const std::string name = r.directive.substr(7);
        locale_t probe = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
        if (probe == nullptr) {
            ADD_FAILURE() << where << "locale " << name << " is not installed (scripts/install-deps.sh generates it)";
            return false;
        }
        freelocale(probe);
        FormatSettings::SetCurrent(FormatSettings::FromLocale(name));
        return true;
    }

private:
    FormatSettings saved_;
};

// The names of the *.test files in `dir`, sorted.
inline std::vector<std::string> CorpusFiles(const std::filesystem::path& dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

// A test name for a corpus file: its name without ".test", other characters than letters
// and digits made "_".
inline std::string FileName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(0, info.param.size() - 5);
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace pavana::corpus
