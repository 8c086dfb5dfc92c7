#include "settings/HotKeyRecorder.h"

#include "platform/xdg/ShortcutText.h"
#include "ui/InterfaceStyle.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace orv {

HotKeyRecorder::HotKeyRecorder(QKeyCombination combo, QWidget* parent)
    : QWidget(parent), m_combo(combo) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    m_label = new QLabel(this);
    m_label->setFont(
        InterfaceStyle::font(m_label->font(), InterfaceStyle::headlinePixels, QFont::DemiBold));
    m_label->setMinimumWidth(96);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    m_button = new QPushButton(this);
    layout->addWidget(m_button, 0, Qt::AlignVCenter);
    connect(m_button, &QPushButton::clicked, this, [this] { setRecording(!m_recording); });

    refresh();
}

HotKeyRecorder::~HotKeyRecorder() {
    // A control torn down mid-recording must not leave the hot key suspended.
    if (m_recording || m_monitoring) {
        setRecording(false);
    }
}

void HotKeyRecorder::setCombo(QKeyCombination combo) {
    m_combo = combo;
    refresh();
}

void HotKeyRecorder::setRecording(bool recording) {
    if (m_monitoring) {
        qApp->removeEventFilter(this);
        m_monitoring = false;
    }
    m_recording = recording;
    refresh();
    emit recordingChanged(recording);
    if (recording) {
        qApp->installEventFilter(this);
        m_monitoring = true;
    }
}

bool HotKeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!m_monitoring) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Accepted, so no application shortcut fires and the press comes to us instead.
            event->accept();
            return true;
        case QEvent::KeyPress:
            keyPressed(static_cast<const QKeyEvent&>(*event));
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

void HotKeyRecorder::keyPressed(const QKeyEvent& event) {
    std::optional<QKeyCombination> combo = HotKey::fromKeyPress(event);
    const bool escape = event.key() == Qt::Key_Escape || (combo && combo->key() == Qt::Key_Escape);
    if (escape) {
        combo.reset();
    } else if (!combo || !HotKey::canBeHotKey(*combo)) {
        return;
    }
    // Acted on once the press has been swallowed. A press that was swallowed but is acted on
    // after recording ended some other way (hidden, cancelled, an earlier press) changes nothing.
    QMetaObject::invokeMethod(
        this,
        [this, combo] {
            if (!m_recording) {
                return;
            }
            if (combo) {
                m_combo = *combo;
                emit comboChanged(*combo);
            }
            setRecording(false);
        },
        Qt::QueuedConnection);
}

void HotKeyRecorder::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    setRecording(false);
}

void HotKeyRecorder::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        refresh();
    }
}

void HotKeyRecorder::refresh() {
    m_label->setText(m_recording ? QStringLiteral("Pulsa una combinación…")
                                 : ShortcutText::of(m_combo));
    m_button->setText(m_recording ? QStringLiteral("Cancelar") : QStringLiteral("Cambiar"));
    m_button->setAccessibleName(
        m_recording ? QStringLiteral("Cancelar la grabación del atajo")
                    : QStringLiteral("Cambiar el atajo (%1)").arg(ShortcutText::of(m_combo)));
    const QPalette& colors = palette();
    const QColor text =
        m_recording ? InterfaceStyle::accent(colors, 1.0) : InterfaceStyle::primary(colors, 1.0);
    const QColor fill = InterfaceStyle::primary(colors, m_recording ? 0.10 : 0.06);
    m_label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 8px;"
                                          " padding: 7px 12px; }")
                               .arg(InterfaceStyle::css(text), InterfaceStyle::css(fill)));
}

}  // namespace orv
