#include "platform/wayland/DataOfferReader.h"

#include "logging/Logging.h"
#include "platform/MimeTypes.h"
#include "platform/wayland/DataOffer.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace orv {

namespace {

// Waits wake this often to see a cancel.
constexpr int kPollSliceMs = 50;
constexpr qsizetype kChunk = 64 * 1024;

// UTF-8 text under the names X11 clients (through XWayland) and toolkits offer it.
const QStringList kUtf8TextNames{QStringLiteral("UTF8_STRING"), MimeTypes::plainText,
                                 MimeTypes::plainUtf8Text};

struct Fd {
    int fd = -1;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
};

}  // namespace

DataOfferReader::DataOfferReader(std::shared_ptr<DataOffer> offer, SelectionReadLimits limits)
    : m_offer(std::move(offer)), m_limits(limits) {}

QStringList DataOfferReader::formatsOf(const QStringList& offered) {
    QStringList formats = offered;
    if (!formats.contains(MimeTypes::plainText) &&
        std::any_of(offered.begin(), offered.end(),
                    [](const QString& type) { return kUtf8TextNames.contains(type); })) {
        formats.append(MimeTypes::plainText);
    }
    return formats;
}

QStringList DataOfferReader::formats() const {
    return m_offer ? formatsOf(m_offer->types()) : QStringList();
}

QByteArray DataOfferReader::data(const QString& mimeType) const {
    if (const auto known = m_data.constFind(mimeType); known != m_data.cend()) {
        return *known;
    }
    QByteArray& bytes = m_data[mimeType];
    const bool image = mimeType.startsWith(QStringLiteral("image/"));
    // An image too big for the history must not be replaced by the text offered beside it.
    if (!m_offer || m_failed || m_cancelled || (m_imageTooBig && !image)) {
        return bytes;
    }
    QStringList candidates{mimeType};
    if (mimeType == MimeTypes::plainText || mimeType == MimeTypes::plainUtf8Text) {
        // UTF8_STRING first: GTK writes its text/plain types with CR LF, its X11 names with LF.
        candidates = kUtf8TextNames;
        candidates.move(candidates.indexOf(mimeType), 1);
    }
    for (const QString& name : std::as_const(candidates)) {
        if (!m_offer->types().contains(name)) {
            continue;
        }
        auto read = transfer(name, m_limits.capFor(mimeType));
        if (!read || (read->truncated && !image && !SelectionReadLimits::cutIsUsable(mimeType))) {
            return bytes;
        }
        m_imageTooBig = m_imageTooBig || (image && read->truncated);
        if (kUtf8TextNames.contains(name)) {
            if (read->bytes.endsWith('\0')) {
                read->bytes.chop(1);
            }
            // A bridge may hand over an image's bytes as text.
            if (const char* why = whyNotText(read->bytes, true, read->truncated)) {
                qCInfo(lcOfferReader).noquote() << "skipping" << name << "as text:" << why;
                continue;
            }
        }
        bytes = read->bytes;
        return bytes;
    }
    return bytes;
}

std::optional<DataOfferReader::Transfer> DataOfferReader::transfer(const QString& offeredType,
                                                                   qsizetype cap) const {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        qCWarning(lcOfferReader) << "no pipe:" << strerror(errno);
        m_failed = true;
        return std::nullopt;
    }
    // Only our end: owners write with plain blocking writes, and one that meets EAGAIN gives up
    // part-way, which reads as a complete, shorter transfer.
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    Fd readEnd{ends[0]};
    Fd writeEnd{ends[1]};
    if (!m_offer->receive(offeredType, writeEnd.fd)) {
        m_failed = true;
        return std::nullopt;
    }
    // Only the owner's copy may stay open, or the end of the data never shows.
    writeEnd.reset();

    Transfer result;
    QElapsedTimer total;
    QElapsedTimer silence;
    total.start();
    silence.start();
    while (true) {
        if (m_cancelled) {
            qCDebug(lcOfferReader) << "read cancelled";
            return std::nullopt;
        }
        if (silence.elapsed() >= m_limits.answerTimeout.count() ||
            total.elapsed() >= m_limits.readTimeout.count()) {
            qCInfo(lcOfferReader) << "the owner of" << offeredType << "did not finish in time";
            m_failed = true;
            return std::nullopt;
        }
        pollfd waiting{readEnd.fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, kPollSliceMs);
        if (ready < 0 && errno != EINTR) {
            m_failed = true;
            return std::nullopt;
        }
        if (ready <= 0) {
            continue;
        }
        const qsizetype wanted = std::min(kChunk, cap - result.bytes.size());
        const qsizetype offset = result.bytes.size();
        result.bytes.resize(offset + wanted);
        const ssize_t got = ::read(readEnd.fd, result.bytes.data() + offset, size_t(wanted));
        result.bytes.resize(offset + std::max<ssize_t>(got, 0));
        if (got == 0) {
            return result;
        }
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            m_failed = true;
            return std::nullopt;
        }
        silence.restart();
        if (result.bytes.size() >= cap) {
            result.truncated = true;
            return result;
        }
    }
}

}  // namespace orv
