#pragma once

#include "platform/Pasteboard.h"
#include "platform/SelectionReadLimits.h"

#include <QHash>

#include <atomic>
#include <memory>

namespace orv {

class DataOffer;

// One read of a Wayland selection in a worker thread: each type asked for comes through a pipe of
// its own, read without help from the main thread (which serves our own offers, so a read of our
// own write cannot deadlock), within the limits. Type names are MIME names; the X11 names of
// UTF-8 text, and its charset-qualified name, stand for "text/plain" as Qt's do.
//
// Used by one thread at a time; only cancel() may come from another.
class DataOfferReader : public ReadablePasteboard {
public:
    // An empty offer reads as an empty selection.
    DataOfferReader(std::shared_ptr<DataOffer> offer, SelectionReadLimits limits = {});

    // The offered types as the clipboard code names them.
    static QStringList formatsOf(const QStringList& offered);

    QStringList formats() const override;
    QByteArray data(const QString& mimeType) const override;
    bool complete() const override { return !m_failed && !m_cancelled; }
    void cancel() override { m_cancelled = true; }

private:
    struct Transfer {
        QByteArray bytes;
        bool truncated = false;
    };
    // Nothing when the owner does not answer in time, the offer is gone or the read is cancelled.
    std::optional<Transfer> transfer(const QString& offeredType, qsizetype cap) const;

    std::shared_ptr<DataOffer> m_offer;
    SelectionReadLimits m_limits;
    std::atomic_bool m_cancelled = false;
    mutable bool m_failed = false;
    mutable bool m_imageTooBig = false;
    mutable QHash<QString, QByteArray> m_data;
};

}  // namespace orv
