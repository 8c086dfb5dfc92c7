#pragma once

#include <QStringList>

#include <mutex>

struct wl_proxy;

namespace orv {

class WaylandConnection;

// What another client put on a selection, as the compositor offers it to us: the types, and the
// way to ask for one of them. Shared between the main thread, which learns and retires it, and the
// worker that reads it.
class DataOffer {
public:
    DataOffer(wl_proxy* proxy, WaylandConnection& connection)
        : m_proxy(proxy), m_connection(connection) {}
    ~DataOffer() { release(); }

    DataOffer(const DataOffer&) = delete;
    DataOffer& operator=(const DataOffer&) = delete;

    // Main thread, while the compositor announces the offer.
    void addType(const QString& mimeType) { m_types.append(mimeType); }
    // Fixed once the offer became a selection.
    const QStringList& types() const { return m_types; }

    // Asks the owner to write the type into `fd` (the write end of a pipe; the caller still closes
    // its copy). Any thread. False once the offer is no longer the selection.
    bool receive(const QString& mimeType, int fd);
    // The offer is no longer the selection: later receives fail. Main thread.
    void release();

    wl_proxy* proxy() const { return m_proxy; }

private:
    std::mutex m_mutex;
    wl_proxy* m_proxy;
    WaylandConnection& m_connection;
    QStringList m_types;
};

}  // namespace orv
