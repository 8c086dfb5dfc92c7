#include "store/ImageFiles.h"

#include "platform/xdg/FileDescriptor.h"
#include "store/Error.h"
#include "store/ImageThumbnail.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {

namespace {

// The canonical upper-case form that names every image the store writes.
bool isUpperUuid(QStringView text) {
    if (text.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-') {
                return false;
            }
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace ImageFiles {

// "<UUID>.png": an image file of the store's own.
bool isOwnImage(QStringView name) {
    return name.size() == 40 && name.endsWith(u".png") && isUpperUuid(name.first(36));
}

// "<UUID>.thumb.png": the thumbnail beside one.
bool isOwnThumbnail(QStringView name) {
    return name.size() == 46 && name.endsWith(u".thumb.png") && isUpperUuid(name.first(36));
}

QString thumbnailName(QStringView imageName) {
    return ImageThumbnail::pathFor(imageName.toString());
}

// Removes regular files, by name, from one folder. The names are looked up through a handle on the
// folder itself and symlinks among them are skipped, so nothing outside it is ever touched.
// Failures are of no consequence to the history and are not reported. Gives how many went.
int removeFromFolder(const QString& folder, const QStringList& names) {
    if (names.isEmpty()) {
        return 0;
    }
    const FileDescriptor directory(::open(QFile::encodeName(folder).constData(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (directory.get() < 0) {
        return 0;
    }
    int removed = 0;
    for (const QString& name : names) {
        const QByteArray entry = QFile::encodeName(name);
        struct stat status {};
        if (!name.contains(u'/') &&
            ::fstatat(directory.get(), entry.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && ::unlinkat(directory.get(), entry.constData(), 0) == 0) {
            ++removed;
        }
    }
    return removed;
}

// A new database file is created readable by its owner only; SQLite gives its journal files the
// same mode.
void createPrivateFile(const QString& path) {
    if (QFileInfo::exists(path)) {
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                  QFile::ReadOwner | QFile::WriteOwner)) {
        file.close();
    }
}

// Private to the user like the database, whatever the umask.
void writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        throw Error::file(
            QStringLiteral("No se pudo guardar la imagen «%1»: %2").arg(path, file.errorString()));
    }
}

}  // namespace ImageFiles

}  // namespace orv
