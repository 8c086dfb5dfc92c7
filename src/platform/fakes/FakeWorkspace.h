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
        frontmost = application;
        return true;
    }

    static RunningApplication application(const QString& name) {
        return RunningApplication{name, name.toLower(), 0x400001, 4242};
    }
    static RunningApplication ourselves() {
        return RunningApplication{QStringLiteral("Orvantide"), ownBundleIdentifier, 0x600001, 1};
    }

    std::optional<RunningApplication> frontmost = application(QStringLiteral("Editor"));
    QList<RunningApplication> activated;
};

}  // namespace orv
