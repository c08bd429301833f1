#include <cstdint>
#include <string>

#include "app/ScriptRunner.h"
#include "app/ScriptText.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"

// Decodes any byte block as an update script: either it is refused with an error, or every
// line is valid UTF-8 without a NUL or a line break, and each line's first word is checked.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavana;
    ScriptText script;
    try {
        script = DecodeScriptText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.sql");
    } catch (const Exception&) {
        return 0;
    }
    for (std::size_t i = 0; i < script.LineCount(); ++i) {
        const std::string line(script.Line(i));
        if (!IsValidUtf8(line) || line.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) __builtin_trap();
        ScriptRunner::IsLibraryStatement(line);
    }
    return 0;
}
