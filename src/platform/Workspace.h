#pragma once

#include <QString>

#include <optional>

namespace orv {

// An application with a window on screen.
struct RunningApplication {
    // The window class ("Firefox"); absent when the window has none.
    std::optional<QString> localizedName;
    // The window instance name ("firefox"); this program's own windows report
    // Workspace::ownBundleIdentifier.
    std::optional<QString> bundleIdentifier;
    // The X window to bring back, and its process when known.
    quint64 window = 0;
    qint64 processId = 0;

    bool operator==(const RunningApplication&) const = default;
};

// The desktop's windows and applications.
class Workspace {
public:
    static inline const QString ownBundleIdentifier = QStringLiteral("com.quarnelbrisk.orvantide");

    virtual ~Workspace() = default;
    // The application whose window is active; none when nothing has focus.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Brings the application's remembered window back to the front with the keyboard focus.
    virtual bool activate(const RunningApplication& application) = 0;
};

}  // namespace orv
