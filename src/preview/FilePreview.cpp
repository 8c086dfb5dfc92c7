#include "preview/FilePreview.h"

#include "platform/InterfaceStyle.h"

#include "preview/FileTypeIcon.h"
#include "preview/FileTypeIconView.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCalloutPixels = 12;
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
    font.setPixelSize(kCalloutPixels);
    name->setFont(font);
    layout->addWidget(name, 1, Qt::AlignVCenter);
    return row;
}

}  // namespace

ElidedLabel::ElidedLabel(const QString& text, int maxLines, QWidget* parent)
    : QWidget(parent), m_text(text), m_maxLines(std::max(1, maxLines)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    updateGeometry();
    update();
}

QStringList ElidedLabel::lines(int width) const {
    // QTextLayout breaks only at U+2028, not at line feeds.
    QString text = m_text;
    text.replace(u'\n', QChar::LineSeparator);
    const QFontMetricsF metrics(font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(text, font());
    layout.setTextOption(option);

    QStringList out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (out.size() == m_maxLines - 1) {
            QString rest = text.mid(line.textStart());
            rest.replace(QChar::LineSeparator, u' ');
            out.append(metrics.elidedText(rest, Qt::ElideRight, width));
            break;
        }
        out.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    if (out.isEmpty()) {
        out.append(QString());
    }
    return out;
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text.section(u'\n', 0, 0)), metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QFontMetrics(font()).height()};
}

int ElidedLabel::heightForWidth(int width) const {
    const QFontMetricsF metrics(font());
    const auto count = lines(width).size();
    return static_cast<int>(std::ceil(metrics.height() + (count - 1) * metrics.lineSpacing()));
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetricsF metrics(font());
    qreal baseline = metrics.ascent();
    for (const QString& line : lines(width())) {
        painter.drawText(QPointF(0, baseline), line);
        baseline += metrics.lineSpacing();
    }
}

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
        font.setPixelSize(kCalloutPixels);
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
