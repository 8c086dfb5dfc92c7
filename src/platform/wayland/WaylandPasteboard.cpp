#include "platform/wayland/WaylandPasteboard.h"

#include "platform/wayland/DataOffer.h"
#include "platform/wayland/DataOfferReader.h"

namespace orv {

QStringList WaylandPasteboard::formats() const {
    if (const PasteboardContents* own = m_control.ownContents(m_selection)) {
        return own->keys();
    }
    const auto offer = m_control.offer(m_selection);
    return offer ? DataOfferReader::formatsOf(offer->types()) : QStringList();
}

QByteArray WaylandPasteboard::data(const QString& mimeType) const {
    return reader()->data(mimeType);
}

void WaylandPasteboard::write(const PasteboardContents& contents) {
    m_control.write(m_selection, contents);
}

std::shared_ptr<ReadablePasteboard> WaylandPasteboard::reader() const {
    if (const PasteboardContents* own = m_control.ownContents(m_selection)) {
        return std::make_shared<PasteboardSnapshot>(*own);
    }
    return std::make_shared<DataOfferReader>(m_control.offer(m_selection), readLimits);
}

}  // namespace orv
