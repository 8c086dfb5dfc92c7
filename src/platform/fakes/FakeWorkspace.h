#pragma once

#include "platform/Workspace.h"

#include <QList>

namespace orv {

// A desktop whose active application the test chooses.
class FakeWorkspace : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override { return frontmost; }
    bool activate(const RunningApplication& application) override {
        activated.append(application);
        if (!activatesLate) {
            frontmost = application;
        }
        return true;
    }
    std::unique_ptr<Watch> watchActivation(std::function<void()> changed) override {
        return listeners.add(std::move(changed));
    }
    // The desktop gets round to it: `application` is in front now, and the watchers hear so.
    void becomeActive(const std::optional<RunningApplication>& application) {
        frontmost = application;
        listeners.notify();
    }

    static RunningApplication application(const QString& name) {
        return RunningApplication{name, name.toLower(), 0x400001, 4242};
    }
    static RunningApplication ourselves() {
        return RunningApplication{QStringLiteral("Orvantide"), ownBundleIdentifier, 0x600001, 1};
    }

    std::optional<RunningApplication> frontmost = application(QStringLiteral("Editor"));
    QList<RunningApplication> activated;
    // activate() only asks: the window comes to the front when the test calls becomeActive().
    bool activatesLate = false;
    ActivationListeners listeners;
};

}  // namespace orv
