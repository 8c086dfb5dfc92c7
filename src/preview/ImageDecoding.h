#pragma once

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>

namespace orv {

// Image files decoded for display. A large picture takes seconds to decode, so the widgets start
// the decode on the shared thread pool and take the result on the main thread.
namespace ImageDecoding {

// The image at `path` with its orientation applied, scaled down while it is decoded so that it
// fits `bound` (Qt::KeepAspectRatio) or just covers it (Qt::KeepAspectRatioByExpanding); never
// enlarged. Null when the file is missing or unreadable, or when its pixels would take more memory
// than the store accepts for one image. Safe on any thread.
QImage read(const QString& path, const QSize& bound, Qt::AspectRatioMode mode);

// `read` on the global thread pool. A future cancelled before its decode starts skips the decode.
QFuture<QImage> readLater(const QString& path, const QSize& bound, Qt::AspectRatioMode mode);

}  // namespace ImageDecoding

}  // namespace orv
