#include "app/LibraryStep.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <optional>

#include "app/BesideFront.h"
#include "app/ExtensionSession.h"
#include "app/FaultTrap.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"

namespace pavana {
namespace {

constexpr const char* kEntryName = "pavana_extension_main";

// The watch in force, and the library being called with the process that called it.
const std::function<void(const std::string&)>* g_exitReport = nullptr;
const std::string* g_callingPath = nullptr;
pid_t g_callingProcess = 0;

// Runs when the process ends through exit(); only an exit during a library's call is ours.
// The call may run beside the front (BesideFront.h): the report, which shows the message,
// runs on the front's thread.
void OnProcessExit(int status, void*) {
    if (g_callingPath == nullptr || g_exitReport == nullptr || getpid() != g_callingProcess) return;
    const std::string path = *g_callingPath;
    g_callingPath = nullptr;
    const std::string message =
        Format("A biblioteca %s encerrou o processo (exit %s).", {path, std::to_string(status)});
    try {
        OnFrontThread([&] { (*g_exitReport)(message); });
    } catch (...) {
    }
    std::fflush(nullptr);
    _exit(EXIT_FAILURE);
}

// Marks the library call in progress for OnProcessExit.
class CallInProgress {
public:
    explicit CallInProgress(const std::string& path) {
        static const bool registered = on_exit(OnProcessExit, nullptr) == 0;
        (void)registered;
        g_callingPath = &path;
        g_callingProcess = getpid();
    }
    ~CallInProgress() { g_callingPath = nullptr; }
    CallInProgress(const CallInProgress&) = delete;
    CallInProgress& operator=(const CallInProgress&) = delete;
};

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
        if (handle_) dlclose(handle_);
    }
    void* Handle() const { return handle_; }

    // The library's own entry; one that only a library it depends on exports does not count.
    using Entry = void (*)(PavanaDatabase*);
    Entry FindEntry() const {
        void* symbol = dlsym(handle_, kEntryName);
        if (symbol == nullptr) return nullptr;
        link_map* own = nullptr;
        link_map* holder = nullptr;
        Dl_info info{};
        if (dlinfo(handle_, RTLD_DI_LINKMAP, &own) != 0 ||
            dladdr1(symbol, &info, reinterpret_cast<void**>(&holder), RTLD_DL_LINKMAP) == 0 || own != holder)
            return nullptr;
        return reinterpret_cast<Entry>(symbol);
    }

private:
    void* handle_;
};

[[noreturn]] void CannotRead(const std::string& path, const std::string& reason) {
    throw Exception(Format("Não foi possível ler o arquivo %s.\r\n%s", {path, reason}));
}

// Text of the library, made UTF-8 (text that is not is taken as Windows-1252).
std::string LibraryText(const char* text) {
    std::string message(text ? text : "");
    return IsValidUtf8(message) ? message : Cp1252ToUtf8(message);
}

struct Call {
    LoadedLibrary::Entry entry;
    PavanaDatabase* database;
    std::optional<std::string> thrown;  // message of an exception that left the entry
};

// Runs inside the fault trap: no exception may leave it. The exception object belongs to
// the library, so its message is copied here, while the library is loaded.
void CallEntry(void* argument) {
    auto* call = static_cast<Call*>(argument);
    try {
        call->entry(call->database);
    } catch (const std::exception& e) {
        try {
            call->thrown = LibraryText(e.what());
        } catch (...) {
            call->thrown = "A biblioteca lançou uma exceção.";
        }
    } catch (...) {
        call->thrown = "A biblioteca lançou uma exceção de tipo desconhecido.";
    }
}

// The failure of the call, if any; the library is still loaded.
std::optional<std::string> CallLibrary(const std::string& path, LoadedLibrary::Entry entry,
                                       const std::shared_ptr<engine::Database>& database) {
    ExtensionSession session(database);
    Call call{entry, session.Object(), {}};
    std::optional<std::string> failure;
    std::optional<Fault> fault;
    {
        const pid_t caller = getpid();
        CallInProgress inProgress(path);
        fault = CallTrappingFaults(CallEntry, &call);
        // A child the library forked came back here: it must not go on with the run.
        if (getpid() != caller) _exit(EXIT_SUCCESS);
    }
    if (fault) failure = DescribeFault(*fault);
    else if (call.thrown) failure = std::move(call.thrown);
    else if (session.ReportedError()) failure = session.ReportedError();
    if (session.Finish() && !failure)
        failure = "A biblioteca terminou com uma transação aberta; as alterações dessa transação foram desfeitas.";
    return failure;
}

}  // namespace

LibraryExitWatch::LibraryExitWatch(std::function<void(const std::string&)> report) : report_(std::move(report)) {
    g_exitReport = &report_;
}

LibraryExitWatch::~LibraryExitWatch() { g_exitReport = nullptr; }

std::string CleanLoaderReason(std::string reason) {
    while (!reason.empty() &&
           (reason.back() == ' ' || reason.back() == '\r' || reason.back() == '\n' || reason.back() == '.'))
        reason.pop_back();
    return std::string(Utf8Prefix(reason, 255));
}

void RunLibrary(const std::string& path, const std::shared_ptr<engine::Database>& database) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
        CannotRead(path, "Arquivo não existe!");
    std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    LoadedLibrary library(loadPath);
    if (!library.Handle()) {
        const char* reason = dlerror();
        CannotRead(path, CleanLoaderReason(reason ? reason : "cannot load library"));
    }
    LoadedLibrary::Entry entry = library.FindEntry();
    if (entry == nullptr) return;
    if (!database) throw EInvalidOperation("A base de dados não está aberta.");
    if (std::optional<std::string> failure = CallLibrary(path, entry, database)) throw Exception(*failure);
}

}  // namespace pavana
