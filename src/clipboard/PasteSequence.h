#pragma once

#include "clipboard/ClipboardMonitor.h"
#include "platform/AccessibilityTrust.h"
#include "platform/KeyInjector.h"
#include "platform/Pasteboard.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "store/Clip.h"

#include <QCoro/QCoroTask>
#include <QObject>

#include <chrono>
#include <optional>

namespace orv {

// Choosing a clip: it goes onto the clipboard (marked as our own change), the palette closes, and
// with automatic pasting the previous application comes back and gets the paste keystroke (a
// terminal that pastes PRIMARY gets the clip there too, just before), once the desktop says that
// window is active again. Where no keystroke can be posted, or that window does not come back, the
// user is told to paste by hand; nothing claims a paste that did not happen. The waits suspend the
// sequence, never the main thread.
class PasteSequence : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds activationDelay{180};
    static constexpr std::chrono::milliseconds keystrokeDelay{120};
    // After both delays, how long the previous window may still take to be active again (a loaded
    // Mutter takes well over a second); the keys go only to it.
    static constexpr std::chrono::milliseconds activationLimit{6000};

    // What the user is told when the clip could only be copied.
    static inline const QString pasteByHandHint =
        QStringLiteral("Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");

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

    // How a sequence ended, for the application to act on: a clip that could not be written
    // (`message` for the banner), automatic pasting wanted but no key posted (the clip is on the
    // clipboard, `message` says how to paste it), or keys this program may not post.
    struct Outcome {
        enum class Kind { done, failed, pasteByHand, permissions };
        Kind kind = Kind::done;
        QString message;
        bool operator==(const Outcome&) const = default;
    };

    // The services must outlive every sequence run.
    explicit PasteSequence(Services services, QObject* parent = nullptr);

    // `previous`: the application that was in front before the palette opened.
    QCoro::Task<> run(Clip clip, bool autoPaste, std::optional<RunningApplication> previous);

signals:
    // The clip is on the clipboard as our own change: the palette closes now.
    void written();
    void finished(const PasteSequence::Outcome& outcome);

private:
    QCoro::Task<Outcome> paste(Clip clip, bool autoPaste,
                               std::optional<RunningApplication> previous);

    Services m_services;
};

}  // namespace orv
