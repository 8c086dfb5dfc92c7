#pragma once

#include "platform/Pasteboard.h"

#include <QHash>

#include <atomic>
#include <chrono>
#include <memory>

namespace orv {

struct X11SelectionLimits {
    // An owner that sends nothing for this long ends the read with nothing.
    std::chrono::milliseconds answerTimeout{2000};
    // No read lasts longer, however slowly its owner sends.
    std::chrono::milliseconds readTimeout{10000};
    // The history refuses images over 20 MiB; one byte more keeps that outcome without reading
    // the rest.
    qsizetype imageBytes = 20 * 1024 * 1024 + 1;
    // A text keeps 100 000 characters and its HTML 200 000, so reading on only costs memory.
    // Sixteen bytes a character: UTF-8 needs at most 4 per code point, and real text averages
    // far fewer per character even in scripts of three-byte letters or with flags and emoji of two
    // code points; only long runs of joined emoji or stacked accents are cut sooner (whole
    // characters still). The cut part of a text is kept.
    qsizetype textBytes = 100'000 * 16;
    qsizetype htmlBytes = 200'000 * 16;
    // Anything else (lists of files, colours) past this is not kept at all.
    qsizetype otherBytes = 4 * 1024 * 1024;
};

// A selection (CLIPBOARD unless told) read on an X connection of its own, so that a long transfer
// or an owner that never answers holds only the thread that reads, never Qt's connection on the
// main thread. One object serves one read: it connects on first use, asks for the targets once and
// for each type when it is first wanted. Type names are Qt's: UTF8_STRING, STRING and TEXT are
// "text/plain", other targets go by their atom names.
//
// Used by one thread at a time; only cancel() may come from another.
class X11SelectionReader : public ReadablePasteboard {
public:
    explicit X11SelectionReader(QByteArray displayName, X11SelectionLimits limits = {},
                                QByteArray selection = "CLIPBOARD");
    ~X11SelectionReader() override;

    QStringList formats() const override;
    QByteArray data(const QString& mimeType) const override;
    bool complete() const override;
    void cancel() override;

private:
    class Session;
    // Nothing once the connection failed.
    Session* session() const;
    // How much of this type is read.
    qsizetype capFor(const QString& mimeType) const;

    QByteArray m_displayName;
    QByteArray m_selection;
    X11SelectionLimits m_limits;
    std::atomic_bool m_cancelled = false;
    mutable std::unique_ptr<Session> m_session;
    mutable bool m_connectFailed = false;
    mutable bool m_imageTooBig = false;
    mutable QHash<QString, QByteArray> m_data;
};

}  // namespace orv
