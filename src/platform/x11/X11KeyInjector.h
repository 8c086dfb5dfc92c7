#pragma once

#include "platform/KeyInjector.h"

namespace orv {

// Synthetic key events through the XTest extension.
class X11KeyInjector : public KeyInjector {
public:
    bool tap(QKeyCombination key) override;
};

}  // namespace orv
