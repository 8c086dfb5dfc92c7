#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

namespace orv {

class DesktopShortcut;
class HotKeyRecorder;
class PreferencesStore;

class SettingsCard;

// The content of the "Preferencias" window: every control writes straight into the preferences and
// follows their changes; there is nothing to save or cancel.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize fixedSize{500, 560};

    explicit SettingsView(PreferencesStore& preferences, QWidget* parent = nullptr);
    ~SettingsView() override;

    // The editor's lines, trimmed, without the empty ones, in order.
    static QStringList excludedAppsFrom(const QString& text);

    QWidget* header() const { return m_header; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    SettingsCard* generalCard() const { return m_generalCard; }
    SettingsCard* shortcutCard() const { return m_shortcutCard; }
    SettingsCard* historyCard() const { return m_historyCard; }
    QCheckBox* autoPasteSwitch() const { return m_autoPaste; }
    QCheckBox* pausedSwitch() const { return m_paused; }
    QCheckBox* launchAtLoginSwitch() const { return m_launchAtLogin; }
    // Shown only where the desktop's remote-desktop portal is the one way to send keys.
    void setRemoteDesktopOffered(bool offered);
    QCheckBox* remoteDesktopSwitch() const { return m_remoteDesktopKeys; }
    // Under the switch: why the remote desktop does not work; none while it does or is off.
    void setRemoteDesktopNote(const QString& note);
    QLabel* remoteDesktopNote() const { return m_remoteDesktopNote; }
    // Opens "Permisos", where what each desktop service goes through is listed.
    QPushButton* permissionsButton() const { return m_permissionsButton; }
    QLabel* launchAtLoginStatus() const { return m_launchStatus; }
    HotKeyRecorder* recorder() const { return m_recorder; }
    QLabel* hotKeyStatus() const { return m_hotKeyStatus; }
    QComboBox* maxItemsPicker() const { return m_maxItems; }
    QComboBox* retentionPicker() const { return m_retention; }
    QPlainTextEdit* excludedEditor() const { return m_excluded; }
    // Beside "Aplicaciones excluidas": what the exclusions can see on this desktop; none when
    // they see every application.
    void setExclusionsNote(const QString& note);
    QLabel* exclusionsNote() const { return m_exclusionsNote; }
    // Offers the desktop's own shortcut while the hot key does not work, where it can be made.
    void setDesktopShortcut(DesktopShortcut* shortcut);
    QPushButton* desktopShortcutButton() const { return m_shortcutButton; }
    QLabel* desktopShortcutResult() const { return m_shortcutResult; }

signals:
    void permissionsRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    SettingsCard* buildGeneralCard();
    SettingsCard* buildShortcutCard();
    SettingsCard* buildHistoryCard();
    QWidget* toggleRow(QCheckBox* toggle, const QString& caption = QString());
    QWidget* labeledPicker(const QString& label, QComboBox* picker);
    QWidget* excludedBlock();
    QLabel* caption(const QString& text);
    QWidget* divider();

    void followPreferences();
    void showDesktopShortcut();
    void excludedTextChanged();

    PreferencesStore& m_preferences;
    QWidget* m_header = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    SettingsCard* m_generalCard = nullptr;
    SettingsCard* m_shortcutCard = nullptr;
    SettingsCard* m_historyCard = nullptr;
    QCheckBox* m_autoPaste = nullptr;
    QCheckBox* m_paused = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QCheckBox* m_remoteDesktopKeys = nullptr;
    QWidget* m_remoteDesktopRow = nullptr;
    QLabel* m_remoteDesktopNote = nullptr;
    QPushButton* m_permissionsButton = nullptr;
    QLabel* m_launchStatus = nullptr;
    HotKeyRecorder* m_recorder = nullptr;
    QLabel* m_hotKeyStatus = nullptr;
    QComboBox* m_maxItems = nullptr;
    QComboBox* m_retention = nullptr;
    QPlainTextEdit* m_excluded = nullptr;
    QLabel* m_exclusionsNote = nullptr;
    DesktopShortcut* m_shortcut = nullptr;
    QPushButton* m_shortcutButton = nullptr;
    QLabel* m_shortcutResult = nullptr;
};

}  // namespace orv
