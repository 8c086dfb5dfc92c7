#include "palette/PaletteWindow.h"

#include "palette/PaletteView.h"
#include "platform/DesktopHints.h"
#include "ui/Accessibility.h"
#include "ui/InterfaceStyle.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace orv {

namespace {
constexpr int kCornerRadius = 12;
}

PaletteWindow::PaletteWindow(AppModel& model)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_view(new PaletteView(model, this)),
      m_translucent(DesktopHints::forSession().compositing()) {
    setWindowTitle(QStringLiteral("Orvantide"));
    Accessibility::setRole(this, QAccessible::Window);
    setAttribute(Qt::WA_TranslucentBackground, m_translucent);
    setFixedSize(m_view->size());
}

void PaletteWindow::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (m_background.isNull() || m_background.deviceIndependentSize() != QSizeF(size()) ||
        m_background.devicePixelRatio() != ratio) {
        m_background = QPixmap(size() * ratio);
        m_background.setDevicePixelRatio(ratio);
        m_background.fill(Qt::transparent);
        QPainter painter(&m_background);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor background = palette().color(QPalette::Window);
        background.setAlphaF(m_translucent ? 0.97f : 1.0f);
        painter.setPen(QPen(InterfaceStyle::primary(palette(), 0.14), 1));
        painter.setBrush(background);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                                kCornerRadius);
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, m_background);
}

void PaletteWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        m_background = QPixmap();
    }
    QWidget::changeEvent(event);
}

void PaletteWindow::showEvent(QShowEvent* event) {
    DesktopHints::forSession().applyKeyboardPopupHints(windowHandle());
    QWidget::showEvent(event);
}

void PaletteWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Without a compositor the corners cannot be see-through: shape the window instead.
    if (!m_translucent) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
}

}  // namespace orv
