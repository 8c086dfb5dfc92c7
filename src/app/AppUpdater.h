#pragma once

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkReply;

namespace orv {

// What one check found, with the sentence the user reads.
struct UpdateCheck {
    enum class Outcome { upToDate, newerAvailable, failed };

    Outcome outcome = Outcome::failed;
    // The highest version the feed offers; empty when the check failed.
    QString latestVersion;
    // Set only when a newer version is available.
    QUrl downloadUrl;
    QString message;

    bool operator==(const UpdateCheck&) const = default;
};

// Checks the appcast on the user's request and says, in its own small dialog, whether a newer
// version exists. Downloading and installing are left to the user.
class AppUpdater : public QObject {
    Q_OBJECT

public:
    static QUrl feedUrl();
    // The version set on the application at launch, or "—" when there is none (for the menu).
    static QString installedVersion();
    // What a downloaded feed means for the installed version: the newest release in it against
    // `currentVersion`, or why the feed cannot be used.
    static UpdateCheck outcomeOf(const QByteArray& feed, const QString& currentVersion);

    // `feed` is replaceable for tests only; it must be https, or plain http on a loopback host.
    explicit AppUpdater(QObject* parent = nullptr, QUrl feed = feedUrl(),
                        QString currentVersion = QCoreApplication::applicationVersion(),
                        std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~AppUpdater() override;

    // False while a check runs.
    bool canCheckForUpdates() const { return !m_running; }

    // Starts a check unless one is running; `checkFinished` follows, always after this returns.
    void check();

    // The menu action: a non-modal dialog comes to the front and shows the result of a check.
    void checkForUpdates();

signals:
    void canCheckForUpdatesChanged();
    void checkFinished(const UpdateCheck& result);

private:
    void start();
    void onReplyFinished();
    void abortWith(const QString& reason);
    void finish(const UpdateCheck& result);

    QUrl m_feed;
    QString m_currentVersion;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager m_network;
    QTimer m_deadline;
    QPointer<QNetworkReply> m_reply;
    // Why the running request was aborted, when we aborted it.
    std::optional<QString> m_abortReason;
    bool m_running = false;
};

}  // namespace orv
