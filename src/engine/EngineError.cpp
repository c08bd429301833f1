#include "engine/EngineError.h"

namespace pavana::engine {

void RaiseEngineError(std::int32_t number, const std::string& message, const std::string& source) {
    throw EOleException(message, EngineStatus(number), source);
}

void RaiseEngineError(JetError number, const std::string& source) {
    RaiseEngineError(number, EngineMessage(number), source);
}

}  // namespace pavana::engine
