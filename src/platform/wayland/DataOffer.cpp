#include "platform/wayland/DataOffer.h"

#include "platform/wayland/WaylandConnection.h"

#include "ext-data-control-v1-client-protocol.h"

namespace orv {

// The ext- and wlr- offers share their requests (see WaylandDataControl.cpp).
bool DataOffer::receive(const QString& mimeType, int fd) {
    const std::lock_guard lock(m_mutex);
    if (m_proxy == nullptr) {
        return false;
    }
    ext_data_control_offer_v1_receive(reinterpret_cast<ext_data_control_offer_v1*>(m_proxy),
                                      mimeType.toUtf8().constData(), fd);
    m_connection.flush();
    return true;
}

void DataOffer::release() {
    const std::lock_guard lock(m_mutex);
    if (m_proxy != nullptr) {
        ext_data_control_offer_v1_destroy(reinterpret_cast<ext_data_control_offer_v1*>(m_proxy));
        m_connection.flush();
        m_proxy = nullptr;
    }
}

}  // namespace orv
