#pragma once

#include "platform/AccessibilityTrust.h"

namespace orv {

// Trusted when the X server offers the XTest extension; never outside an X11 session.
class X11AccessibilityTrust : public AccessibilityTrust {
public:
    bool isTrusted() const override;
};

}  // namespace orv
