#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_proxy;
struct wl_registry;

namespace orv {

// A connection of our own to the Wayland compositor, beside whatever Qt draws its windows with.
// Events are read and dispatched on the main thread when the socket has data; requests may come
// from any thread (libwayland serialises them) and are flushed at once.
class WaylandConnection : public QObject {
    Q_OBJECT

public:
    struct Global {
        quint32 name;
        QByteArray interface;
        quint32 version;
    };

    // Nothing outside a Wayland session or when the compositor cannot be reached.
    static std::unique_ptr<WaylandConnection> connectToSession();
    ~WaylandConnection() override;

    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // The globals announced when connecting.
    const std::vector<Global>& globals() const { return m_globals; }
    std::optional<Global> global(const char* interface) const;
    // Binds the named global at the given version (no higher than the global offers).
    wl_proxy* bind(const Global& global, const wl_interface* interface, quint32 version);

    wl_display* display() const { return m_display; }
    // Sends the requests queued so far. Any thread.
    void flush();
    // Waits until the compositor has handled every request sent so far (start-up only).
    bool roundtrip();
    bool isBroken() const { return m_broken; }

signals:
    // The compositor went away or closed our connection; nothing more will arrive.
    void broken();

private:
    explicit WaylandConnection(wl_display* display);
    void readEvents();
    void fail();

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    std::vector<Global> m_globals;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_broken = false;
};

}  // namespace orv
