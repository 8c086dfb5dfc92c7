#include "platform/x11/SystemPasteboard.h"

#include "platform/MimeTypes.h"

#include <QClipboard>
#include <QColor>
#include <QMimeData>

#include "platform/x11/X11Display.h"

namespace orv {

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
    notifier.announce();
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
    if (mimeType == MimeTypes::color) {
        const QColor color = mime->colorData().value<QColor>();
        // Qt hands this type over as a QColor, not as its bytes.
        return color.isValid() ? MimeTypes::encodeColor(color.rgba64()) : QByteArray();
    }
    return mime->data(mimeType);
}

std::shared_ptr<ReadablePasteboard> SystemPasteboard::reader() const {
    if (m_mode == QClipboard::Clipboard ? m_clipboard->ownsClipboard()
                                        : m_clipboard->ownsSelection()) {
        return std::make_shared<PasteboardSnapshot>(PasteboardContents{}, true);
    }
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
        if (it.key() == MimeTypes::color) {
            const auto rgba = MimeTypes::decodeColor(it.value());
            mime->setColorData(rgba ? QColor::fromRgba64(*rgba) : QColor());
        } else {
            mime->setData(it.key(), it.value());
        }
    }
    m_writing = true;
    m_clipboard->setMimeData(mime, m_mode);
    m_writing = false;
    ++m_changeCount;
}

}  // namespace orv
