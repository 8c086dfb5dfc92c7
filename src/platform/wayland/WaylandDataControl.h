#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <vector>

struct wl_proxy;

namespace orv {

class DataOffer;
class WaylandConnection;

// The clipboard and the primary selection of the seat, watched and set through the data-control
// protocol, which lets a client without a focused window see every selection. Both names of the
// protocol are spoken: ext-data-control-v1 and its forerunner wlr-data-control-unstable-v1.
//
// Each selection keeps a change count: it grows by one with every new owner. A write of ours
// counts at once; the compositor's echo of it (recognised by a private type in our offers, while
// our source is still the selection) does not count again.
class WaylandDataControl : public QObject {
    Q_OBJECT

public:
    enum class Selection { clipboard, primary };
    // One of the protocol's two names, with what it offers.
    struct Protocol;
    // Offered beside our own contents, so that their echo is known.
    static inline const QString ownType = QStringLiteral("application/x-orvantide-source");
    // Types kept of an offer before only those a read looks at are.
    static constexpr qsizetype maximumOfferedTypes = 256;

    // Nothing when the compositor offers neither protocol or no seat.
    static std::unique_ptr<WaylandDataControl> create(WaylandConnection& connection);
    ~WaylandDataControl() override;

    // "ext-data-control-v1" or "wlr-data-control-unstable-v1".
    QString protocolName() const;
    bool hasPrimarySelection() const;

    qint64 changeCount(Selection selection) const { return state(selection).changeCount; }
    // The offer of another client, or nothing when the selection is empty or ours.
    std::shared_ptr<DataOffer> offer(Selection selection) const { return state(selection).offer; }
    // What we put on the selection, while it is still ours.
    const PasteboardContents* ownContents(Selection selection) const;
    // Replaces the selection; empty contents clear it.
    void write(Selection selection, const PasteboardContents& contents);

signals:
    void changed(Selection selection);

private:
    class Source;
    struct State {
        std::shared_ptr<DataOffer> offer;
        Source* source = nullptr;  // owned by m_sources
        qint64 changeCount = 0;
        // Our own clear is on its way back.
        bool clearing = false;
    };

    WaylandDataControl(WaylandConnection& connection, const Protocol& protocol, wl_proxy* manager,
                       wl_proxy* seat);
    State& state(Selection selection) { return m_states[size_t(selection)]; }
    const State& state(Selection selection) const { return m_states[size_t(selection)]; }

    void offerIntroduced(wl_proxy* offer);
    void offerTyped(wl_proxy* offer, const char* mimeType);
    void selectionSet(Selection selection, wl_proxy* offer);
    void sourceCancelled(Source* source);
    void deviceFinished();

    WaylandConnection& m_connection;
    const Protocol& m_protocol;
    wl_proxy* m_manager;
    wl_proxy* m_seat;
    wl_proxy* m_device = nullptr;
    // Introduced by the compositor and not yet a selection.
    std::vector<std::shared_ptr<DataOffer>> m_pending;
    std::array<State, 2> m_states;
    std::vector<std::unique_ptr<Source>> m_sources;

    friend struct DataControlEvents;
};

}  // namespace orv
