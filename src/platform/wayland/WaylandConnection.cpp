#include "platform/wayland/WaylandConnection.h"

#include "logging/Logging.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace orv {

namespace {

void announce(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    static_cast<std::vector<WaylandConnection::Global>*>(data)->push_back(
        {name, QByteArray(interface), version});
}

void withdraw(void* data, wl_registry*, uint32_t name) {
    auto* globals = static_cast<std::vector<WaylandConnection::Global>*>(data);
    std::erase_if(*globals, [name](const auto& global) { return global.name == name; });
}

const wl_registry_listener kRegistryListener{announce, withdraw};

}  // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connectToSession() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return nullptr;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        qCInfo(lcWayland) << "no Wayland compositor reachable:" << std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->roundtrip()) {
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : m_display(display) {
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, &m_globals);
    m_notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
}

WaylandConnection::~WaylandConnection() {
    m_notifier.reset();
    if (m_registry != nullptr) {
        wl_registry_destroy(m_registry);
    }
    wl_display_disconnect(m_display);
}

std::optional<WaylandConnection::Global> WaylandConnection::global(const char* interface) const {
    for (const Global& global : m_globals) {
        if (global.interface == interface) {
            return global;
        }
    }
    return std::nullopt;
}

wl_proxy* WaylandConnection::bind(const Global& global, const wl_interface* interface,
                                  quint32 version) {
    auto* proxy = static_cast<wl_proxy*>(
        wl_registry_bind(m_registry, global.name, interface, std::min(version, global.version)));
    flush();
    return proxy;
}

void WaylandConnection::flush() {
    if (!m_broken && wl_display_flush(m_display) < 0 && errno != EAGAIN) {
        // Noticed on the main thread by the next read.
        qCWarning(lcWayland) << "flush failed:" << std::strerror(errno);
    }
}

bool WaylandConnection::roundtrip() {
    if (m_broken || wl_display_roundtrip(m_display) < 0) {
        fail();
        return false;
    }
    return true;
}

// The socket has data: read it without blocking and run the handlers.
void WaylandConnection::readEvents() {
    if (m_broken) {
        return;
    }
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            fail();
            return;
        }
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        fail();
        return;
    }
    flush();
}

void WaylandConnection::fail() {
    if (m_broken) {
        return;
    }
    m_broken = true;
    if (m_notifier) {
        m_notifier->setEnabled(false);
    }
    qCWarning(lcWayland) << "the Wayland connection broke:"
                         << std::strerror(wl_display_get_error(m_display));
    emit broken();
}

}  // namespace orv
