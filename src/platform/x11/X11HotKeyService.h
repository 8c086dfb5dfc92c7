#pragma once

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>
#include <QKeyCombination>
#include <QList>
#include <QTimer>

#include <optional>

namespace orv {

// XGrabKey on the root window, with the Lock and NumLock variants of the mask so that the lock keys
// do not get in the way; presses come through a native event filter.
//
// The combination names a key by what it types (Ctrl+Alt+V: the key that types v), so the grab
// follows the keyboard: after a change of layout it moves to the key that types it now, says
// `refused` when no key does any more, and `availabilityChanged` when a refused combination has a
// key again.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11HotKeyService(QObject* parent = nullptr);
    ~X11HotKeyService() override;

    int grab(QKeyCombination combination) override;
    void ungrab() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // Where a combination sits on the keyboard: its key, and the masks grabbed with it.
    struct Place {
        unsigned int keycode = 0;
        unsigned int modifiers = 0;
        QList<unsigned int> masks;
        bool operator==(const Place&) const = default;
    };

    Place placeOf(QKeyCombination combination) const;
    int take(const Place& place);
    void release();
    bool isKeymapChange(const void* message) const;
    void followKeymap();

    // The combination asked for, grabbed or not, until ungrab().
    std::optional<QKeyCombination> m_wanted;
    std::optional<Place> m_grab;
    // The key the wanted combination was refused on (0: none typed it).
    unsigned int m_refusedOn = 0;
    // The first event code of the XKB extension; -1 without it.
    int m_xkbEvent = -1;
    // One look at the keymap for a burst of notices (setxkbmap sends several).
    QTimer m_keymapSettled;
    // Between the press that was reported and its release.
    bool m_held = false;
    // When that press ended; a press with the same time is its auto-repeat.
    std::optional<quint32> m_releasedAt;
};

}  // namespace orv
