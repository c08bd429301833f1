#include "classes/ApplicationException.h"

#include <cstdio>

namespace pavana {
namespace {

TApplicationExceptionHandler& Handler() {
    static TApplicationExceptionHandler handler;
    return handler;
}

void WriteToStandardError(const std::exception& e) { std::fprintf(stderr, "%s\n", e.what()); }

}  // namespace

TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler) {
    TApplicationExceptionHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void HandleApplicationException(const std::exception& e) {
    if (!Handler()) {
        WriteToStandardError(e);
        return;
    }
    try {
        Handler()(e);
    } catch (const std::exception& inner) {
        WriteToStandardError(inner);
    }
}

}  // namespace pavana
