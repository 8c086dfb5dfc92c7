#include "settings/PermissionsView.h"

#include "hotkey/HotKey.h"
#include "platform/xdg/ShortcutText.h"
#include "settings/PermissionStatus.h"
#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

// Lines up the status texts with the card's texts beside its icon (34 + 14).
constexpr int kTextIndent = 48;

// A green that reads well on the window's background, light or dark.
QColor grantedGreen(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() > 128 ? QColor(36, 138, 61)
                                                             : QColor(48, 209, 88);
}

// The card's faint fill and hairline outline.
class Card : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(InterfaceStyle::primary(palette(), 0.08), 1));
        painter.setBrush(InterfaceStyle::primary(palette(), 0.05));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
    }
};

// A symbol centred on a faintly filled circle.
QPixmap badge(const QString& symbol, int diameter, int symbolSide, const QPalette& palette,
              qreal ratio) {
    QPixmap pixmap(QSize(diameter, diameter) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(InterfaceStyle::primary(palette, 0.08));
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    const int offset = (diameter - symbolSide) / 2;
    painter.drawPixmap(
        QRect(offset, offset, symbolSide, symbolSide),
        SymbolIcon::pixmap(symbol, symbolSide, InterfaceStyle::primary(palette, 1.0)));
    return pixmap;
}

}  // namespace

PermissionsView::PermissionsView(PermissionStatus& status, QWidget* parent)
    : QWidget(parent), m_status(status) {
    setFixedSize(fixedSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(28);
    layout->addStretch(1);
    layout->addWidget(buildHeader());
    // The mechanisms sit close under the card, in the room the fixed window leaves.
    auto* cardAndMechanisms = new QVBoxLayout;
    cardAndMechanisms->setSpacing(10);
    cardAndMechanisms->addWidget(buildCard());
    layout->addLayout(cardAndMechanisms);
    m_mechanisms = new QLabel(this);
    m_mechanisms->setFont(InterfaceStyle::font(font(), InterfaceStyle::captionPixels));
    m_mechanisms->setWordWrap(true);
    m_mechanisms->setTextInteractionFlags(Qt::TextSelectableByMouse);
    InterfaceStyle::setSecondary(m_mechanisms);
    m_mechanisms->hide();
    cardAndMechanisms->addWidget(m_mechanisms);
    layout->addStretch(1);

    connect(&m_status, &PermissionStatus::accessibilityTrustedChanged, this,
            &PermissionsView::showStatus);
    connect(&m_status, &PermissionStatus::justGrantedChanged, this, &PermissionsView::showStatus);
    showStatus();
}

QWidget* PermissionsView::buildHeader() {
    auto* header = new QWidget(this);
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto* mark = new QLabel(header);
    mark->setFixedSize(36, 36);
    mark->setPixmap(SymbolIcon::fallback(QStringLiteral("MenuIcon"), 36,
                                         InterfaceStyle::primary(palette(), 1.0)));
    auto* name = new QLabel(QStringLiteral("Orvantide"), header);
    name->setFont(InterfaceStyle::font(font(), InterfaceStyle::largeTitlePixels, QFont::DemiBold));
    m_explanation = new QLabel(
        QStringLiteral("El historial se abre con %1. El pegado automático escribe el clip en la "
                       "app que estaba delante, y para eso hace falta Accesibilidad.")
            .arg(ShortcutText::of(HotKey::defaultCombination)),
        header);
    m_explanation->setFont(InterfaceStyle::font(font(), InterfaceStyle::calloutPixels));
    m_explanation->setWordWrap(true);
    m_explanation->setAlignment(Qt::AlignHCenter);
    m_explanation->setFixedWidth(380);
    InterfaceStyle::setSecondary(m_explanation);

    column->addWidget(mark, 0, Qt::AlignHCenter);
    column->addWidget(name, 0, Qt::AlignHCenter);
    // Centred by stretches rather than an alignment flag: a column sizes an aligned item by its
    // one-line hint, and would give the wrapped text too few lines.
    auto* explanationRow = new QHBoxLayout;
    explanationRow->setContentsMargins(0, 0, 0, 0);
    explanationRow->addStretch(1);
    explanationRow->addWidget(m_explanation);
    explanationRow->addStretch(1);
    column->addLayout(explanationRow);
    return header;
}

QWidget* PermissionsView::buildCard() {
    auto* card = new Card(this);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* icon = new QLabel(card);
    icon->setFixedSize(34, 34);
    icon->setPixmap(badge(QStringLiteral("keyboard"), 34, 15, palette(), devicePixelRatioF()));
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(4);
    auto* title = new QLabel(QStringLiteral("Accesibilidad"), card);
    title->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels, QFont::DemiBold));
    auto* sentence = new QLabel(
        QStringLiteral(
            "Orvantide no lee la pantalla. Solo simula pegar después de elegir un clip."),
        card);
    sentence->setFont(InterfaceStyle::font(font(), InterfaceStyle::subheadlinePixels));
    sentence->setWordWrap(true);
    InterfaceStyle::setSecondary(sentence);
    texts->addWidget(title);
    texts->addWidget(sentence);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    column->addLayout(row);

    m_granted = new QWidget(card);
    auto* grantedRow = new QHBoxLayout(m_granted);
    grantedRow->setContentsMargins(kTextIndent, 0, 0, 0);
    grantedRow->setSpacing(5);
    const QColor green = grantedGreen(palette());
    auto* check = new QLabel(m_granted);
    check->setPixmap(SymbolIcon::fallback(QStringLiteral("checkmark"), 12, green));
    m_grantedText = new QLabel(QStringLiteral("Concedido"), m_granted);
    m_grantedText->setFont(
        InterfaceStyle::font(font(), InterfaceStyle::subheadlinePixels, QFont::Medium));
    QPalette greenText = m_grantedText->palette();
    greenText.setColor(QPalette::WindowText, green);
    m_grantedText->setPalette(greenText);
    grantedRow->addWidget(check);
    grantedRow->addWidget(m_grantedText);
    grantedRow->addStretch(1);
    m_granted->setAccessibleName(m_grantedText->text());
    column->addWidget(m_granted);

    m_restartHint = new QLabel(
        QStringLiteral("Si el pegado no responde, sal de Orvantide y ábrelo de nuevo."), card);
    m_restartHint->setFont(InterfaceStyle::font(font(), InterfaceStyle::captionPixels));
    m_restartHint->setWordWrap(true);
    m_restartHint->setContentsMargins(kTextIndent, 0, 0, 0);
    InterfaceStyle::setSecondary(m_restartHint);
    column->addWidget(m_restartHint);

    m_grantButton = new QPushButton(QStringLiteral("Conceder permiso"), card);
    m_grantButton->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels, QFont::Medium));
    m_grantButton->setMinimumHeight(32);
    m_grantButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const QColor accent = InterfaceStyle::accent(palette(), 1.0);
    m_grantButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 7px;"
                       " padding: 7px 14px; }"
                       "QPushButton:pressed { background: %3; }")
            .arg(InterfaceStyle::css(accent),
                 InterfaceStyle::css(palette().color(QPalette::HighlightedText)),
                 InterfaceStyle::css(accent.darker(120))));
    column->addWidget(m_grantButton);
    connect(m_grantButton, &QPushButton::clicked, this, [this] { m_status.requestTrust(); });
    return card;
}

void PermissionsView::setMechanisms(const QStringList& lines) {
    m_mechanisms->setText(lines.join(QStringLiteral(", ")));
    m_mechanisms->setVisible(!lines.isEmpty());
}

void PermissionsView::showStatus() {
    const bool trusted = m_status.accessibilityTrusted();
    m_granted->setVisible(trusted);
    m_restartHint->setVisible(trusted && m_status.justGranted());
    m_grantButton->setVisible(!trusted);
}

}  // namespace orv
