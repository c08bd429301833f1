// The update script read as text: its lines, how its bytes were encoded, and their SHA-256.
//
// The file must be a regular file (a FIFO, a device or a directory is refused at once, so that
// reading never waits for a writer or runs without end). Its bytes are decoded to UTF-8:
//   - a UTF-16 byte-order mark (FF FE, FE FF) means UTF-16 of that byte order;
//   - bytes holding NULs in the pattern only UTF-16 text makes (an even length, every zero
//     byte the high byte of a code unit of one byte order, no zero code unit, at least half
//     of the code units below 256) are UTF-16 without a mark;
//   - otherwise valid UTF-8 is UTF-8 (a leading byte-order mark dropped), anything else
//     Windows-1252.
// Any other NUL, in 8-bit text or as a UTF-16 code unit, makes the script unreadable: the
// error names the line that holds it. Lines are split at CR LF, lone CR and lone LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pavana {

// The text is held once: each line is a stretch of `text`, so that a large script costs
// little more than its own size.
struct ScriptText {
    struct LineSpan {
        std::size_t begin = 0;
        std::size_t size = 0;
    };
    std::string text;  // decoded to UTF-8
    std::vector<LineSpan> lines;
    std::string encoding;  // "UTF-8", "UTF-16LE", "UTF-16BE" or "Windows-1252"
    std::string sha256;    // of the file's bytes, 64 lowercase hexadecimal digits, when asked for

    std::size_t LineCount() const { return lines.size(); }
    // Line `index` (from 0) without its line break.
    std::string_view Line(std::size_t index) const {
        return std::string_view(text).substr(lines[index].begin, lines[index].size);
    }
};

// Raises EFOpenError "Cannot open file <path>" when the file cannot be opened or read, and
// EFOpenError with a Portuguese text naming the file when it is not a regular file or holds
// a NUL. With `digest`, `sha256` is filled in (a report needs it; a run without one does not
// pay for it).
ScriptText ReadScriptText(const std::string& path, bool digest);

// Decodes and splits the bytes of the script named `path` (the name only goes into messages).
ScriptText DecodeScriptText(std::string bytes, const std::string& path);

}  // namespace pavana
