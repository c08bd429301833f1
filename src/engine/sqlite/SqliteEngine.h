// The engine on SQLite: its DBEngine, created for a DAO version ("3.5" or "3.6").
//
// The process-wide engine class registry (engine/ClassRegistry.h) resolves the class ids of
// both DAO versions to `CreateSqliteEngine`; callers normally go through the registry.
#pragma once

#include <memory>
#include <string>

#include "engine/DBEngine.h"

namespace pavana::engine::sqlite {

// A new engine whose Version() is `version`.
std::shared_ptr<DBEngine> CreateSqliteEngine(const std::string& version);

}  // namespace pavana::engine::sqlite
