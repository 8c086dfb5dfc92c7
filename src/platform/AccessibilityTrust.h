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

// A session where posting keys needs no permission the user could grant: either the way to post
// them is open, or there is none at all.
class FixedTrust : public AccessibilityTrust {
public:
    explicit FixedTrust(bool trusted) : m_trusted(trusted) {}
    bool isTrusted() const override { return m_trusted; }

private:
    bool m_trusted;
};

}  // namespace orv
