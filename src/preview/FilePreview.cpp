#include "preview/FilePreview.h"

#include "ui/InterfaceStyle.h"

#include "preview/FileTypeIcon.h"
#include "preview/FileTypeIconView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

constexpr int kRowSpacing = 8;

QWidget* fileRow(const QString& path, QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("fileRow"));
    row->setToolTip(path);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowSpacing);
    layout->addWidget(new FileTypeIconView(path, FilePreview::rowIconSide, row), 0,
                      Qt::AlignVCenter);
    auto* name = new ElidedLabel(lastPathComponent(path), 1, row);
    QFont font = name->font();
    font.setPixelSize(InterfaceStyle::calloutPixels);
    name->setFont(font);
    layout->addWidget(name, 1, Qt::AlignVCenter);
    return row;
}

}  // namespace

FilePreview::FilePreview(const QStringList& paths, qsizetype count, QWidget* parent)
    : QWidget(parent),
      m_paths(paths.mid(0, maxRows)),
      m_count(std::max<qsizetype>(count, m_paths.size())) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    if (m_paths.isEmpty()) {
        auto* message = new QLabel(QStringLiteral("No hay archivos en este clip."), this);
        message->setObjectName(QStringLiteral("emptyMessage"));
        message->setAlignment(Qt::AlignCenter);
        message->setWordWrap(true);
        InterfaceStyle::setSecondary(message);
        layout->addWidget(message);
        return;
    }
    if (m_count == 1) {
        layout->addWidget(new FileTypeIconView(m_paths.first(), singleIconSide, this), 0,
                          Qt::AlignCenter);
        return;
    }

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("fileList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    auto* list = new QWidget(scroll);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(kRowSpacing);
    for (const QString& path : m_paths) {
        rows->addWidget(fileRow(path, list));
    }
    if (m_count > m_paths.size()) {
        auto* more = new QLabel(moreText(m_count - m_paths.size()), list);
        more->setObjectName(QStringLiteral("moreFiles"));
        QFont font = more->font();
        font.setPixelSize(InterfaceStyle::calloutPixels);
        more->setFont(font);
        InterfaceStyle::setSecondary(more);
        // In line with the names above it.
        more->setContentsMargins(rowIconSide + kRowSpacing, 0, 0, 0);
        rows->addWidget(more);
    }
    rows->addStretch(1);
    scroll->setWidget(list);
    // Let the panel's own background show through.
    scroll->viewport()->setAutoFillBackground(false);
    list->setAutoFillBackground(false);
    layout->addWidget(scroll);
}

FilePreview::FilePreview(const QStringList& paths, QWidget* parent)
    : FilePreview(paths, paths.size(), parent) {}

QString FilePreview::moreText(qsizetype hidden) {
    return QStringLiteral("y %1 más").arg(formatCount(hidden));
}

}  // namespace orv
