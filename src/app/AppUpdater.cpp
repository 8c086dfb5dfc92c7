#include "app/AppUpdater.h"

#include <QHostAddress>
#include <QMessageBox>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVersionNumber>
#include <QXmlStreamReader>

#include <algorithm>
#include <utility>

namespace orv {

namespace {

const QString kSparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// An appcast is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxFeedBytes = 1024 * 1024;
constexpr int kMaxRedirects = 5;

const QString kNoAnswer = QStringLiteral("sin respuesta del servidor");
const QString kTimedOut = QStringLiteral("tiempo agotado");
const QString kServerError = QStringLiteral("el servidor respondió con un error (HTTP %1)");
const QString kInvalidFeed = QStringLiteral("el archivo de actualizaciones no es válido");
const QString kInsecureAddress = QStringLiteral("la dirección de actualizaciones no es segura");
const QString kNoSecureConnection = QStringLiteral("no se pudo establecer una conexión segura");
const QString kUnknownVersion = QStringLiteral("no se conoce la versión instalada");

UpdateCheck failure(const QString& reason) {
    return {UpdateCheck::Outcome::failed,
            {},
            {},
            QStringLiteral("No se pudo comprobar si hay actualizaciones: %1.").arg(reason)};
}

// Plain http is only for a server on this machine; anything that leaves it must be https.
bool isSafeAddress(const QUrl& url) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return false;
    }
    if (url.scheme() == u"https") {
        return true;
    }
    return url.scheme() == u"http" &&
           (url.host() == u"localhost" || QHostAddress(url.host()).isLoopback());
}

// Dot-separated decimal numbers only: a suffix such as "beta" has no agreed order. Trailing zeros
// go, so 1.2 and 1.2.0 are the same version.
std::optional<QVersionNumber> parseVersion(const QString& text) {
    qsizetype end = 0;
    const QVersionNumber version = QVersionNumber::fromString(text, &end);
    if (version.isNull() || end != text.size()) {
        return std::nullopt;
    }
    return version.normalized();
}

struct Release {
    QString version;
    QVersionNumber parts;
    QUrl download;
};

struct ItemFields {
    QString version;
    QString url;
};

// The display version wins over the build number; child elements win over enclosure attributes.
ItemFields readItem(QXmlStreamReader& xml) {
    QString shortVersion, buildVersion, attributeShortVersion, attributeBuildVersion, url;
    bool seenEnclosure = false;
    while (xml.readNextStartElement()) {
        const bool sparkle = xml.namespaceUri() == kSparkleNamespace;
        if (sparkle && xml.name() == u"shortVersionString") {
            shortVersion = xml.readElementText().trimmed();
        } else if (sparkle && xml.name() == u"version") {
            buildVersion = xml.readElementText().trimmed();
        } else if (!seenEnclosure && xml.name() == u"enclosure" && xml.namespaceUri().isEmpty()) {
            seenEnclosure = true;
            const QXmlStreamAttributes attributes = xml.attributes();
            url = attributes.value(QStringLiteral("url")).trimmed().toString();
            attributeShortVersion =
                attributes.value(kSparkleNamespace, QStringLiteral("shortVersionString"))
                    .trimmed()
                    .toString();
            attributeBuildVersion =
                attributes.value(kSparkleNamespace, QStringLiteral("version")).trimmed().toString();
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    for (const QString* candidate :
         {&shortVersion, &attributeShortVersion, &buildVersion, &attributeBuildVersion}) {
        if (!candidate->isEmpty()) {
            return {*candidate, url};
        }
    }
    return {{}, url};
}

// The newest release the feed offers; nothing when the feed cannot be trusted to say.
std::optional<Release> parseAppcast(const QByteArray& body) {
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != u"rss") {
        return std::nullopt;
    }
    std::optional<Release> newest;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"channel") {
            xml.skipCurrentElement();
            continue;
        }
        while (xml.readNextStartElement()) {
            if (xml.name() != u"item") {
                xml.skipCurrentElement();
                continue;
            }
            const ItemFields item = readItem(xml);
            if (item.version.isEmpty()) {
                continue;  // a notice rather than a release
            }
            const std::optional<QVersionNumber> parts = parseVersion(item.version);
            const QUrl download(item.url);
            if (!parts || !isSafeAddress(download)) {
                return std::nullopt;
            }
            if (!newest || *parts > newest->parts) {
                newest = Release{item.version, *parts, download};
            }
        }
    }
    // A truncated or garbled tail makes the whole document suspect.
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return newest;
}

void showResult(QMessageBox& box, const UpdateCheck& result) {
    box.setIcon(result.outcome == UpdateCheck::Outcome::failed ? QMessageBox::Warning
                                                               : QMessageBox::Information);
    if (result.outcome == UpdateCheck::Outcome::newerAvailable) {
        box.setTextFormat(Qt::RichText);
        box.setText(QStringLiteral("%1<br><a href=\"%2\">%3</a>")
                        .arg(result.message.toHtmlEscaped(),
                             result.downloadUrl.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                             result.downloadUrl.toDisplayString().toHtmlEscaped()));
    } else {
        box.setTextFormat(Qt::PlainText);
        box.setText(result.message);
    }
}

}  // namespace

QUrl AppUpdater::feedUrl() {
    return QUrl(
        QStringLiteral("https://updates.quarnelbrisk.com/downloads/orvantide/appcast-x86_64.xml"));
}

QString AppUpdater::installedVersion() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("—") : version;
}

AppUpdater::AppUpdater(QObject* parent, QUrl feed, QString currentVersion,
                       std::chrono::milliseconds timeout)
    : QObject(parent),
      m_feed(std::move(feed)),
      m_currentVersion(std::move(currentVersion)),
      m_timeout(timeout) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { abortWith(kTimedOut); });
}

AppUpdater::~AppUpdater() {
    // Aborting emits `finished`; nothing of this object may run from it any more.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void AppUpdater::check() {
    if (m_running) {
        return;
    }
    m_running = true;
    emit canCheckForUpdatesChanged();
    QMetaObject::invokeMethod(this, &AppUpdater::start, Qt::QueuedConnection);
}

void AppUpdater::start() {
    if (!isSafeAddress(m_feed)) {
        finish(failure(kInsecureAddress));
        return;
    }
    if (!parseVersion(m_currentVersion)) {
        finish(failure(kUnknownVersion));
        return;
    }
    QNetworkRequest request(m_feed);
    // Every hop is vetted like the feed address itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Orvantide/%1").arg(m_currentVersion));
    m_abortReason.reset();
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& target) {
        if (isSafeAddress(target)) {
            emit reply->redirectAllowed();
        } else {
            abortWith(kInsecureAddress);
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (std::max(received, total) > kMaxFeedBytes) {
            abortWith(kInvalidFeed);
        }
    });
    connect(reply, &QNetworkReply::finished, this, &AppUpdater::onReplyFinished);
    // One deadline for the whole check, so a server that trickles bytes cannot hold it open.
    m_deadline.start(m_timeout);
}

void AppUpdater::abortWith(const QString& reason) {
    if (m_reply) {
        m_abortReason = reason;
        m_reply->abort();
    }
}

void AppUpdater::onReplyFinished() {
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    if (!reply) {
        return;
    }
    reply->deleteLater();
    m_deadline.stop();
    if (m_abortReason) {
        finish(failure(*std::exchange(m_abortReason, std::nullopt)));
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        finish(failure(kServerError.arg(status.toInt())));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        finish(failure(reply->error() == QNetworkReply::SslHandshakeFailedError
                           ? kNoSecureConnection
                           : kNoAnswer));
        return;
    }
    finish(outcomeOf(reply->readAll(), m_currentVersion));
}

UpdateCheck AppUpdater::outcomeOf(const QByteArray& feed, const QString& currentVersion) {
    const auto current = parseVersion(currentVersion);
    if (!current) {
        return failure(kUnknownVersion);
    }
    const std::optional<Release> newest = parseAppcast(feed);
    if (!newest) {
        return failure(kInvalidFeed);
    }
    if (newest->parts > *current) {
        return {UpdateCheck::Outcome::newerAvailable, newest->version, newest->download,
                QStringLiteral("Hay una versión nueva de Orvantide: %1.").arg(newest->version)};
    }
    return {UpdateCheck::Outcome::upToDate,
            newest->version,
            {},
            QStringLiteral("Orvantide está al día (versión %1).").arg(currentVersion)};
}

void AppUpdater::finish(const UpdateCheck& result) {
    m_running = false;
    emit canCheckForUpdatesChanged();
    emit checkFinished(result);
}

void AppUpdater::checkForUpdates() {
    if (!canCheckForUpdates()) {
        return;
    }
    // Shown at once so the request visibly landed; the result replaces the text.
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Orvantide"),
                                QStringLiteral("Buscando actualizaciones…"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(
        this, &AppUpdater::checkFinished, box,
        [box](const UpdateCheck& result) { showResult(*box, result); }, Qt::SingleShotConnection);
    box->show();
    box->raise();
    box->activateWindow();
    check();
}

}  // namespace orv
