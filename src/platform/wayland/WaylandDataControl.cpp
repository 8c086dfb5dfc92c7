#include "platform/wayland/WaylandDataControl.h"

#include "logging/Logging.h"
#include "platform/MimeTypes.h"
#include "platform/wayland/DataOffer.h"
#include "platform/wayland/OutgoingTransfer.h"
#include "platform/wayland/WaylandConnection.h"

#include <QSet>

#include <wayland-client.h>

#include <unistd.h>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace orv {

namespace {

// The two protocols are one protocol under two names: the same requests and events in the same
// order with the same arguments. The requests and listeners of the ext- names serve both; only
// the requests that create objects must name the interface of the protocol in use.
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION ==
              ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION ==
              ZWLR_DATA_CONTROL_DEVICE_V1_SET_PRIMARY_SELECTION);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE);
static_assert(EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
static_assert(sizeof(ext_data_control_device_v1_listener) ==
              sizeof(zwlr_data_control_device_v1_listener));
static_assert(sizeof(ext_data_control_source_v1_listener) ==
              sizeof(zwlr_data_control_source_v1_listener));
static_assert(sizeof(ext_data_control_offer_v1_listener) ==
              sizeof(zwlr_data_control_offer_v1_listener));

template <typename T>
T* as(wl_proxy* proxy) {
    return reinterpret_cast<T*>(proxy);
}

// Our text also goes by the X11 name that XWayland clients ask for.
const QString kUtf8String = QStringLiteral("UTF8_STRING");

}  // namespace

struct WaylandDataControl::Protocol {
    const char* global;
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    quint32 version;
    const char* name;
    // The version from which the primary selection is spoken.
    quint32 primarySince;
};

namespace {

const std::array kProtocols{
    WaylandDataControl::Protocol{
        "ext_data_control_manager_v1", &ext_data_control_manager_v1_interface,
        &ext_data_control_device_v1_interface, &ext_data_control_source_v1_interface, 1,
        "ext-data-control-v1", 1},
    WaylandDataControl::Protocol{
        "zwlr_data_control_manager_v1", &zwlr_data_control_manager_v1_interface,
        &zwlr_data_control_device_v1_interface, &zwlr_data_control_source_v1_interface, 2,
        "wlr-data-control-unstable-v1", 2},
};

}  // namespace

// A selection we set: served for as long as it is the selection.
class WaylandDataControl::Source {
public:
    Source(wl_proxy* proxy, Selection selection, PasteboardContents contents)
        : proxy(proxy), selection(selection), contents(std::move(contents)) {}
    ~Source() { ext_data_control_source_v1_destroy(as<ext_data_control_source_v1>(proxy)); }

    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    QByteArray bytes(const QString& mimeType) const {
        return contents.value(mimeType == kUtf8String ? MimeTypes::plainUtf8Text : mimeType);
    }

    wl_proxy* proxy;
    Selection selection;
    PasteboardContents contents;
};

// Routes the protocol's C callbacks to the object.
struct DataControlEvents {
    static void dataOffer(void* data, ext_data_control_device_v1*,
                          ext_data_control_offer_v1* offer) {
        static_cast<WaylandDataControl*>(data)->offerIntroduced(reinterpret_cast<wl_proxy*>(offer));
    }
    static void selection(void* data, ext_data_control_device_v1*,
                          ext_data_control_offer_v1* offer) {
        static_cast<WaylandDataControl*>(data)->selectionSet(
            WaylandDataControl::Selection::clipboard, reinterpret_cast<wl_proxy*>(offer));
    }
    static void primary(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
        static_cast<WaylandDataControl*>(data)->selectionSet(WaylandDataControl::Selection::primary,
                                                             reinterpret_cast<wl_proxy*>(offer));
    }
    static void finished(void* data, ext_data_control_device_v1*) {
        static_cast<WaylandDataControl*>(data)->deviceFinished();
    }
    static void offerType(void* data, ext_data_control_offer_v1* offer, const char* mimeType) {
        static_cast<WaylandDataControl*>(data)->offerTyped(reinterpret_cast<wl_proxy*>(offer),
                                                           mimeType);
    }
    static void send(void* data, ext_data_control_source_v1* proxy, const char* mimeType,
                     int32_t fd) {
        auto* control = static_cast<WaylandDataControl*>(data);
        for (const auto& source : control->m_sources) {
            if (source->proxy == reinterpret_cast<wl_proxy*>(proxy)) {
                // The transfer owns the descriptor from here on, and closes it when done.
                new OutgoingTransfer(fd, source->bytes(QString::fromUtf8(mimeType)), control);
                return;
            }
        }
        ::close(fd);
    }
    static void cancelled(void* data, ext_data_control_source_v1* proxy) {
        auto* control = static_cast<WaylandDataControl*>(data);
        for (const auto& source : control->m_sources) {
            if (source->proxy == reinterpret_cast<wl_proxy*>(proxy)) {
                control->sourceCancelled(source.get());
                return;
            }
        }
    }

    static constexpr ext_data_control_device_v1_listener device{dataOffer, selection, finished,
                                                                primary};
    static constexpr ext_data_control_offer_v1_listener offer{offerType};
    static constexpr ext_data_control_source_v1_listener source{send, cancelled};
};

std::unique_ptr<WaylandDataControl> WaylandDataControl::create(WaylandConnection& connection) {
    const auto seat = connection.global("wl_seat");
    for (const Protocol& protocol : kProtocols) {
        const auto manager = connection.global(protocol.global);
        if (!manager || !seat) {
            continue;
        }
        std::unique_ptr<WaylandDataControl> control(new WaylandDataControl(
            connection, protocol, connection.bind(*manager, protocol.manager, protocol.version),
            connection.bind(*seat, &wl_seat_interface, 1)));
        // The compositor answers with the selections as they stand.
        if (!connection.roundtrip() || control->m_device == nullptr) {
            return nullptr;
        }
        // The selections found on arrival are where counting starts, not changes.
        for (State& each : control->m_states) {
            each.changeCount = 0;
        }
        qCInfo(lcDataControl) << "clipboard through" << protocol.name << "version"
                              << wl_proxy_get_version(control->m_manager);
        return control;
    }
    return nullptr;
}

WaylandDataControl::WaylandDataControl(WaylandConnection& connection, const Protocol& protocol,
                                       wl_proxy* manager, wl_proxy* seat)
    : m_connection(connection), m_protocol(protocol), m_manager(manager), m_seat(seat) {
    m_device = static_cast<wl_proxy*>(wl_proxy_marshal_flags(
        m_manager, EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, protocol.device,
        wl_proxy_get_version(m_manager), 0, nullptr, m_seat));
    ext_data_control_device_v1_add_listener(as<ext_data_control_device_v1>(m_device),
                                            &DataControlEvents::device, this);
    m_connection.flush();
}

WaylandDataControl::~WaylandDataControl() {
    m_sources.clear();
    m_pending.clear();
    for (State& each : m_states) {
        each.offer.reset();
    }
    if (m_device != nullptr) {
        ext_data_control_device_v1_destroy(as<ext_data_control_device_v1>(m_device));
    }
    ext_data_control_manager_v1_destroy(as<ext_data_control_manager_v1>(m_manager));
    wl_proxy_destroy(m_seat);
    m_connection.flush();
}

QString WaylandDataControl::protocolName() const {
    return QString::fromLatin1(m_protocol.name);
}

bool WaylandDataControl::hasPrimarySelection() const {
    return wl_proxy_get_version(m_manager) >= m_protocol.primarySince;
}

const PasteboardContents* WaylandDataControl::ownContents(Selection selection) const {
    const Source* source = state(selection).source;
    return source ? &source->contents : nullptr;
}

void WaylandDataControl::write(Selection selection, const PasteboardContents& contents) {
    State& current = state(selection);
    ++current.changeCount;
    if (m_device == nullptr || (selection == Selection::primary && !hasPrimarySelection())) {
        return;
    }
    wl_proxy* proxy = nullptr;
    if (!contents.isEmpty()) {
        proxy = static_cast<wl_proxy*>(
            wl_proxy_marshal_flags(m_manager, EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
                                   m_protocol.source, wl_proxy_get_version(m_manager), 0, nullptr));
        ext_data_control_source_v1_add_listener(as<ext_data_control_source_v1>(proxy),
                                                &DataControlEvents::source, this);
        auto* source = as<ext_data_control_source_v1>(proxy);
        for (auto it = contents.begin(); it != contents.end(); ++it) {
            ext_data_control_source_v1_offer(source, it.key().toUtf8().constData());
        }
        if (contents.contains(MimeTypes::plainUtf8Text)) {
            ext_data_control_source_v1_offer(source, kUtf8String.toUtf8().constData());
        }
        ext_data_control_source_v1_offer(source, ownType.toUtf8().constData());
    }
    auto* device = as<ext_data_control_device_v1>(m_device);
    auto* source = as<ext_data_control_source_v1>(proxy);
    if (selection == Selection::clipboard) {
        ext_data_control_device_v1_set_selection(device, source);
    } else {
        ext_data_control_device_v1_set_primary_selection(device, source);
    }
    m_connection.flush();

    // The previous source of ours is cancelled by the compositor; the offer it showed is gone.
    if (current.offer) {
        current.offer->release();
        current.offer.reset();
    }
    current.clearing = proxy == nullptr;
    if (proxy != nullptr) {
        m_sources.push_back(std::make_unique<Source>(proxy, selection, contents));
        current.source = m_sources.back().get();
    } else if (current.source != nullptr) {
        sourceCancelled(current.source);
    }
}

void WaylandDataControl::offerIntroduced(wl_proxy* offer) {
    m_pending.push_back(std::make_shared<DataOffer>(offer, m_connection));
    ext_data_control_offer_v1_add_listener(as<ext_data_control_offer_v1>(offer),
                                           &DataControlEvents::offer, this);
}

// An owner may list any number of types: past the first few hundred, only those a read looks
// at (the marks of a password manager and our own among them) are kept.
void WaylandDataControl::offerTyped(wl_proxy* offer, const char* mimeType) {
    static const QSet<QString> read = [] {
        QSet<QString> names(MimeTypes::readable.begin(), MimeTypes::readable.end());
        names.unite({QStringLiteral("UTF8_STRING"), ReadablePasteboard::concealedType,
                     ReadablePasteboard::transientType, ReadablePasteboard::autoGeneratedType,
                     ownType});
        return names;
    }();
    for (const auto& pending : m_pending) {
        if (pending->proxy() == offer) {
            const QString type = QString::fromUtf8(mimeType);
            if (pending->types().size() < maximumOfferedTypes || read.contains(type)) {
                pending->addType(type);
            }
            return;
        }
    }
}

void WaylandDataControl::selectionSet(Selection selection, wl_proxy* proxy) {
    std::shared_ptr<DataOffer> offer;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if ((*it)->proxy() == proxy) {
            offer = *it;
            m_pending.erase(it);
            break;
        }
    }
    // Offers introduced before this one and never made a selection are dead.
    m_pending.clear();

    State& current = state(selection);
    const bool echo = offer ? offer->types().contains(ownType) && current.source != nullptr
                            : std::exchange(current.clearing, false);
    if (current.offer) {
        current.offer->release();
    }
    current.offer.reset();
    if (echo) {
        // Ours: read from what we keep, never through the compositor.
        if (offer) {
            offer->release();
        }
        return;
    }
    current.offer = std::move(offer);
    if (current.source != nullptr) {
        // Another client took the selection; the cancel that follows releases the source.
        current.source = nullptr;
    }
    current.clearing = false;
    ++current.changeCount;
    qCDebug(lcDataControl) << (selection == Selection::clipboard ? "clipboard" : "primary")
                           << "changed:"
                           << (current.offer ? current.offer->types() : QStringList());
    emit changed(selection);
}

void WaylandDataControl::sourceCancelled(Source* source) {
    for (State& each : m_states) {
        if (each.source == source) {
            each.source = nullptr;
        }
    }
    std::erase_if(m_sources, [source](const auto& owned) { return owned.get() == source; });
    m_connection.flush();
}

void WaylandDataControl::deviceFinished() {
    qCWarning(lcDataControl) << "the compositor withdrew the clipboard device";
    ext_data_control_device_v1_destroy(as<ext_data_control_device_v1>(m_device));
    m_device = nullptr;
    m_connection.flush();
}

}  // namespace orv
