#pragma once

// Whether this program may post key presses into other applications.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;
    virtual bool isTrusted() const = 0;
    // Asks for the permission where the desktop can grant it, then checks again.
    virtual bool requestTrust() { return isTrusted(); }
};

// Trusted when the X server offers the XTest extension; never outside an X11 session.
class X11AccessibilityTrust : public AccessibilityTrust {
public:
    bool isTrusted() const override;
};
