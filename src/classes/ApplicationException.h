// The application's exception handler: where a component reports an exception that it must
// not let escape (a record filter handler that failed, a blob write-back while its stream is
// freed), so that the operation around it can carry on.
//
// The handler is process-wide and runs on the thread that reports. The default writes the
// exception's message to standard error; a program with a user interface installs one that
// shows the message, and tests install one that records it.
#pragma once

#include <exception>
#include <functional>

namespace pavana {

using TApplicationExceptionHandler = std::function<void(const std::exception& E)>;

// Replaces the handler; an empty one puts the default back. Gives the previous handler
// (empty when it was the default).
TApplicationExceptionHandler SetApplicationExceptionHandler(TApplicationExceptionHandler handler);

// Hands `e` to the handler. A handler that raises is not allowed to stop the caller: what it
// raises is written to standard error instead.
void HandleApplicationException(const std::exception& e);

}  // namespace pavana
