#pragma once

#include "clipboard/ClipboardMonitor.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeyInjector.h"
#include "platform/Pasteboard.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "store/Clip.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

namespace orv {

// Choosing a clip: it goes onto the clipboard (marked as our own change), the palette closes, and
// with automatic pasting the previous application comes back and gets the paste keystroke (a
// terminal that pastes PRIMARY gets the clip there too, just before), once the desktop says that
// window is active again. Where no keystroke can be posted, or that window does not come back, the
// user is told to paste by hand; nothing claims a paste that did not happen. The waits suspend the
// sequence, never the main thread.
namespace PasteSequence {

inline constexpr std::chrono::milliseconds activationDelay{180};
inline constexpr std::chrono::milliseconds keystrokeDelay{120};
// After both delays, how long the previous window may still take to be active again (a loaded
// Mutter takes well over a second); the keys go only to it.
inline constexpr std::chrono::milliseconds activationLimit{6000};

struct Services {
    // Writes the clipboard.
    ClipboardMonitor& monitor;
    Workspace& workspace;
    KeyInjector& injector;
    const AccessibilityTrust& trust;
    Scheduler& scheduler;
    // The PRIMARY selection, for terminals that paste it; none where there is no such thing.
    Pasteboard* primary = nullptr;
};

// What the sequence asks of the application around it; it must outlive the sequence.
class Host {
public:
    virtual ~Host() = default;
    virtual bool autoPaste() const { return true; }
    // The application that was in front before the palette opened.
    virtual std::optional<RunningApplication> previousApplication() const { return std::nullopt; }
    virtual void closePalette() {}
    // A clip that cannot be written: the message for the banner. The palette stays open.
    virtual void report(const QString& message) = 0;
    virtual void showPermissions() {}
    // Automatic pasting was wanted but no key could be posted: the clip is on the clipboard and
    // the user is told how to paste it.
    virtual void pasteByHand(const QString& hint) = 0;
};

// What the user is told when the clip could only be copied.
inline const QString pasteByHandHint =
    QStringLiteral("Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");

QCoro::Task<> run(Clip clip, Services services, Host& host);

}  // namespace PasteSequence

}  // namespace orv
