// The extension library step: runs a shared object named by an update script against the
// open database (include/pavana/extension.h is the library's side of the contract).
//
// `RunLibrary` loads the library, calls its entry `pavana_extension_main` once with the
// database (borrowed: the library must not keep it) and unloads the library on every way
// out. A library without the entry is loaded and unloaded and nothing else happens.
//
// Every failure raises `Exception`; the message is complete before the library is unloaded:
//   - no file (a directory does not count) at the path, or the loader refuses it:
//     "Não foi possível ler o arquivo <path>.\r\n<reason>", the reason being "Arquivo não
//     existe!" or the loader's own text (trailing blanks, line breaks and full stops removed,
//     at most 255 characters);
//   - the library reported an error through the API: its text, unchanged;
//   - a C++ exception left the entry: its what() for a std::exception, else a text of ours;
//   - a processor fault during the call (SIGSEGV, SIGBUS, SIGFPE, SIGILL): "Access
//     violation at address ... in module '...'. Read of address ..." and the like
//     (FaultTrap.h);
//   - the entry returned with a transaction it began still open.
// The call happens on the calling thread, which may be a thread beside the front
// (BesideFront.h); the library's API calls and the faults trapped are that thread's.
// A library that forks and returns in the child: the child ends at once, silently (exit code
// 0, no handler of the program runs), so that nothing after the step runs twice.
// Whatever happened, query definitions and recordsets the library left open are closed and
// its unfinished transactions rolled back; the database stays open, and what the library
// committed (or executed outside a transaction) stays applied.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/DBEngine.h"

namespace pavana {

// The path is used as the script wrote it. A path without "/" names a file in the working
// directory (the file whose existence was checked), not one on the loader's search path.
// `database` must be open.
void RunLibrary(const std::string& path, const std::shared_ptr<engine::Database>& database);

// While a watch lives, a library that ends the process (exit) during its call does not end it
// unheard: `report` receives "A biblioteca <path> encerrou o processo (exit <status>)." and
// the process then ends at once with exit code 1; `report` runs on the front's thread when the
// call runs beside the front. One watch at a time, on the run's thread.
class LibraryExitWatch {
public:
    explicit LibraryExitWatch(std::function<void(const std::string& message)> report);
    ~LibraryExitWatch();
    LibraryExitWatch(const LibraryExitWatch&) = delete;
    LibraryExitWatch& operator=(const LibraryExitWatch&) = delete;

private:
    std::function<void(const std::string&)> report_;
};

// The loader's reason text for the last failed load, cleaned as the log shows it.
std::string CleanLoaderReason(std::string reason);

}  // namespace pavana
