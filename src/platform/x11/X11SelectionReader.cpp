#include "platform/x11/X11SelectionReader.h"

#include "platform/MimeTypes.h"

#include <QDeadlineTimer>
#include <QList>
#include <QLoggingCategory>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <poll.h>
#include <xcb/xcb.h>

namespace orv {

Q_LOGGING_CATEGORY(lcSelection, "orv.x11.selection", QtInfoMsg)

namespace {

// xcb hands out replies and events from malloc.
struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// Waits wake this often to see a cancel.
constexpr int kPollSliceMs = 50;
// Property bytes fetched per request, in 32-bit units (4 MiB).
constexpr uint32_t kChunkWords = 1U << 20;

uint8_t kind(const xcb_generic_event_t* event) {
    return event->response_type & 0x7F;
}

}  // namespace

class X11SelectionReader::Session {
public:
    struct Transfer {
        xcb_atom_t type = XCB_NONE;
        QByteArray bytes;
        // The owner had more than the cap.
        bool truncated = false;
    };
    struct Target {
        xcb_atom_t atom;
        QByteArray name;
    };

    static std::unique_ptr<Session> open(const QByteArray& displayName, const QByteArray& selection,
                                         const SelectionReadLimits& limits,
                                         const std::atomic_bool& cancelled,
                                         const std::atomic_bool& replaced) {
        int screenNumber = 0;
        Connection connection(
            xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber));
        if (xcb_connection_has_error(connection.get()) != 0) {
            qCWarning(lcSelection) << "cannot connect to the X display" << displayName;
            return nullptr;
        }
        xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
        for (int i = 0; i < screenNumber && screen.rem > 0; ++i) {
            xcb_screen_next(&screen);
        }
        if (screen.rem == 0) {
            return nullptr;
        }
        return std::make_unique<Session>(std::move(connection), screen.data->root, selection,
                                         limits, cancelled, replaced);
    }

    Session(Connection connection, xcb_window_t root, const QByteArray& selection,
            const SelectionReadLimits& limits, const std::atomic_bool& cancelled,
            const std::atomic_bool& replaced)
        : m_connection(std::move(connection)),
          m_window(m_connection.get()),
          m_limits(limits),
          m_cancelled(cancelled),
          m_replaced(replaced),
          m_deadline(limits.readTimeout) {
        xcb_connection_t* c = m_connection.get();
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, 0, m_window.id, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        const char* names[] = {selection.constData(), "TARGETS", "INCR", "TEXT", "UTF8_STRING",
                               "_ORVANTIDE_SELECTION"};
        xcb_intern_atom_cookie_t cookies[std::size(names)];
        for (size_t i = 0; i < std::size(names); ++i) {
            cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i])), names[i]);
        }
        xcb_atom_t* atoms[] = {&m_selection, &m_targetsAtom, &m_incr,
                               &m_text,      &m_utf8String,  &m_property};
        for (size_t i = 0; i < std::size(names); ++i) {
            XcbPointer<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(c, cookies[i], nullptr));
            *atoms[i] = reply ? reply->atom : XCB_NONE;
        }
    }

    bool failed() const { return m_failed; }
    // Nobody owned the selection when the read began.
    bool ownerless() const { return m_owner == XCB_NONE && !m_failed; }

    bool isPlainText(xcb_atom_t atom) const {
        return atom == m_utf8String || atom == XCB_ATOM_STRING || atom == m_text;
    }
    bool isUtf8(xcb_atom_t atom) const { return atom == m_utf8String; }

    const QList<Target>& targets() {
        if (!m_targetList) {
            m_targetList.emplace();
            if (auto transfer = convert(m_targetsAtom, m_limits.otherBytes)) {
                QList<xcb_atom_t> atoms(transfer->bytes.size() / qsizetype(sizeof(xcb_atom_t)));
                std::memcpy(atoms.data(), transfer->bytes.constData(),
                            size_t(atoms.size()) * sizeof(xcb_atom_t));
                m_targetList = named(atoms);
            }
        }
        return *m_targetList;
    }

    std::optional<xcb_atom_t> offered(const QByteArray& name) {
        for (const Target& target : targets()) {
            if (target.name == name) {
                return target.atom;
            }
        }
        return std::nullopt;
    }

    // Asks the owner for the selection as `target`: empty when it refuses; nothing when it does
    // not answer in time, the read was cancelled or the connection broke (the read has then
    // failed and asks nothing more).
    std::optional<Transfer> convert(xcb_atom_t target, qsizetype cap) {
        if (m_failed) {
            return std::nullopt;
        }
        if (!m_owner && m_replaced) {
            return fail("the clipboard changed before the read began", true);
        }
        xcb_connection_t* c = m_connection.get();
        // The owner just before and just after the request is the one asked. It must be the owner
        // the read began with, or the answers would mix two copies (a list of types without the
        // password manager's mark, then the password of the next owner).
        const auto before = xcb_get_selection_owner(c, m_selection);
        xcb_convert_selection(c, m_window.id, m_selection, target, m_property, XCB_CURRENT_TIME);
        const auto after = xcb_get_selection_owner(c, m_selection);
        xcb_flush(c);
        XcbPointer<xcb_get_selection_owner_reply_t> ownerBefore(
            xcb_get_selection_owner_reply(c, before, nullptr));
        XcbPointer<xcb_get_selection_owner_reply_t> ownerAfter(
            xcb_get_selection_owner_reply(c, after, nullptr));
        if (!ownerBefore || !ownerAfter) {
            return fail("the X connection broke");
        }
        if (!m_owner) {
            m_owner = ownerBefore->owner;
        }
        if (ownerBefore->owner != *m_owner || ownerAfter->owner != *m_owner) {
            return fail("the clipboard changed during the read", true);
        }
        const auto answer = waitFor([&](const xcb_generic_event_t* event) {
            if (kind(event) != XCB_SELECTION_NOTIFY) {
                return false;
            }
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
            return notify->requestor == m_window.id && notify->selection == m_selection &&
                   notify->target == target;
        });
        if (!answer) {
            return fail("the clipboard owner did not answer", m_replaced);
        }
        if (reinterpret_cast<const xcb_selection_notify_event_t*>(answer.get())->property ==
            XCB_NONE) {
            return Transfer{};
        }
        auto transfer = takeProperty(cap);
        if (!transfer) {
            return fail("the answer could not be read");
        }
        if (transfer->type == m_incr) {
            return incremental(cap);
        }
        return transfer;
    }

private:
    struct Window {
        explicit Window(xcb_connection_t* c) : connection(c), id(xcb_generate_id(c)) {}
        Window(const Window&) = delete;
        Window& operator=(const Window&) = delete;
        ~Window() {
            xcb_destroy_window(connection, id);
            xcb_flush(connection);
        }
        xcb_connection_t* connection;
        xcb_window_t id;
    };

    // `expected`: the clipboard moved on, nothing to report.
    std::nullopt_t fail(const char* why, bool expected = false) {
        if (m_cancelled) {
            qCDebug(lcSelection) << "read cancelled";
        } else if (expected) {
            qCDebug(lcSelection) << why;
        } else if (!m_failed) {
            qCInfo(lcSelection) << why;
        }
        m_failed = true;
        return std::nullopt;
    }

    // The next event that `wanted` accepts; none when the owner stays silent past the answer
    // timeout, the whole read runs out of time, it is cancelled or the connection breaks.
    XcbPointer<xcb_generic_event_t> waitFor(
        const std::function<bool(const xcb_generic_event_t*)>& wanted) {
        xcb_connection_t* c = m_connection.get();
        const QDeadlineTimer answer(m_limits.answerTimeout);
        std::optional<QDeadlineTimer> grace;
        for (;;) {
            while (XcbPointer<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
                if (wanted(event.get())) {
                    return event;
                }
            }
            if (xcb_connection_has_error(c) != 0 || m_cancelled) {
                return nullptr;
            }
            // A replaced owner may still answer what it was asked, unless it quit (as xclip does).
            if (m_replaced) {
                if (!grace) {
                    grace.emplace(m_limits.replacedOwnerTimeout);
                }
                if (!ownerWindowExists()) {
                    qCDebug(lcSelection) << "the replaced owner quit";
                    return nullptr;
                }
            }
            qint64 left = std::min(answer.remainingTime(), m_deadline.remainingTime());
            if (grace) {
                left = std::min(left, grace->remainingTime());
            }
            if (left <= 0) {
                return nullptr;
            }
            pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&descriptor, 1, int(std::min<qint64>(left, kPollSliceMs)));
        }
    }

    // Reads our property, at most `cap` bytes of it, then deletes it (which, during an
    // incremental transfer, asks the owner for the next piece).
    std::optional<Transfer> takeProperty(qsizetype cap) {
        xcb_connection_t* c = m_connection.get();
        Transfer transfer;
        for (uint32_t offset = 0;;) {
            // A word past the room tells whether there is more, without fetching it.
            const qsizetype roomWords = (cap - transfer.bytes.size()) / 4 + 1;
            const auto words = uint32_t(std::min<qsizetype>(kChunkWords, roomWords));
            const auto cookie = xcb_get_property(c, 0, m_window.id, m_property,
                                                 XCB_GET_PROPERTY_TYPE_ANY, offset, words);
            XcbPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
            if (!reply) {
                return std::nullopt;
            }
            transfer.type = reply->type;
            const int length = xcb_get_property_value_length(reply.get());
            const qsizetype room = cap - transfer.bytes.size();
            transfer.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                  std::min<qsizetype>(length, room));
            if (length > room || (reply->bytes_after > 0 && transfer.bytes.size() >= cap)) {
                transfer.truncated = true;
                break;
            }
            if (reply->bytes_after == 0) {
                break;
            }
            offset += uint32_t(length) / 4;
        }
        xcb_delete_property(c, m_window.id, m_property);
        xcb_flush(c);
        return transfer;
    }

    // The owner sends piece after piece, each once we deleted the one before; an empty piece
    // ends the transfer. Past the cap the rest is only let through, so that the owner finishes
    // as it expects.
    std::optional<Transfer> incremental(qsizetype cap) {
        xcb_connection_t* c = m_connection.get();
        Transfer whole;
        for (;;) {
            const auto piece = waitFor([&](const xcb_generic_event_t* event) {
                if (kind(event) != XCB_PROPERTY_NOTIFY) {
                    return false;
                }
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                return notify->window == m_window.id && notify->atom == m_property &&
                       notify->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!piece) {
                return whole.truncated ? std::optional(whole)
                                       : fail("the clipboard owner stopped sending", m_replaced);
            }
            if (whole.truncated) {
                const auto cookie = xcb_get_property(c, 0, m_window.id, m_property,
                                                     XCB_GET_PROPERTY_TYPE_ANY, 0, 0);
                XcbPointer<xcb_get_property_reply_t> size(
                    xcb_get_property_reply(c, cookie, nullptr));
                xcb_delete_property(c, m_window.id, m_property);
                xcb_flush(c);
                if (!size || size->bytes_after == 0) {
                    return whole;
                }
                continue;
            }
            auto part = takeProperty(cap - whole.bytes.size());
            if (!part) {
                return fail("a piece of the answer could not be read");
            }
            if (part->bytes.isEmpty() && !part->truncated) {
                return whole;
            }
            whole.type = part->type;
            whole.bytes += part->bytes;
            whole.truncated = part->truncated;
        }
    }

    bool ownerWindowExists() {
        if (!m_owner || *m_owner == XCB_NONE) {
            return false;
        }
        xcb_connection_t* c = m_connection.get();
        xcb_generic_error_t* error = nullptr;
        XcbPointer<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, *m_owner), &error));
        std::free(error);
        return geometry != nullptr;
    }

    QList<Target> named(const QList<xcb_atom_t>& atoms) {
        xcb_connection_t* c = m_connection.get();
        QList<xcb_get_atom_name_cookie_t> cookies;
        for (xcb_atom_t atom : atoms) {
            cookies.append(xcb_get_atom_name(c, atom));
        }
        QList<Target> targets;
        for (qsizetype i = 0; i < atoms.size(); ++i) {
            XcbPointer<xcb_get_atom_name_reply_t> reply(
                xcb_get_atom_name_reply(c, cookies[i], nullptr));
            if (reply) {
                targets.append({atoms[i], QByteArray(xcb_get_atom_name_name(reply.get()),
                                                     xcb_get_atom_name_name_length(reply.get()))});
            }
        }
        return targets;
    }

    Connection m_connection;
    Window m_window;
    const SelectionReadLimits m_limits;
    const std::atomic_bool& m_cancelled;
    const std::atomic_bool& m_replaced;
    const QDeadlineTimer m_deadline;
    xcb_atom_t m_selection = XCB_NONE;
    xcb_atom_t m_targetsAtom = XCB_NONE;
    xcb_atom_t m_incr = XCB_NONE;
    xcb_atom_t m_text = XCB_NONE;
    xcb_atom_t m_utf8String = XCB_NONE;
    xcb_atom_t m_property = XCB_NONE;
    std::optional<QList<Target>> m_targetList;
    // The window that held the selection when the read began (XCB_NONE: nobody).
    std::optional<xcb_window_t> m_owner;
    bool m_failed = false;
};

X11SelectionReader::X11SelectionReader(QByteArray displayName, SelectionReadLimits limits,
                                       QByteArray selection)
    : m_displayName(std::move(displayName)), m_selection(std::move(selection)), m_limits(limits) {}

X11SelectionReader::~X11SelectionReader() = default;

X11SelectionReader::Session* X11SelectionReader::session() const {
    if (!m_session && !m_connectFailed) {
        m_session = Session::open(m_displayName, m_selection, m_limits, m_cancelled, m_replaced);
        m_connectFailed = !m_session;
    }
    return m_session.get();
}

QStringList X11SelectionReader::formats() const {
    Session* s = session();
    if (s == nullptr) {
        return {};
    }
    QStringList formats;
    for (const Session::Target& target : s->targets()) {
        const QString format =
            s->isPlainText(target.atom) ? MimeTypes::plainText : QString::fromLatin1(target.name);
        if (!formats.contains(format)) {
            formats.append(format);
        }
    }
    return formats;
}

QByteArray X11SelectionReader::data(const QString& mimeType) const {
    if (const auto known = m_data.constFind(mimeType); known != m_data.cend()) {
        return *known;
    }
    QByteArray& bytes = m_data[mimeType];
    Session* s = session();
    const bool image = mimeType.startsWith(QStringLiteral("image/"));
    // An image too big for the history must not be replaced by the text offered beside it.
    if (s == nullptr || s->failed() || (m_imageTooBig && !image)) {
        return bytes;
    }
    QByteArrayList candidates{mimeType.toLatin1()};
    if (mimeType == MimeTypes::plainText) {
        candidates = {"UTF8_STRING", "STRING", "TEXT", "text/plain"};
    } else if (mimeType == MimeTypes::plainUtf8Text) {
        candidates.append("UTF8_STRING");
    }
    for (const QByteArray& name : std::as_const(candidates)) {
        const auto target = s->offered(name);
        if (!target) {
            continue;
        }
        auto transfer = s->convert(*target, m_limits.capFor(mimeType));
        if (!transfer ||
            (transfer->truncated && !image && !SelectionReadLimits::cutIsUsable(mimeType))) {
            return bytes;
        }
        m_imageTooBig = m_imageTooBig || (image && transfer->truncated);
        bytes = transfer->bytes;
        if (s->isPlainText(*target)) {
            if (bytes.endsWith('\0')) {
                bytes.chop(1);
            }
            // STRING is Latin-1, and so is TEXT unless the owner says otherwise.
            if (!s->isUtf8(*target) && !s->isUtf8(transfer->type)) {
                bytes = QString::fromLatin1(bytes).toUtf8();
            }
        }
        return bytes;
    }
    return bytes;
}

bool X11SelectionReader::complete() const {
    return !m_cancelled && !m_connectFailed && !(m_session && m_session->failed());
}

void X11SelectionReader::cancel() {
    m_cancelled = true;
}

void X11SelectionReader::ownerReplaced() {
    m_replaced = true;
}

bool X11SelectionReader::ownerless() const {
    return complete() && m_session && m_session->ownerless();
}

}  // namespace orv
