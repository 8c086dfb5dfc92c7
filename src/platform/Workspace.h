#pragma once

#include "platform/ApplicationId.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
    static inline const QString ownBundleIdentifier = applicationId;

    virtual ~Workspace() = default;
    // The application whose window is active; none when nothing has focus.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Brings the application's remembered window back to the front with the keyboard focus.
    // The desktop may take its time: the window is in front once frontmostApplication says so.
    virtual bool activate(const RunningApplication& application) = 0;

    // Held by whoever listens; destroying it stops the calls.
    class Watch {
    public:
        virtual ~Watch() = default;
    };
    // Calls `changed` on the main thread whenever the active window may have changed, for as long
    // as the watch lives. Nothing where the desktop does not say.
    [[nodiscard]] virtual std::unique_ptr<Watch> watchActivation(std::function<void()> changed) {
        (void)changed;
        return nullptr;
    }
};

// The listeners of a workspace's activation changes, each kept by the watch it was given.
class ActivationListeners {
public:
    std::unique_ptr<Workspace::Watch> add(std::function<void()> changed) {
        auto held = std::make_unique<Held>();
        held->changed = std::make_shared<std::function<void()>>(std::move(changed));
        m_listeners.push_back(held->changed);
        return held;
    }
    void notify() {
        std::erase_if(m_listeners, [](const auto& listener) { return listener.expired(); });
        // A listener may stop listening, or add another, while it is called.
        const auto listeners = m_listeners;
        for (const auto& listener : listeners) {
            if (const auto changed = listener.lock()) {
                (*changed)();
            }
        }
    }
    bool isEmpty() const {
        return std::none_of(m_listeners.begin(), m_listeners.end(),
                            [](const auto& listener) { return !listener.expired(); });
    }

private:
    struct Held : Workspace::Watch {
        std::shared_ptr<std::function<void()>> changed;
    };
    std::vector<std::weak_ptr<std::function<void()>>> m_listeners;
};

}  // namespace orv
