#include "platform/wayland/WaylandPasteboard.h"

#include "platform/wayland/DataOffer.h"
#include "platform/wayland/DataOfferReader.h"

#include <QClipboard>
#include <QGuiApplication>

namespace orv {

namespace {

// The selection as it is when no client holds it.
class Unowned : public ReadablePasteboard {
public:
    QStringList formats() const override { return {}; }
    QByteArray data(const QString&) const override { return {}; }
    bool ownerless() const override { return true; }
};

}  // namespace

WaylandPasteboard::WaylandPasteboard(WaylandDataControl& control,
                                     WaylandDataControl::Selection selection)
    : m_control(control), m_selection(selection) {
    // Every change the compositor reports is another client's: our own echoes are not reported.
    QObject::connect(&control, &WaylandDataControl::changed, &notifier,
                     [this](WaylandDataControl::Selection changed) {
                         if (changed == m_selection) {
                             notifier.announce();
                         }
                     });
}

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
        return std::make_shared<PasteboardSnapshot>(*own, true);
    }
    // A copy made in one of our windows (the search field), relayed from XWayland or made
    // through Qt's own Wayland connection.
    if (const QClipboard* clipboard = QGuiApplication::clipboard();
        m_selection == WaylandDataControl::Selection::clipboard ? clipboard->ownsClipboard()
                                                                : clipboard->ownsSelection()) {
        return std::make_shared<PasteboardSnapshot>(PasteboardContents{}, true);
    }
    auto offer = m_control.offer(m_selection);
    if (!offer) {
        return std::make_shared<Unowned>();
    }
    return std::make_shared<DataOfferReader>(std::move(offer), readLimits);
}

}  // namespace orv
