// The engine class registry: which engine a class id creates.
//
// The DAO layer asks the registry for the engine of a DAO version by the version's class id;
// `Create` gives the new DBEngine, or none when no class is registered under the id (the DAO
// layer then raises "Jet Engine v.%s not found."). A factory's own failure propagates.
// The process-wide registry (`Default`) has the two class ids of DAO 3.5 and 3.6 registered
// to the SQLite engine; it is defined by the SQLite engine library, so linking that library
// is what makes the classes available. Tests register and unregister classes to simulate an
// engine that is absent or fails. Used from one thread at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/DBEngine.h"

namespace pavana::engine {

inline constexpr const char* kDao35ClassId = "{00000010-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kDao36ClassId = "{00000100-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* kDBEngineInterfaceId = "{00000021-0000-0010-8000-00AA006D2EA4}";

class ClassRegistry {
public:
    using Factory = std::function<std::shared_ptr<DBEngine>()>;

    // Class ids compare case-insensitively, braces included.
    void Register(const std::string& classId, Factory factory);
    void Unregister(const std::string& classId);
    bool IsRegistered(const std::string& classId) const;
    // A new engine of the class, or nullptr when the class is not registered.
    std::shared_ptr<DBEngine> Create(const std::string& classId) const;

    static ClassRegistry& Default();

private:
    std::map<std::string, Factory> factories_;
};

}  // namespace pavana::engine
