#pragma once

#include "model/AppModel.h"
#include "palette/PaletteWindow.h"
#include "platform/PointerMonitor.h"
#include "platform/Workspace.h"

#include <QCoro/QCoroTask>

#include <QDeadlineTimer>
#include <QKeyCombination>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <functional>
#include <optional>

class QKeyEvent;

namespace orv {

// Opens and closes the palette, remembers the application that was in front before it (for
// pasting there), turns key presses inside it into actions on the model, and keeps it from
// reopening in the instant after the desktop closed it.
class PalettePanelController : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 reopenGuardMs = 300;
    // How long a shown palette waits for the keyboard before it gives up (generous: a loaded
    // desktop is slow to hand it over).
    static constexpr int keyboardLimitMs = 8000;
    static constexpr int keyboardPollMs = 100;
    // What a window manager that gives the keyboard by itself takes at most, even loaded; after it
    // the palette asks for the keyboard with a timestamp of now.
    static constexpr int keyboardGraceMs = 1000;
    static inline const QString keyboardNotice = QStringLiteral(
        "Este escritorio no le da el teclado a la paleta de Orvantide, así que se ha cerrado: lo "
        "que escribieras en ella iría a otra ventana.");

    // Without a pointer monitor, only losing the keyboard closes the palette from outside.
    PalettePanelController(AppModel& model, const Workspace& workspace,
                           PointerMonitor* pointerMonitor = nullptr, QObject* parent = nullptr);
    ~PalettePanelController() override;

    // Closes the palette when it is shown, else shows it unless the desktop closed it less than
    // 0.3 s ago. `anchor` is the tray icon's geometry when known.
    void toggle(const std::optional<QRect>& anchor = std::nullopt);
    void show(const std::optional<QRect>& anchor = std::nullopt);
    // Asked for by this program (hot key, Escape, a chosen clip): never arms the reopen guard.
    void close();
    bool isShown() const;
    // Does ahead, while the palette is hidden, what its first showing would otherwise do: the
    // native window, style and layout, fonts, symbols and thumbnails painted once, and the list
    // loaded. Meant for idle time after start-up; ends when that list has landed.
    QCoro::Task<> prepare();
    // Another application took the keyboard: closed as if asked for, so the hot key reopens at
    // once. Not before the palette has had the keyboard since it was shown: the notice then tells
    // of an earlier loss (a palette closed and opened again at once).
    void applicationDidResignActive();
    // A mouse button went down somewhere on the desktop. Outside this program's windows it closes
    // the palette; on the tray icon the palette goes the way a popover under it would, and the
    // click's own toggle that follows does not bring it back.
    void pointerPressed();
    // Tab (1) and Shift+Tab (-1).
    void moveKeyboardStop(int step);

    // The key table; true when the key was consumed, false when it goes on to the search field.
    bool handle(QKeyCombination key);

    // Where the palette goes: centred under the anchor, else at the pointer; inside `screen`.
    static QPoint placement(const std::optional<QRect>& anchor, const QPoint& pointer,
                            const QRect& screen, const QSize& size);

    std::optional<RunningApplication> previousApplication;
    // Milliseconds; the wall clock unless a test sets it.
    std::function<qint64()> clock;
    std::function<QPoint()> pointerLocation;

    PaletteWindow* window() const { return m_window.get(); }
    PaletteView* view() const;

signals:
    // The palette's footer asks for the settings window, or to clear the unpinned history.
    void settingsRequested();
    void clearRequested();
    // The palette was shown but the desktop never gave it the keyboard: it is closed again.
    void keyboardUnavailable(const QString& notice);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void didShow();
    void didClose();
    void checkKeyboard();

    AppModel& m_model;
    const Workspace& m_workspace;
    QPointer<PointerMonitor> m_pointerMonitor;
    std::optional<QRect> m_anchor;
    std::unique_ptr<PaletteWindow> m_window;
    QPointer<WindowHandle> m_handle;
    qint64 m_closedAt;
    bool m_closingIntentionally = false;
    QTimer m_keyboardCheck;
    QDeadlineTimer m_keyboardDeadline;
    bool m_keyboardAsked = false;
    bool m_activeSinceShown = false;
    bool m_menuKeyDown = false;
};

}  // namespace orv
