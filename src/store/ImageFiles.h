#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace orv {

// The image files the store writes: their names, how they are written, how they are removed.
namespace ImageFiles {

// "<UUID>.png" (the canonical upper-case UUID): an image file of the store's own.
bool isOwnImage(QStringView name);
// "<UUID>.thumb.png": the thumbnail beside one.
bool isOwnThumbnail(QStringView name);
QString thumbnailName(QStringView imageName);

// Removes regular files, by name, from one folder, through a handle on the folder: symlinks among
// them are skipped, so nothing outside it is ever touched. Failures are not reported. Gives how
// many went.
int removeFromFolder(const QString& folder, const QStringList& names);

// A new file readable and writable by its owner only.
void createPrivateFile(const QString& path);
// Written whole or not at all, private to the user whatever the umask; raises Error.
void writeAtomically(const QString& path, const QByteArray& bytes);

}  // namespace ImageFiles

}  // namespace orv
