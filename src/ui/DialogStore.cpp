#include "DialogStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

bool KeptCharacter(char32_t c, bool keepPath) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case '!':
        case '#':
        case '$':
        case '%':
        case '&':
        case '-':
        case '@':
        case '^':
        case '_':
        case '~': return true;
        case '.':
        case ':':
        case '\\': return keepPath;
        default: return false;
    }
}

std::string ProgramFileName() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("PavanaScript") : exe.filename().string();
}

// The machine-wide store, or none when it cannot be written.
std::unique_ptr<QSettings> OpenStore() {
    std::unique_ptr<QSettings> store;
    if (const char* file = std::getenv("PAVANA_REGISTRY"); file && *file) {
        store = std::make_unique<QSettings>(QString::fromLocal8Bit(file), QSettings::IniFormat);
    } else {
        store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::SystemScope, "pavana", "registry");
        if (!store->isWritable()) {
            store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "pavana", "registry");
        }
    }
    if (!store->isWritable() || store->status() != QSettings::NoError) return nullptr;
    return store;
}

// The QSettings path of a value: registry key separators become QSettings' own.
QString ValuePath(const std::string& key, const std::string& identity) {
    QString path = QString::fromStdString(key);
    path.replace('\\', '/');
    return path + '/' + QString::fromStdString(identity);
}

struct CleanedNames {
    std::string key;
    std::string identity;
};

CleanedNames CleanNames(std::string_view key, std::string_view identity, const char* operation) {
    CleanedNames names{CleanStoreName(key.empty() ? DefaultStoreKey() : key, true), CleanStoreName(identity, false)};
    if (names.key.empty() || names.identity.empty())
        throw Exception(std::string(operation) + " gravando especificador em branco");
    return names;
}

}  // namespace

std::string CleanStoreName(std::string_view text, bool keepPath) {
    std::string cleaned;
    for (char32_t c : Utf8ToUtf32(text)) cleaned += KeptCharacter(c, keepPath) ? static_cast<char>(c) : ' ';
    std::size_t first = cleaned.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    std::size_t last = cleaned.find_last_not_of(' ');
    return cleaned.substr(first, last - first + 1);
}

const std::string& DefaultStoreKey() {
    static const std::string key = [] {
        std::string name = ProgramFileName();
        return "SOFTWARE\\" + name.substr(0, name.find('.')) + "\\Dialogos";
    }();
    return key;
}

bool DSAIdentsGetState(std::string_view key, std::string_view identity) {
    CleanedNames names = CleanNames(key, identity, "DSAIdentsGetState");
    auto store = OpenStore();
    if (!store) return true;
    QVariant value = store->value(ValuePath(names.key, names.identity));
    bool isNumber = false;
    int number = value.toInt(&isNumber);
    return !isNumber || number != 0;
}

void DSAIdentsSetState(std::string_view key, std::string_view identity, bool show) {
    CleanedNames names = CleanNames(key, identity, "DSAIdentsSetState");
    auto store = OpenStore();
    if (!store) return;
    store->setValue(ValuePath(names.key, names.identity), show ? 1 : 0);
    store->sync();
}

}  // namespace pavana
