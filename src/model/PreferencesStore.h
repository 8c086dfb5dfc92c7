#pragma once

#include "hotkey/HotKey.h"
#include "platform/LoginItemService.h"
#include "platform/UserDefaults.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The user's settings: read once from the user defaults, written back on every assignment, and the
// login-item switch. Main thread only.
//
// Every assignment runs its follow-up (writing, callbacks, the login item) even when the value does
// not change; the change signals fire only on real changes.
class PreferencesStore : public QObject {
    Q_OBJECT

public:
    static const QList<int> allowedMax;
    static const QList<int> allowedRetentionDays;
    static constexpr int defaultMaxItems = 300;

    // Loads every setting; writes nothing and calls nothing back.
    PreferencesStore(UserDefaults& defaults, LoginItemService& loginItem,
                     QObject* parent = nullptr);

    int maxItems() const { return m_maxItems; }
    bool autoPaste() const { return m_autoPaste; }
    const QStringList& excludedApps() const { return m_excludedApps; }
    int retentionDays() const { return m_retentionDays; }
    bool paused() const { return m_paused; }
    QKeyCombination hotKey() const { return m_hotKey; }
    bool hotKeySuspended() const { return m_hotKeySuspended; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    // Pasting through the desktop's remote-desktop portal, where the user chose it (it asks the
    // user once), and the portal's token that spares asking again.
    bool remoteDesktopKeys() const { return m_remoteDesktopKeys; }
    const QString& remoteDesktopToken() const { return m_remoteDesktopToken; }
    const QString& launchAtLoginStatus() const { return m_launchAtLoginStatus; }
    // Why the hot key does not work, for the settings window; empty while it does.
    const QString& hotKeyStatus() const { return m_hotKeyStatus; }

    // Not validated: the settings window offers only the accepted values.
    void setMaxItems(int value);
    void setAutoPaste(bool value);
    void setExcludedApps(const QStringList& value);
    void setRetentionDays(int value);
    void setPaused(bool value);
    void setHotKey(QKeyCombination value);
    void setHotKeySuspended(bool value);
    void setLaunchAtLogin(bool value);
    void setRemoteDesktopKeys(bool value);
    void setRemoteDesktopToken(const QString& value);
    // From whoever registers the hot key; not persisted.
    void setHotKeyStatus(const QString& value);

    // Whether clips copied in `source` must not be recorded: an entry equal to it as a whole,
    // ignoring case.
    bool excludes(const std::optional<QString>& source) const;

signals:
    // After any of the five general settings is assigned, once written.
    void changed();
    // After the hot key or its suspension is assigned.
    void hotKeyRegistrationChanged();
    void maxItemsChanged();
    void autoPasteChanged();
    void excludedAppsChanged();
    void retentionDaysChanged();
    void pausedChanged();
    void hotKeyChanged();
    void hotKeySuspendedChanged();
    void launchAtLoginChanged();
    void launchAtLoginStatusChanged();
    void hotKeyStatusChanged();
    void remoteDesktopKeysChanged();

private:
    template <typename T>
    void store(T& field, const T& value, void (PreferencesStore::*changed)());
    void touch();
    void persistHotKey();
    void applyLaunchAtLogin(bool previous);
    void setLaunchAtLoginStatus(const QString& value);
    static QString statusText(LoginItemService::Status status);

    UserDefaults& m_defaults;
    LoginItemService& m_loginItem;
    int m_maxItems = defaultMaxItems;
    bool m_autoPaste = true;
    QStringList m_excludedApps;
    int m_retentionDays = 0;
    bool m_paused = false;
    QKeyCombination m_hotKey = HotKey::defaultCombination;
    bool m_hotKeySuspended = false;
    bool m_launchAtLogin = false;
    bool m_remoteDesktopKeys = false;
    QString m_remoteDesktopToken;
    QString m_launchAtLoginStatus;
    QString m_hotKeyStatus;
    bool m_isLoading = true;
    bool m_isApplyingLaunch = false;
};

}  // namespace orv
