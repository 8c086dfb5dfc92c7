#include "ui/ElidedLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace orv {

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

}  // namespace orv
