#pragma once

#include "platform/Pasteboard.h"
#include "platform/SelectionReadLimits.h"

#include <QHash>

#include <atomic>
#include <chrono>
#include <memory>

namespace orv {

// A selection (CLIPBOARD unless told) read on an X connection of its own, so that a long transfer
// or an owner that never answers holds only the thread that reads, never Qt's connection on the
// main thread. One object serves one read: it connects on first use, asks for the targets once and
// for each type when it is first wanted. Only the types the program reads are listed
// (MimeTypes::readable and the marker types), by Qt's names: UTF8_STRING, STRING and TEXT are
// "text/plain", other targets go by their atom names.
//
// Every answer comes from the owner the read began with: a request that could reach another owner
// ends the read, so that two copies never mix. Once the clipboard changed, the owner is waited for
// only while its window lives, and briefly.
//
// Used by one thread at a time; only cancel() and ownerReplaced() may come from another.
class X11SelectionReader : public ReadablePasteboard {
public:
    explicit X11SelectionReader(QByteArray displayName, SelectionReadLimits limits = {},
                                QByteArray selection = "CLIPBOARD");
    ~X11SelectionReader() override;

    QStringList formats() const override;
    QByteArray data(const QString& mimeType) const override;
    bool complete() const override;
    void cancel() override;
    void ownerReplaced() override;
    bool ownerless() const override;

private:
    class Session;
    // Nothing once the connection failed.
    Session* session() const;

    QByteArray m_displayName;
    QByteArray m_selection;
    SelectionReadLimits m_limits;
    std::atomic_bool m_cancelled = false;
    std::atomic_bool m_replaced = false;
    mutable std::unique_ptr<Session> m_session;
    mutable bool m_connectFailed = false;
    mutable bool m_imageTooBig = false;
    mutable QHash<QString, QByteArray> m_data;
};

}  // namespace orv
