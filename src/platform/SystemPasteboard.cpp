#include "platform/SystemPasteboard.h"

#include <QClipboard>
#include <QColor>
#include <QMimeData>
#include <QtEndian>

#include "platform/X11Display.h"

namespace {

// Qt carries "application/x-color" as a QColor, not as bytes; the bytes are four host-order
// 16-bit values (red, green, blue, alpha) as on the wire.
const QString kColor = QStringLiteral("application/x-color");

QByteArray colorBytes(const QColor& color) {
    const QRgba64 rgba = color.rgba64();
    QByteArray bytes(8, '\0');
    const quint16 values[] = {rgba.red(), rgba.green(), rgba.blue(), rgba.alpha()};
    for (int i = 0; i < 4; ++i) {
        qToUnaligned(values[i], bytes.data() + 2 * i);
    }
    return bytes;
}

QColor colorOf(const QByteArray& bytes) {
    if (bytes.size() < 8) {
        return {};
    }
    const auto value = [&bytes](int i) {
        return qFromUnaligned<quint16>(bytes.constData() + 2 * i);
    };
    return QColor::fromRgba64(value(0), value(1), value(2), value(3));
}

}  // namespace

SystemPasteboard::SystemPasteboard(QClipboard* clipboard, QClipboard::Mode mode, QObject* parent)
    : QObject(parent), m_clipboard(clipboard), m_mode(mode) {
    connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode changed) {
        if (changed == m_mode) {
            ownerChanged();
        }
    });
}

// While we own the clipboard the notice can only be the echo of our own write, which was counted
// when it was made.
void SystemPasteboard::ownerChanged() {
    if (m_writing || (m_mode == QClipboard::Clipboard ? m_clipboard->ownsClipboard()
                                                      : m_clipboard->ownsSelection())) {
        return;
    }
    ++m_changeCount;
}

QStringList SystemPasteboard::formats() const {
    const QMimeData* mime = m_clipboard->mimeData(m_mode);
    return mime ? mime->formats() : QStringList();
}

QByteArray SystemPasteboard::data(const QString& mimeType) const {
    const QMimeData* mime = m_clipboard->mimeData(m_mode);
    if (mime == nullptr) {
        return {};
    }
    if (mimeType == kColor) {
        const QColor color = mime->colorData().value<QColor>();
        return color.isValid() ? colorBytes(color) : QByteArray();
    }
    return mime->data(mimeType);
}

std::shared_ptr<ReadablePasteboard> SystemPasteboard::reader() const {
    if (Display* display = X11Display::get()) {
        return std::make_shared<X11SelectionReader>(
            QByteArray(DisplayString(display)), readLimits,
            m_mode == QClipboard::Clipboard ? "CLIPBOARD" : "PRIMARY");
    }
    return std::make_shared<PasteboardSnapshot>(*this);
}

void SystemPasteboard::write(const PasteboardContents& contents) {
    auto* mime = new QMimeData;  // the clipboard takes ownership
    for (auto it = contents.begin(); it != contents.end(); ++it) {
        if (it.key() == kColor) {
            mime->setColorData(colorOf(it.value()));
        } else {
            mime->setData(it.key(), it.value());
        }
    }
    m_writing = true;
    m_clipboard->setMimeData(mime, m_mode);
    m_writing = false;
    ++m_changeCount;
}
