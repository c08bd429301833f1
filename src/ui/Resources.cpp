#include "ui/Resources.h"

#include <QDir>
#include <QDirIterator>
#include <QHash>

// The resources are linked in from a static library, so they are registered by name here
// rather than left to a static initialiser the linker may drop.
static void RegisterProgramResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(pavana);
        return true;
    }();
    (void)done;
}

namespace pavana {

namespace {

// The entries of one resource folder by upper-case name. The resource tree is fixed once the
// program runs, so each folder is read once.
const QHash<QString, QString>& Index(const QString& folder) {
    RegisterProgramResources();
    static QHash<QString, QHash<QString, QString>> indexes;
    auto it = indexes.find(folder);
    if (it == indexes.end()) {
        QHash<QString, QString> entries;
        const QDir dir(folder);
        for (const QString& entry : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
            entries.insert(entry.toUpper(), dir.filePath(entry));
        it = indexes.insert(folder, entries);
    }
    return *it;
}

QString Find(const QString& folder, std::string_view name) {
    if (name.empty()) return {};
    const QString key = QString::fromUtf8(name.data(), qsizetype(name.size())).toUpper();
    return Index(folder).value(key);
}

}  // namespace

QImage LoadBitmapResource(std::string_view name) {
    const QString path = Find(QStringLiteral(":/bitmap"), name);
    if (path.isEmpty()) return {};
    QImage image(path);
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

QIcon LoadIconResource(std::string_view name) {
    const QString path = Find(QStringLiteral(":/icon"), name);
    if (path.isEmpty()) return {};
    QIcon icon;
    for (const QString& file : QDir(path).entryList(QDir::Files, QDir::Name))
        icon.addFile(path + QLatin1Char('/') + file);
    return icon;
}

QImage LoadIconImage(std::string_view name, int width) {
    const QString path = Find(QStringLiteral(":/icon"), name);
    if (path.isEmpty()) return {};
    QImage image(path + QLatin1Char('/') + QString::number(width));
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
}

QString RawResourcePath(std::string_view name) { return Find(QStringLiteral(":/rcdata"), name); }

}  // namespace pavana
