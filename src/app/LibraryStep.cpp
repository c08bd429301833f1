#include "LibraryStep.h"

#include <dlfcn.h>

#include <filesystem>

#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"

namespace pavana {
namespace {

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
        if (handle_) dlclose(handle_);
    }
    void* Handle() const { return handle_; }

private:
    void* handle_;
};

[[noreturn]] void CannotRead(const std::string& path, const std::string& reason) {
    throw Exception(Format("Não foi possível ler o arquivo %s.\r\n%s", {path, reason}));
}

}  // namespace

std::string CleanLoaderReason(std::string reason) {
    while (!reason.empty() &&
           (reason.back() == ' ' || reason.back() == '\r' || reason.back() == '\n' || reason.back() == '.'))
        reason.pop_back();
    return std::string(Utf8Prefix(reason, 255));
}

void RunLibraryFile(const std::string& path) {
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
}

}  // namespace pavana
