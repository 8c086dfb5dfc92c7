#pragma once

#include "hotkey/HotKey.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace orv {

// The shortcut field of the settings: shows the combination and, after "Cambiar", takes the next
// combination pressed anywhere in the application.
//
// While recording, every key press in the application is swallowed, so the keys typed reach no
// other control and trigger no shortcut. Hiding or destroying the control ends the recording, so
// the owner never keeps the global hot key suspended.
class HotKeyRecorder : public QWidget {
    Q_OBJECT

public:
    explicit HotKeyRecorder(QKeyCombination combo = HotKey::defaultCombination,
                            QWidget* parent = nullptr);
    ~HotKeyRecorder() override;

    QKeyCombination combo() const { return m_combo; }
    // From the owner (the bound value changed elsewhere): shown, not reported back.
    void setCombo(QKeyCombination combo);

    bool isRecording() const { return m_recording; }
    // Reports the state through recordingChanged every time, also when it does not change.
    void setRecording(bool recording);

    QLabel* comboLabel() const { return m_label; }
    QPushButton* button() const { return m_button; }

signals:
    // A recorded combination, before recording stops.
    void comboChanged(QKeyCombination combo);
    void recordingChanged(bool recording);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void keyPressed(const QKeyEvent& event);
    void refresh();

    QKeyCombination m_combo;
    bool m_recording = false;
    bool m_monitoring = false;
    QLabel* m_label;
    QPushButton* m_button;
};

}  // namespace orv
