#include "palette/PalettePanelController.h"

#include "logging/Logging.h"
#include "palette/PaletteView.h"
#include "platform/DesktopHints.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <QWindow>

#include <limits>
#include <utility>

namespace orv {

namespace {

// Ctrl+1 … Ctrl+5 choose the first five rows: the digits of the main row, not the keypad's.
std::optional<int> numberIndex(QKeyCombination key) {
    if (key.keyboardModifiers().testFlag(Qt::KeypadModifier) || key.key() < Qt::Key_1 ||
        key.key() > Qt::Key_5) {
        return std::nullopt;
    }
    return key.key() - Qt::Key_1;
}

// The palette's shortcuts use the primary modifier: Ctrl here.
constexpr Qt::KeyboardModifier kPrimary = Qt::ControlModifier;

}  // namespace

PalettePanelController::PalettePanelController(AppModel& model, const Workspace& workspace,
                                               PointerMonitor* pointerMonitor, QObject* parent)
    : QObject(parent),
      clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      pointerLocation([] { return QCursor::pos(); }),
      m_model(model),
      m_workspace(workspace),
      m_pointerMonitor(pointerMonitor),
      m_window(std::make_unique<PaletteWindow>(model)),
      m_handle(new PaletteWindowHandle(m_window.get())),
      m_closedAt(std::numeric_limits<qint64>::min() / 2) {
    QPointer<PalettePanelController> self(this);
    // Decided once the notices of the moment are through: a stale one must not close a palette
    // that has just been shown and has the keyboard.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [self](Qt::ApplicationState) {
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self && QGuiApplication::applicationState() != Qt::ApplicationActive &&
                    !self->m_window->isActiveWindow()) {
                    self->applicationDidResignActive();
                }
            },
            Qt::QueuedConnection);
    });
    connect(view(), &PaletteView::settingsRequested, this,
            &PalettePanelController::settingsRequested);
    connect(view(), &PaletteView::clearRequested, this, &PalettePanelController::clearRequested);
    if (pointerMonitor != nullptr) {
        connect(pointerMonitor, &PointerMonitor::pressed, this,
                &PalettePanelController::pointerPressed);
    }
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        m_activeSinceShown |= window != nullptr && window == m_window->windowHandle();
    });
    m_keyboardCheck.setInterval(keyboardPollMs);
    connect(&m_keyboardCheck, &QTimer::timeout, this, &PalettePanelController::checkKeyboard);
    qApp->installEventFilter(this);
}

PalettePanelController::~PalettePanelController() {
    qApp->removeEventFilter(this);
}

PaletteView* PalettePanelController::view() const {
    return m_window->view();
}

bool PalettePanelController::isShown() const {
    return m_window->isVisible();
}

void PalettePanelController::toggle(const std::optional<QRect>& anchor) {
    if (isShown()) {
        close();
        return;
    }
    if (clock() - m_closedAt < reopenGuardMs) {
        return;
    }
    show(anchor);
}

QPoint PalettePanelController::placement(const std::optional<QRect>& anchor, const QPoint& pointer,
                                         const QRect& screen, const QSize& size) {
    QPoint origin = anchor ? QPoint(anchor->x() + anchor->width() / 2 - size.width() / 2,
                                    anchor->y() + anchor->height() + 4)
                           : QPoint(pointer.x() - size.width() / 2, pointer.y());
    if (anchor && screen.isValid() && anchor->top() > screen.center().y()) {
        origin.setY(anchor->top() - 4 - size.height());  // a tray at the bottom opens upward
    }
    if (screen.isValid()) {
        origin.setX(std::clamp(origin.x(), screen.left(),
                               std::max(screen.left(), screen.right() + 1 - size.width())));
        origin.setY(std::clamp(origin.y(), screen.top(),
                               std::max(screen.top(), screen.bottom() + 1 - size.height())));
    }
    return origin;
}

void PalettePanelController::show(const std::optional<QRect>& anchor) {
    // The application in front, unless it is this one: then the earlier one stays.
    const auto front = m_workspace.frontmostApplication();
    const auto identifier = front ? front->bundleIdentifier : std::nullopt;
    if (identifier != Workspace::ownBundleIdentifier) {
        previousApplication = front;
    }
    const QPoint pointer = pointerLocation();
    QScreen* screen = QGuiApplication::screenAt(anchor ? anchor->center() : pointer);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect();
    m_anchor = anchor;
    m_window->move(placement(anchor, pointer, available, m_window->size()));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_keyboardAsked = false;
    m_activeSinceShown = false;
    m_keyboardDeadline.setRemainingTime(keyboardLimitMs);
    m_keyboardCheck.start();
    didShow();
    m_model.prepareForDisplay();
}

QCoro::Task<> PalettePanelController::prepare() {
    if (isShown()) {
        co_return;
    }
    QPointer<PalettePanelController> self(this);
    m_window->winId();
    co_await m_model.prepareForDisplay();
    if (!self || isShown()) {
        co_return;
    }
    // Painting off screen polishes and lays out every child and fills the caches the first
    // showing would fill on the user's time.
    m_window->grab();
}

void PalettePanelController::didShow() {
    m_model.setPaletteWindow(m_handle);
    m_model.increaseFocusToken();
    if (m_pointerMonitor) {
        m_pointerMonitor->start();
    }
}

void PalettePanelController::close() {
    if (!isShown()) {
        m_model.hidePreview();
        return;
    }
    m_closingIntentionally = true;
    m_window->hide();
    didClose();
}

void PalettePanelController::applicationDidResignActive() {
    if (!m_activeSinceShown) {
        return;
    }
    close();
}

void PalettePanelController::pointerPressed() {
    if (!isShown()) {
        return;
    }
    const QPoint pointer = pointerLocation();
    if (m_anchor && m_anchor->contains(pointer)) {
        m_window->hide();
        didClose();
        return;
    }
    // This program's own windows (the palette, the preview, a menu or alert of its own) keep it.
    if (QApplication::widgetAt(pointer) != nullptr || m_window->frameGeometry().contains(pointer)) {
        return;
    }
    close();
}

// Typing into a palette without the keyboard would land in the window behind it. Judged until one
// of our windows first has it: what the user does afterwards (an alert that closes, a click
// elsewhere) is theirs.
void PalettePanelController::checkKeyboard() {
    if (!isShown() || DesktopHints::forSession().ownWindowHasKeyboard()) {
        m_keyboardCheck.stop();
        return;
    }
    if (m_keyboardDeadline.remainingTime() <= keyboardLimitMs - keyboardGraceMs &&
        !std::exchange(m_keyboardAsked, true)) {
        // Qt's own request carries the time of the last event it saw, which a desktop guarding
        // against focus stealing finds too old when the command line opened the palette.
        const bool asked = DesktopHints::forSession().requestKeyboard(m_window->windowHandle());
        qCInfo(lcPalette) << "no keyboard yet; asked the window manager for it:" << asked;
    }
    if (!m_keyboardDeadline.hasExpired()) {
        return;
    }
    m_keyboardCheck.stop();
    qCWarning(lcPalette) << "the desktop did not give the palette the keyboard within"
                         << keyboardLimitMs << "ms; closing it";
    close();
    emit keyboardUnavailable(keyboardNotice);
}

void PalettePanelController::didClose() {
    m_keyboardCheck.stop();
    if (m_pointerMonitor) {
        m_pointerMonitor->stop();
    }
    if (!m_closingIntentionally) {
        m_closedAt = clock();
    }
    m_closingIntentionally = false;
    m_model.setPaletteWindow(nullptr);
    m_model.hidePreview();
}

// Round the field, the clear button, the filters and the footer. The field and the clear button
// are the model's search focus; the rest take the keyboard themselves.
void PalettePanelController::moveKeyboardStop(int step) {
    const QList<QWidget*> stops = view()->keyboardStops();
    QWidget* const clear = view()->clearButton();
    QWidget* focus = m_window->focusWidget();
    if (!stops.contains(focus) || focus == clear) {
        focus = m_model.searchFocus() == SearchFocus::clear ? clear : view()->searchField();
    }
    const qsizetype current = std::max<qsizetype>(stops.indexOf(focus), 0);
    QWidget* next = stops[(current + step + stops.size()) % stops.size()];
    m_model.setSearchFocus(next == clear ? SearchFocus::clear : SearchFocus::field);
    next->setFocus(Qt::TabFocusReason);
}

bool PalettePanelController::handle(QKeyCombination key) {
    const bool primary = key.keyboardModifiers().testFlag(kPrimary);
    const bool shift = key.keyboardModifiers().testFlag(Qt::ShiftModifier);
    const bool onClear = m_model.searchFocus() == SearchFocus::clear;
    const auto clearQuery = [this] {
        m_model.setQuery(QString());
        m_model.setSearchFocus(SearchFocus::field);
    };
    switch (key.key()) {
        case Qt::Key_Up:
            m_model.moveSelection(-1);
            return true;
        case Qt::Key_Down:
            m_model.moveSelection(1);
            return true;
        case Qt::Key_PageUp:
            m_model.moveSelection(-view()->list()->rowsPerPage());
            return true;
        case Qt::Key_PageDown:
            m_model.moveSelection(view()->list()->rowsPerPage());
            return true;
        case Qt::Key_Home:
        case Qt::Key_End:
            // With text in the field they move its cursor; Ctrl makes them the list's in any case.
            if (!m_model.query().isEmpty() && !primary) {
                return false;
            }
            m_model.moveSelection(key.key() == Qt::Key_Home ? std::numeric_limits<int>::min() / 2
                                                            : std::numeric_limits<int>::max() / 2);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (onClear) {
                clearQuery();
            } else {
                m_model.copySelected();
            }
            return true;
        case Qt::Key_Backtab:  // Shift+Tab
        case Qt::Key_Tab:
            moveKeyboardStop(shift || key.key() == Qt::Key_Backtab ? -1 : 1);
            return true;
        case Qt::Key_Space:
            if (onClear) {
                clearQuery();
                return true;
            }
            return false;
        case Qt::Key_Backspace:
            if (primary) {
                m_model.deleteSelected();
                return true;
            }
            return false;
        case Qt::Key_F10:
            m_menuKeyDown = key.keyboardModifiers() == Qt::ShiftModifier;
            return m_menuKeyDown;
        case Qt::Key_Escape:
            if (!m_model.query().isEmpty()) {
                m_model.setQuery(QString());
                m_model.setSearchFocus(SearchFocus::field);
            } else {
                close();
            }
            return true;
        default:
            break;
    }
    if (const auto position = numberIndex(key); position && primary) {
        m_model.copyAt(*position);
        return true;
    }
    return false;
}

// Key presses anywhere in the palette window pass through the key table first. Keys reach a
// window's widgets only while it has the keyboard, so another window in front (the settings, say)
// keeps its own keys.
bool PalettePanelController::eventFilter(QObject* watched, QEvent* event) {
    if (!isShown()) {
        return false;
    }
    // A menu opened while its key is still down closes as the key comes up: Shift+F10 opens it
    // once F10 is let go (Shift may go first), as Qt does for the Menu key.
    if (event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
        std::exchange(m_menuKeyDown, false)) {
        view()->list()->openSelectionMenu();
        return true;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != m_window.get()) {
        return false;
    }
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        view()->list()->openSelectionMenu();  // the selected row's menu, not the field's
        return true;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    return handle(static_cast<QKeyEvent*>(event)->keyCombination());
}

}  // namespace orv
