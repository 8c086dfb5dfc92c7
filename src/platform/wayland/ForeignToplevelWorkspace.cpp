#include "platform/wayland/ForeignToplevelWorkspace.h"

#include "logging/Logging.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <algorithm>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace orv {

namespace {

template <typename T, auto destroy>
struct Destroyer {
    void operator()(T* object) const { destroy(object); }
};
template <typename T, auto destroy>
using Owned = std::unique_ptr<T, Destroyer<T, destroy>>;

// Past `stop` the compositor may still announce windows until it finishes; we do not wait.
void stopManager(zwlr_foreign_toplevel_manager_v1* manager) {
    zwlr_foreign_toplevel_manager_v1_stop(manager);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
}

// Our own windows: the desktop file name of native ones, the X11 instance and class of XWayland
// ones (sway reports the class as the app_id).
bool isOwnAppId(const QString& appId) {
    return appId == Workspace::ownBundleIdentifier || appId == u"orvantide" ||
           appId == u"Orvantide";
}

}  // namespace

struct ForeignToplevelWorkspace::Proxies {
    Owned<zwlr_foreign_toplevel_manager_v1, stopManager> manager;
    Owned<wl_proxy, wl_proxy_destroy> seat;
};

struct ForeignToplevelWorkspace::Toplevel {
    struct State {
        QString title;
        QString appId;
        bool activated = false;
    };

    ForeignToplevelWorkspace* workspace;
    Owned<zwlr_foreign_toplevel_handle_v1, zwlr_foreign_toplevel_handle_v1_destroy> handle;
    quint64 number;
    // Collected from the events since the last `done`, which makes it current.
    State pending;
    State current;
    quint64 activatedAt = 0;
};

// Routes the protocol's C callbacks to the object.
struct ToplevelEvents {
    using Toplevel = ForeignToplevelWorkspace::Toplevel;

    static Toplevel& of(void* data) { return *static_cast<Toplevel*>(data); }

    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        of(data).pending.title = QString::fromUtf8(title);
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        of(data).pending.appId = QString::fromUtf8(appId);
    }
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        const auto* begin = static_cast<const uint32_t*>(states->data);
        const auto* end = begin + states->size / sizeof(uint32_t);
        of(data).pending.activated =
            std::find(begin, end, ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) != end;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Toplevel& toplevel = of(data);
        toplevel.workspace->toplevelDone(toplevel);
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Toplevel& toplevel = of(data);
        toplevel.workspace->toplevelClosed(toplevel);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void announced(void* data, zwlr_foreign_toplevel_manager_v1*,
                          zwlr_foreign_toplevel_handle_v1* handle) {
        static_cast<ForeignToplevelWorkspace*>(data)->toplevelAnnounced(
            reinterpret_cast<wl_proxy*>(handle));
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1*) {
        static_cast<ForeignToplevelWorkspace*>(data)->managerFinished();
    }

    static constexpr zwlr_foreign_toplevel_handle_v1_listener handle{title, appId, output, output,
                                                                     state, done,  closed, parent};
    static constexpr zwlr_foreign_toplevel_manager_v1_listener manager{announced, finished};
};

std::unique_ptr<ForeignToplevelWorkspace> ForeignToplevelWorkspace::create(
    WaylandConnection& connection) {
    const auto managerGlobal = connection.global("zwlr_foreign_toplevel_manager_v1");
    if (!managerGlobal) {
        qCInfo(lcWindows) << "the compositor does not tell which window is active";
        return nullptr;
    }
    std::unique_ptr<ForeignToplevelWorkspace> workspace(new ForeignToplevelWorkspace(connection));
    workspace->m_proxies->manager.reset(reinterpret_cast<zwlr_foreign_toplevel_manager_v1*>(
        connection.bind(*managerGlobal, &zwlr_foreign_toplevel_manager_v1_interface, 3)));
    zwlr_foreign_toplevel_manager_v1_add_listener(workspace->m_proxies->manager.get(),
                                                  &ToplevelEvents::manager, workspace.get());
    // Without a seat windows are still known, only not activated.
    if (const auto seat = connection.global("wl_seat")) {
        workspace->m_proxies->seat.reset(connection.bind(*seat, &wl_seat_interface, 1));
    }
    // Every open window is announced, with its details, before the answer comes.
    if (!connection.roundtrip()) {
        return nullptr;
    }
    qCInfo(lcWindows) << "windows through wlr-foreign-toplevel-management:"
                      << workspace->m_toplevels.size() << "open";
    return workspace;
}

ForeignToplevelWorkspace::ForeignToplevelWorkspace(WaylandConnection& connection)
    : m_connection(connection), m_proxies(std::make_unique<Proxies>()) {}

ForeignToplevelWorkspace::~ForeignToplevelWorkspace() {
    m_toplevels.clear();
    m_proxies.reset();
    m_connection.flush();
}

std::optional<RunningApplication> ForeignToplevelWorkspace::frontmostApplication() const {
    const Toplevel* front = nullptr;
    for (const auto& toplevel : m_toplevels) {
        if (toplevel->current.activated &&
            (front == nullptr || toplevel->activatedAt > front->activatedAt)) {
            front = toplevel.get();
        }
    }
    if (front == nullptr) {
        return std::nullopt;
    }
    RunningApplication application;
    application.window = front->number;
    const QString& appId = front->current.appId;
    if (!appId.isEmpty()) {
        application.localizedName = appId;
        application.bundleIdentifier = isOwnAppId(appId) ? ownBundleIdentifier : appId;
    } else if (!front->current.title.isEmpty()) {
        application.localizedName = front->current.title;
    }
    return application;
}

bool ForeignToplevelWorkspace::activate(const RunningApplication& application) {
    const auto found =
        std::find_if(m_toplevels.begin(), m_toplevels.end(),
                     [&](const auto& toplevel) { return toplevel->number == application.window; });
    if (found == m_toplevels.end() || !m_proxies->seat || m_connection.isBroken()) {
        return false;
    }
    zwlr_foreign_toplevel_handle_v1_activate((*found)->handle.get(),
                                             reinterpret_cast<wl_seat*>(m_proxies->seat.get()));
    m_connection.flush();
    return !m_connection.isBroken();
}

void ForeignToplevelWorkspace::toplevelAnnounced(wl_proxy* proxy) {
    auto* handle = reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(proxy);
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->workspace = this;
    toplevel->handle.reset(handle);
    toplevel->number = ++m_lastNumber;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &ToplevelEvents::handle, toplevel.get());
    m_toplevels.push_back(std::move(toplevel));
}

std::unique_ptr<Workspace::Watch> ForeignToplevelWorkspace::watchActivation(
    std::function<void()> changed) {
    return m_listeners.add(std::move(changed));
}

void ForeignToplevelWorkspace::toplevelDone(Toplevel& toplevel) {
    const bool activationChanged = toplevel.pending.activated != toplevel.current.activated;
    if (toplevel.pending.activated && !toplevel.current.activated) {
        toplevel.activatedAt = ++m_activations;
        qCDebug(lcWindows) << "active:" << toplevel.pending.appId << toplevel.number;
    }
    toplevel.current = toplevel.pending;
    if (activationChanged) {
        m_listeners.notify();
    }
}

void ForeignToplevelWorkspace::toplevelClosed(Toplevel& toplevel) {
    qCDebug(lcWindows) << "closed:" << toplevel.current.appId << toplevel.number;
    const bool wasActive = toplevel.current.activated;
    std::erase_if(m_toplevels, [&](const auto& each) { return each.get() == &toplevel; });
    if (wasActive) {
        m_listeners.notify();
    }
}

// The compositor has destroyed the manager already: no `stop` may follow.
void ForeignToplevelWorkspace::managerFinished() {
    zwlr_foreign_toplevel_manager_v1_destroy(m_proxies->manager.release());
}

}  // namespace orv
