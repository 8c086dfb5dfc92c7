#pragma once

#include "platform/Pasteboard.h"
#include "platform/SelectionReadLimits.h"
#include "platform/wayland/WaylandDataControl.h"

namespace orv {

// One selection of a Wayland seat (the clipboard or the primary selection) as the clipboard code
// sees it, over data-control. What we wrote ourselves is read from our own copy.
class WaylandPasteboard : public Pasteboard {
public:
    WaylandPasteboard(WaylandDataControl& control, WaylandDataControl::Selection selection);

    // The count moves only on the compositor's selection events.
    bool announcesChanges() const override { return true; }
    qint64 changeCount() const override { return m_control.changeCount(m_selection); }
    QStringList formats() const override;
    // Waits for the owner on the calling thread (within the limits); the history reads through
    // reader() instead.
    QByteArray data(const QString& mimeType) const override;
    void write(const PasteboardContents& contents) override;
    std::shared_ptr<ReadablePasteboard> reader() const override;

    SelectionReadLimits readLimits;

private:
    WaylandDataControl& m_control;
    WaylandDataControl::Selection m_selection;
};

}  // namespace orv
