#pragma once

#include "platform/Workspace.h"

#include <memory>
#include <vector>

struct wl_proxy;

namespace orv {

class WaylandConnection;

// The session's windows as a taskbar sees them, through wlr-foreign-toplevel-management: the
// activated toplevel is the frontmost application. What the compositor reports about a window
// counts from its next `done`, once the connection has read it on the main thread.
//
// A window is named by its app_id rather than its title: the title follows the document (and can
// carry a mail subject or a file name), while the app_id names the application and stays put, as
// the window class does under X11. The title stands in only for windows without an app_id.
class ForeignToplevelWorkspace : public Workspace {
public:
    // Nothing when the compositor offers no foreign-toplevel manager. The windows already open are
    // known on return.
    static std::unique_ptr<ForeignToplevelWorkspace> create(WaylandConnection& connection);
    ~ForeignToplevelWorkspace() override;

    ForeignToplevelWorkspace(const ForeignToplevelWorkspace&) = delete;
    ForeignToplevelWorkspace& operator=(const ForeignToplevelWorkspace&) = delete;

    // `window` is a number of ours for the toplevel, never reused while we run.
    std::optional<RunningApplication> frontmostApplication() const override;
    // Asks the compositor to activate the window; false once it has closed.
    bool activate(const RunningApplication& application) override;
    // Called once the `done` that changes which window is activated has been read.
    std::unique_ptr<Watch> watchActivation(std::function<void()> changed) override;

private:
    struct Toplevel;
    struct Proxies;

    explicit ForeignToplevelWorkspace(WaylandConnection& connection);
    void toplevelAnnounced(wl_proxy* handle);
    void toplevelDone(Toplevel& toplevel);
    void toplevelClosed(Toplevel& toplevel);
    void managerFinished();

    WaylandConnection& m_connection;
    std::unique_ptr<Proxies> m_proxies;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    quint64 m_lastNumber = 0;
    // Counts activations, so that the latest wins when several seats each have one.
    quint64 m_activations = 0;
    ActivationListeners m_listeners;

    friend struct ToplevelEvents;
};

}  // namespace orv
