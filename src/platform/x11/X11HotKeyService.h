#pragma once

#include "platform/HotKeyService.h"

#include <QAbstractNativeEventFilter>

#include <optional>

namespace orv {

// XGrabKey on the root window, with the Lock and NumLock variants of the mask so that the lock keys
// do not get in the way; presses come through a native event filter.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11HotKeyService(QObject* parent = nullptr);
    ~X11HotKeyService() override;

    int grab(QKeyCombination combination) override;
    void ungrab() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        unsigned int keycode;
        unsigned int modifiers;
    };
    std::optional<Grab> m_grab;
    // Between the press that was reported and its release.
    bool m_held = false;
    // When that press ended; a press with the same time is its auto-repeat.
    std::optional<quint32> m_releasedAt;
};

}  // namespace orv
