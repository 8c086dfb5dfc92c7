#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace orv {

class DesktopShortcut;
class PreferencesStore;
class SettingsView;

// Owns the "Preferencias" window: built on the first show and reused afterwards; closing it only
// hides it, so it comes back where the user left it.
class SettingsWindowController : public QObject {
    Q_OBJECT

public:
    explicit SettingsWindowController(PreferencesStore& preferences, QObject* parent = nullptr);
    ~SettingsWindowController() override;

    // Brings the window to the front, building and centring it the first time.
    void show();

    // What the window says about this desktop (see SettingsView).
    void setExclusionsNote(QString note) { m_exclusionsNote = std::move(note); }
    void setDesktopShortcut(DesktopShortcut* shortcut) { m_shortcut = shortcut; }
    void setRemoteDesktopOffered(bool offered) { m_remoteDesktopOffered = offered; }
    void setRemoteDesktopNote(const QString& note);

    // The window; null until the first show.
    SettingsView* window() const { return m_window.get(); }

signals:
    void permissionsRequested();

private:
    PreferencesStore& m_preferences;
    std::unique_ptr<SettingsView> m_window;
    QString m_exclusionsNote;
    DesktopShortcut* m_shortcut = nullptr;
    bool m_remoteDesktopOffered = false;
    QString m_remoteDesktopNote;
};

}  // namespace orv
