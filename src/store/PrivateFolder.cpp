#include "store/PrivateFolder.h"

#include "store/Error.h"

#include <QDir>
#include <QFileInfo>

namespace orv {

void makePrivateFolder(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return;
    }
    const QString parent = QFileInfo(path).absolutePath();
    const bool made = QDir().mkpath(parent) &&
                      QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!made && !QFileInfo(path).isDir()) {
        throw Error::file(QStringLiteral("No se pudo crear la carpeta «%1».").arg(path));
    }
}

}  // namespace orv
