#include "preview/FileTypeIconView.h"

#include "preview/FileTypeIcon.h"

#include <QPainter>
#include <QPixmap>

namespace orv {

FileTypeIconView::FileTypeIconView(const QString& path, int side, QWidget* parent)
    : QWidget(parent), m_path(path), m_side(side), m_icon(FileTypeIcon::image(path)) {
    setFixedSize(side, side);
}

void FileTypeIconView::paintEvent(QPaintEvent*) {
    // QIcon never hands out a pixmap larger than its biggest artwork, so a theme with 48-pixel
    // icons is scaled up here to fill the square.
    const QPixmap pixmap = m_icon.pixmap(size(), devicePixelRatioF());
    if (pixmap.isNull()) {
        return;
    }
    const QSizeF fitted =
        pixmap.deviceIndependentSize().scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                        fitted);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}

}  // namespace orv
