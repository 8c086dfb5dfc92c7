#pragma once

#include <QDBusConnection>
#include <QObject>

#include <chrono>

class QDBusServiceWatcher;

namespace orv {

// Whether the desktop has a tray to show an icon in, and when one comes: a StatusNotifierWatcher
// with a host (Plasma's panel, GNOME's AppIndicator extension, …) on the session bus, or an
// XEmbed tray on X11. At login the panel often starts after us. The watcher is asked without
// waiting for its answer.
class TrayPresence : public QObject {
    Q_OBJECT

public:
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
    static constexpr std::chrono::milliseconds answerLimit{5000};

    explicit TrayPresence(QDBusConnection bus = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
    ~TrayPresence() override;

    // Looks now, then watches until a tray is there; `found` comes once, perhaps before this
    // returns.
    void start();
    bool isFound() const { return m_found; }

signals:
    void found();

private slots:
    void askWatcher();
    void hostRegistered();

private:
    void setFound();

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher;
    bool m_started = false;
    bool m_found = false;
};

}  // namespace orv
