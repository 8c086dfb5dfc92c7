#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/HotKeyService.h"
#include "platform/KeyInjector.h"

#include <QList>

// Records the key presses posted.
class FakeKeyInjector : public KeyInjector {
public:
    struct Tap {
        quint32 keysym;
        quint32 xModifiers;
        bool operator==(const Tap&) const = default;
    };
    bool tap(quint32 keysym, quint32 xModifiers) override {
        taps.append({keysym, xModifiers});
        return true;
    }
    QList<Tap> taps;
};

// A key grab that a test can refuse and press.
class FakeHotKeyService : public HotKeyService {
public:
    int grab(const KeyCodes::XKeyBinding& binding) override {
        ++grabCalls;
        if (refuseWith != 0) {
            grabbed.reset();
            return refuseWith;
        }
        grabbed = binding;
        return 0;
    }
    void ungrab() override {
        ++ungrabCalls;
        grabbed.reset();
    }
    // The user presses the grabbed combination.
    void press(quint32 id = 1) {
        if (onPressed) {
            onPressed(id);
        }
    }

    std::optional<KeyCodes::XKeyBinding> grabbed;
    int refuseWith = 0;
    int grabCalls = 0;
    int ungrabCalls = 0;
};

class FakeAccessibilityTrust : public AccessibilityTrust {
public:
    bool isTrusted() const override { return trusted; }
    bool trusted = true;
};
