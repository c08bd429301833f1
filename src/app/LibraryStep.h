// The extension library step: loads a shared object named by an update script and unloads
// it again. (Its entry is not called yet: the extension interface comes with its own header.)
//
// Failures raise `Exception` with "Não foi possível ler o arquivo <path>.\r\n<reason>":
// "Arquivo não existe!" when no file (a directory does not count) is at the path, the
// loader's own reason (trailing blanks, line breaks and full stops removed, at most 255
// characters) when it refuses the file. The library is unloaded on every way out.
#pragma once

#include <string>

namespace pavana {

// The path is used as the script wrote it. A path without "/" names a file in the working
// directory (the file whose existence was checked), not one on the loader's search path.
void RunLibraryFile(const std::string& path);

// The loader's reason text for the last failed load, cleaned as the log shows it.
std::string CleanLoaderReason(std::string reason);

}  // namespace pavana
