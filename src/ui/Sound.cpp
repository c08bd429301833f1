#include "ui/Sound.h"

#include <canberra.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <memory>
#include <string>

#include "ui/Resources.h"

namespace pavana {

namespace {

struct ContextDeleter {
    void operator()(ca_context* c) const { ca_context_destroy(c); }
};

// One event sound context for the process, opened on first use. Null when the library could
// not create one; sounds are then skipped.
ca_context* Context() {
    static const std::unique_ptr<ca_context, ContextDeleter> context = [] {
        ca_context* c = nullptr;
        if (ca_context_create(&c) != CA_SUCCESS) return std::unique_ptr<ca_context, ContextDeleter>();
        ca_context_change_props(c, CA_PROP_APPLICATION_NAME, "PavanaScript", nullptr);
        return std::unique_ptr<ca_context, ContextDeleter>(c);
    }();
    return context.get();
}

void PlayFile(const QString& path) {
    if (ca_context* c = Context())
        ca_context_play(c, 0, CA_PROP_MEDIA_FILENAME, QFile::encodeName(path).constData(),
                        CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
}

// The sound library plays files, so a resource is written once to a temporary file that lives
// as long as the process.
QString FileOfResource(const QString& resourcePath) {
    static QHash<QString, std::shared_ptr<QTemporaryFile>> files;
    if (auto it = files.find(resourcePath); it != files.end()) return (*it)->fileName();
    QFile source(resourcePath);
    auto file = std::make_shared<QTemporaryFile>();
    if (!source.open(QIODevice::ReadOnly) || !file->open()) return {};
    file->write(source.readAll());
    file->flush();
    files.insert(resourcePath, file);
    return file->fileName();
}

}  // namespace

bool PlaySoundByName(std::string_view name) {
    if (name.empty()) return false;
    const QString path = QString::fromUtf8(name.data(), qsizetype(name.size()));
    if (QFileInfo(path).isFile()) {
        PlayFile(path);
        return true;
    }
    const QString resource = RawResourcePath(name);
    if (resource.isEmpty()) return false;
    const QString file = FileOfResource(resource);
    if (!file.isEmpty()) PlayFile(file);
    return true;
}

}  // namespace pavana
