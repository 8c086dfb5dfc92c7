#include "settings/SettingsCard.h"

#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr int kBadgeSide = 26;
constexpr int kSymbolSide = 12;
constexpr qreal kRadius = 14;

}  // namespace

SettingsCard::SettingsCard(const QString& title, const QString& systemImage, QWidget* parent)
    : QWidget(parent), m_title(title), m_systemImage(systemImage) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(16, 16, 16, 16);
    m_layout->setSpacing(14);

    auto* titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(8);
    m_badge = new QLabel(this);
    m_badge->setFixedSize(kBadgeSide, kBadgeSide);
    drawBadge();
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setFont(
        InterfaceStyle::font(titleLabel->font(), InterfaceStyle::bodyPixels, QFont::DemiBold));
    titleRow->addWidget(m_badge, 0, Qt::AlignVCenter);
    titleRow->addWidget(titleLabel, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    m_layout->addLayout(titleRow);

    setAccessibleName(title);
}

void SettingsCard::addItem(QWidget* item) {
    item->setParent(this);
    m_layout->addWidget(item);
    m_items.append(item);
}

void SettingsCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The outline is drawn inside the shape: half a pixel in from the edge.
    const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(InterfaceStyle::primary(palette(), 0.08), 1));
    painter.setBrush(InterfaceStyle::primary(palette(), 0.05));
    painter.drawRoundedRect(shape, kRadius, kRadius);
}

void SettingsCard::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        drawBadge();
    }
}

void SettingsCard::drawBadge() {
    const qreal ratio = devicePixelRatioF();
    QPixmap badge(QSize(kBadgeSide, kBadgeSide) * ratio);
    badge.setDevicePixelRatio(ratio);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(InterfaceStyle::primary(palette(), 0.08));
    painter.drawEllipse(QRectF(0, 0, kBadgeSide, kBadgeSide));
    const int offset = (kBadgeSide - kSymbolSide) / 2;
    painter.drawPixmap(
        QRect(offset, offset, kSymbolSide, kSymbolSide),
        SymbolIcon::pixmap(m_systemImage, kSymbolSide, InterfaceStyle::primary(palette(), 1.0)));
    painter.end();
    m_badge->setPixmap(badge);
}

}  // namespace orv
