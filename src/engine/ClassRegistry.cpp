#include "engine/ClassRegistry.h"

#include <cctype>

namespace pavana::engine {
namespace {

std::string Key(const std::string& classId) {
    std::string key = classId;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

void ClassRegistry::Register(const std::string& classId, Factory factory) {
    factories_[Key(classId)] = std::move(factory);
}

void ClassRegistry::Unregister(const std::string& classId) { factories_.erase(Key(classId)); }

bool ClassRegistry::IsRegistered(const std::string& classId) const { return factories_.count(Key(classId)) != 0; }

std::shared_ptr<DBEngine> ClassRegistry::Create(const std::string& classId) const {
    auto it = factories_.find(Key(classId));
    if (it == factories_.end() || !it->second) return nullptr;
    return it->second();
}

}  // namespace pavana::engine
