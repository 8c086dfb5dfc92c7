#include "preview/PreviewPanelController.h"

#include "platform/DesktopHints.h"
#include "preview/PreviewView.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QRegion>
#include <QScreen>

#include <algorithm>

namespace orv {

namespace {

QPainterPath roundedShape(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, PreviewPanel::cornerRadius, PreviewPanel::cornerRadius);
    return path;
}

QRect visibleFrameAround(const QRect& paletteFrame) {
    if (QScreen* screen = QGuiApplication::screenAt(paletteFrame.center())) {
        return screen->availableGeometry();
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        return screen->availableGeometry();
    }
    return {};
}

}  // namespace

void PreviewState::setClip(const std::optional<Clip>& clip) {
    if (m_clip == clip) {
        return;
    }
    m_clip = clip;
    emit clipChanged();
}

PreviewPanel::PreviewPanel(PreviewState& state)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      m_state(state),
      m_view(new PreviewView(this)),
      m_translucent(DesktopHints::forSession().compositing()) {
    setObjectName(QStringLiteral("PreviewPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(fixedSize);
    if (m_translucent) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setMask(QRegion(roundedShape(QRectF(rect())).toFillPolygon().toPolygon()));
    }
    m_view->move(0, 0);
    m_view->hide();
    connect(&m_state, &PreviewState::clipChanged, this, &PreviewPanel::showState);
}

void PreviewPanel::showState() {
    if (const auto& clip = m_state.clip()) {
        m_view->setClip(*clip);
        m_view->show();
    } else {
        m_view->hide();
        m_view->clear();
    }
}

void PreviewPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = palette().color(QPalette::Window);
    if (!m_translucent) {
        // The mask does the rounding; translucency would show black.
        painter.fillRect(rect(), background);
        return;
    }
    background.setAlphaF(0.94f);
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.12f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(background);
    painter.drawPath(roundedShape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5)));
}

void PreviewPanel::showEvent(QShowEvent* event) {
    DesktopHints::forSession().applyPopupHints(windowHandle());
    QWidget::showEvent(event);
}

void PreviewPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit pointerLeft();
}

PreviewPanelController::PreviewPanelController(QObject* parent)
    : PreviewPresenter(parent), m_panel(std::make_unique<PreviewPanel>(m_state)) {
    connect(m_panel.get(), &PreviewPanel::pointerLeft, this, &PreviewPanelController::mouseExited);

    m_fadeIn = new QPropertyAnimation(m_panel.get(), "windowOpacity", m_panel.get());
    m_fadeIn->setObjectName(QStringLiteral("fadeIn"));
    m_fadeIn->setDuration(fadeInMs);
    m_fadeIn->setStartValue(0.0);
    m_fadeIn->setEndValue(1.0);

    // No start value: a fade-out that interrupts a fade-in starts where that one stands.
    m_fadeOut = new QPropertyAnimation(m_panel.get(), "windowOpacity", m_panel.get());
    m_fadeOut->setObjectName(QStringLiteral("fadeOut"));
    m_fadeOut->setDuration(fadeOutMs);
    m_fadeOut->setEndValue(0.0);
    connect(m_fadeOut, &QAbstractAnimation::finished, this,
            &PreviewPanelController::fadeOutFinished);
}

PreviewPanelController::~PreviewPanelController() = default;

QWidget* PreviewPanelController::panel() const {
    return m_panel.get();
}

void PreviewPanelController::show(const Clip& clip, WindowHandle* beside) {
    ++m_generation;
    m_state.setClip(clip);

    const QRect paletteFrame = beside ? beside->frame() : QRect();
    const bool wasVisible = m_panel->isVisible();
    m_panel->setGeometry(
        QRect(origin(paletteFrame, visibleFrameAround(paletteFrame)), PreviewPanel::fixedSize));

    if (!wasVisible) {
        m_panel->setWindowOpacity(0.0);
        m_panel->show();
        m_fadeIn->start();
    } else if (m_fadeOut->state() == QAbstractAnimation::Running) {
        // Shown again while fading out: run the fade back up instead of letting the panel vanish
        // and reappear. Its completion sees the newer generation and leaves the panel up.
        m_fadeOut->setDirection(QAbstractAnimation::Backward);
    }
}

void PreviewPanelController::hide() {
    if (!m_panel->isVisible()) {
        return;
    }
    m_fadeOutGeneration = ++m_generation;
    m_fadeIn->stop();
    m_fadeOut->stop();
    m_fadeOut->setDirection(QAbstractAnimation::Forward);
    m_fadeOut->start();
}

void PreviewPanelController::fadeOutFinished() {
    if (m_generation != m_fadeOutGeneration) {
        // A show came in meanwhile; whatever the fade left, the panel it shows is opaque.
        m_panel->setWindowOpacity(1.0);
        return;
    }
    m_panel->hide();
    m_state.setClip(std::nullopt);
}

bool PreviewPanelController::isPanelVisible() const {
    return m_panel->isVisible();
}

QRect PreviewPanelController::panelFrame() const {
    return m_panel->frameGeometry();
}

QPoint PreviewPanelController::origin(const QRect& paletteFrame, const QRect& visibleFrame) {
    const int width = PreviewPanel::fixedSize.width();
    const int height = PreviewPanel::fixedSize.height();
    int x = paletteFrame.left() - width - gap;
    if (x < visibleFrame.left() + gap) {
        x = paletteFrame.x() + paletteFrame.width() + gap;
    }
    int top = paletteFrame.top();
    top = std::min(top, visibleFrame.y() + visibleFrame.height() - gap - height);
    // Last, so that on a screen too short for both the top edge wins.
    top = std::max(top, visibleFrame.top() + gap);
    return {x, top};
}

}  // namespace orv
