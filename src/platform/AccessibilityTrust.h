#pragma once

namespace orv {

// Whether this program may post key presses into other applications.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;
    virtual bool isTrusted() const = 0;
    // Asks for the permission where the desktop can grant it, then checks again.
    virtual bool requestTrust() { return isTrusted(); }
};

}  // namespace orv
