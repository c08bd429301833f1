// Cuts the text pavanadb reads from standard input into statements, the way an update script
// is cut: the lines of a statement are joined with one blank, and the first line that
// contains a ";" ends it (so two statements on one line go together as one text, and a ";"
// inside a literal ends the statement too). Unlike an update script, text after the last
// ";" is not dropped but given as a last statement, so that a single statement typed
// without ";" still runs. Statements that hold nothing but blanks and ";" are skipped.
// Line ends are "\n", "\r\n" or "\r".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pavana::tools {

std::vector<std::string> CutStatements(std::string_view text);

}  // namespace pavana::tools
