#pragma once

#include <QObject>
#include <QTimer>

namespace orv {

class AccessibilityTrust;

// Whether automatic pasting is allowed to post key presses, watched while the permission window
// is open.
class PermissionStatus : public QObject {
    Q_OBJECT

public:
    static constexpr int pollIntervalMs = 1000;

    explicit PermissionStatus(AccessibilityTrust& trust, QObject* parent = nullptr);

    bool accessibilityTrusted() const { return m_trusted; }
    // Trust was seen to arrive while watched; stays true for the life of the process.
    bool justGranted() const { return m_justGranted; }

    // One check now, then one a second until stop().
    void start();
    void stop();
    bool isPolling() const { return m_timer.isActive(); }
    void refresh();

    // Lets the desktop ask the user for the permission, then checks again.
    void requestTrust();

signals:
    void accessibilityTrustedChanged();
    void justGrantedChanged();

private:
    AccessibilityTrust& m_trust;
    bool m_trusted;
    bool m_justGranted = false;
    QTimer m_timer;
};

}  // namespace orv
