#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/HotKeyService.h"
#include "platform/KeyInjector.h"

#include <QList>

namespace orv {

// Records the key presses posted.
class FakeKeyInjector : public KeyInjector {
public:
    bool tap(QKeyCombination key) override {
        if (!posts) {
            return false;
        }
        taps.append(key);
        return true;
    }
    bool isAvailable() const override { return available; }
    QList<QKeyCombination> taps;
    bool available = true;
    // False: the post fails (the desktop refused the keys).
    bool posts = true;
};

// A key grab that a test can refuse and press.
class FakeHotKeyService : public HotKeyService {
public:
    int grab(QKeyCombination combination) override {
        ++grabCalls;
        if (refuseWith != 0) {
            grabbed.reset();
            return refuseWith;
        }
        grabbed = combination;
        return 0;
    }
    void ungrab() override {
        ++ungrabCalls;
        grabbed.reset();
    }
    // The user presses the grabbed combination.
    void press(quint32 id = 1) { emit pressed(id); }

    std::optional<QKeyCombination> grabbed;
    int refuseWith = 0;
    int grabCalls = 0;
    int ungrabCalls = 0;
};

class FakeAccessibilityTrust : public AccessibilityTrust {
public:
    bool isTrusted() const override { return trusted; }
    bool trusted = true;
};

}  // namespace orv
