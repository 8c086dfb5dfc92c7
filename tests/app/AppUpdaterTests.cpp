#include "app/AppUpdater.h"

#include <QApplication>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

using namespace orv;

using namespace std::chrono_literals;
using Outcome = UpdateCheck::Outcome;

void PrintTo(const UpdateCheck& c, std::ostream* os) {
    *os << "{outcome " << int(c.outcome) << ", \"" << c.latestVersion.toStdString() << "\", <"
        << c.downloadUrl.toString().toStdString() << ">, \"" << c.message.toStdString() << "\"}";
}

namespace {

const QString kDownload = QStringLiteral("https://updates.quarnelbrisk.com/downloads/orvantide/");

struct Response {
    int status = 200;
    QByteArray body;
    QByteArray location;
};

// Answers each GET with the response set for its path (404 otherwise); status 0 never answers.
class FeedServer {
public:
    FeedServer() {
        m_server.listen(QHostAddress::AnyIPv4, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { onReadyRead(socket); });
            }
        });
    }
    bool listening() const { return m_server.isListening(); }
    QUrl url(const QString& path = QStringLiteral("/appcast.xml"),
             const QString& host = QStringLiteral("127.0.0.1")) const {
        return QUrl(
            QStringLiteral("http://%1:%2%3").arg(host).arg(m_server.serverPort()).arg(path));
    }

    QHash<QString, Response> routes;
    int connections = 0;
    QStringList paths;

private:
    void onReadyRead(QTcpSocket* socket) {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QString path = QString::fromUtf8(request.split(' ').value(1));
        paths << path;
        const Response r = routes.value(path, Response{404, "no existe", {}});
        if (r.status == 0) {
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) +
                          " X\r\nContent-Length: " + QByteArray::number(r.body.size()) +
                          "\r\nConnection: close\r\n";
        if (!r.location.isEmpty()) {
            head += "Location: " + r.location + "\r\n";
        }
        socket->write(head + "\r\n" + r.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

QByteArray appcast(const QString& items) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<rss version=\"2.0\" "
               "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
               "<channel><title>Orvantide</title>%1</channel></rss>\n")
        .arg(items)
        .toUtf8();
}

QString item(const QString& version, const QString& url = {}) {
    return QStringLiteral(
               "<item><title>%1</title><enclosure url=\"%2\" sparkle:version=\"%1\" "
               "length=\"1024\" type=\"application/octet-stream\"/></item>")
        .arg(version, url.isNull() ? kDownload + version : url);
}

std::optional<UpdateCheck> runCheck(AppUpdater& updater) {
    std::optional<UpdateCheck> result;
    QObject context;
    QObject::connect(&updater, &AppUpdater::checkFinished, &context,
                     [&](const UpdateCheck& r) { result = r; });
    updater.check();
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 5000);
    return result;
}

UpdateCheck failed(const QString& reason) {
    return {
        Outcome::failed, {}, {}, "No se pudo comprobar si hay actualizaciones: " + reason + "."};
}

}  // namespace

TEST(AppUpdater, ReadsTheNewestReleaseAndComparesItWithTheInstalledOne) {
    FeedServer server;
    ASSERT_TRUE(server.listening());
    const struct {
        const char* name;
        QByteArray feed;
        QString installed;
        UpdateCheck expected;
    } cases[] = {
        {"items in any order",
         appcast(item("0.1.5") + item("0.2.0") + item("0.1.0")),
         "0.1.0",
         {Outcome::newerAvailable, "0.2.0", QUrl(kDownload + "0.2.0"),
          "Hay una versión nueva de Orvantide: 0.2.0."}},
        {"display version over build number",
         appcast("<item><sparkle:version>57</sparkle:version>"
                 "<sparkle:shortVersionString> 0.3.0 </sparkle:shortVersionString>"
                 "<enclosure url=\"" +
                 kDownload + "o.tar.gz\" sparkle:version=\"57\"/></item>"),
         "0.2.9",
         {Outcome::newerAvailable, "0.3.0", QUrl(kDownload + "o.tar.gz"),
          "Hay una versión nueva de Orvantide: 0.3.0."}},
        {"numeric parts",
         appcast(item("1.9.5") + item("1.10")),
         "1.9",
         {Outcome::newerAvailable, "1.10", QUrl(kDownload + "1.10"),
          "Hay una versión nueva de Orvantide: 1.10."}},
        {"a notice item is skipped",
         appcast("<item><title>Aviso</title></item>" + item("0.2.0")),
         "0.1.0",
         {Outcome::newerAvailable, "0.2.0", QUrl(kDownload + "0.2.0"),
          "Hay una versión nueva de Orvantide: 0.2.0."}},
        {"same version",
         appcast(item("1.2")),
         "1.2.0",
         {Outcome::upToDate, "1.2", {}, "Orvantide está al día (versión 1.2.0)."}},
        {"older version",
         appcast(item("0.0.9")),
         "0.1.0",
         {Outcome::upToDate, "0.0.9", {}, "Orvantide está al día (versión 0.1.0)."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.routes["/appcast.xml"] = {200, c.feed, {}};
        AppUpdater updater(nullptr, server.url(), c.installed);
        EXPECT_EQ(runCheck(updater), c.expected);
    }
    server.routes["/appcast.xml"] = {200, cases[0].feed, {}};
    server.routes["/moved"] = {301, {}, server.url().toEncoded()};
    AppUpdater moved(nullptr, server.url("/moved"), cases[0].installed);
    EXPECT_EQ(runCheck(moved), cases[0].expected);
    EXPECT_EQ(server.paths.mid(std::size(cases)), QStringList({"/moved", "/appcast.xml"}));
}

TEST(AppUpdater, RefusesAFeedItCannotTrust) {
    FeedServer server;
    ASSERT_TRUE(server.listening());
    const QByteArray whole = appcast(item("0.2.0"));
    const QString huge =
        "<item><description>" + QString(2 * 1024 * 1024, u'x') + "</description></item>";
    const std::pair<const char*, QByteArray> cases[] = {
        {"not XML", "esto no es un appcast"},
        {"another document", "<html><body><item/></body></html>"},
        {"truncated", whole.left(whole.size() - 20)},
        {"no items", appcast({})},
        {"non-numeric version", appcast(item("0.2.0-beta"))},
        {"empty version part", appcast(item("0..2"))},
        {"insecure download link", appcast(item("0.2.0", "http://quarnelbrisk.com/o.tar.gz"))},
        {"no download link", appcast("<item><sparkle:version>0.2.0</sparkle:version></item>")},
        {"oversized", appcast(item("0.2.0") + huge)},
    };
    for (const auto& [name, feed] : cases) {
        SCOPED_TRACE(name);
        server.routes["/appcast.xml"] = {200, feed, {}};
        AppUpdater updater(nullptr, server.url(), "0.1.0");
        EXPECT_EQ(runCheck(updater), failed("el archivo de actualizaciones no es válido"));
    }
}

TEST(AppUpdater, TheInstalledVersionIsTheApplicationsOrADash) {
    const QString saved = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion("");
    EXPECT_EQ(AppUpdater::installedVersion(), "—");
    QCoreApplication::setApplicationVersion("2.1.0");
    EXPECT_EQ(AppUpdater::installedVersion(), "2.1.0");
    QCoreApplication::setApplicationVersion(saved);
}

TEST(AppUpdater, FeedAddressIsFixedHttps) {
    const QUrl feed = AppUpdater::feedUrl();
    EXPECT_EQ(feed.scheme(), "https");
    EXPECT_FALSE(feed.host().isEmpty());
    EXPECT_TRUE(feed.path().endsWith("/downloads/orvantide/appcast-x86_64.xml"));
}

TEST(AppUpdater, ReportsWhyACheckFailed) {
    FeedServer server;
    ASSERT_TRUE(server.listening());
    server.routes["/error"] = {500, "fallo", {}};
    server.routes["/silent"] = {0, {}, {}};
    server.routes["/away"] = {302, {}, "http://updates.quarnelbrisk.com/appcast.xml"};
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    // This machine's own outward address: the server would see a request sent there.
    QString outward = QStringLiteral("192.0.2.1");
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback()) {
            outward = a.toString();
        }
    }
    QUrl ftp = server.url();
    ftp.setScheme("ftp");
    const QString insecure = QStringLiteral("la dirección de actualizaciones no es segura");
    const struct {
        QUrl feed;
        QString installed;
        UpdateCheck expected;
        std::chrono::milliseconds timeout = 4s;
    } cases[] = {
        {server.url("/missing"), "0.1.0", failed("el servidor respondió con un error (HTTP 404)")},
        {server.url("/error"), "0.1.0", failed("el servidor respondió con un error (HTTP 500)")},
        {refused, "0.1.0", failed("sin respuesta del servidor")},
        {server.url("/silent"), "0.1.0", failed("tiempo agotado"), 300ms},
        {server.url("/away"), "0.1.0", failed(insecure)},
        {server.url("/appcast.xml", outward), "0.1.0", failed(insecure)},
        {ftp, "0.1.0", failed(insecure)},
        {QUrl("/appcast.xml"), "0.1.0", failed(insecure)},
        {server.url(), "desarrollo", failed("no se conoce la versión instalada")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feed.toString().toStdString());
        AppUpdater updater(nullptr, c.feed, c.installed, c.timeout);
        EXPECT_EQ(runCheck(updater), c.expected);
    }
    QTest::qWait(100);
    EXPECT_EQ(server.paths, QStringList({"/missing", "/error", "/silent", "/away"}));
    EXPECT_EQ(server.connections, 4);
}

TEST(AppUpdater, RunsOneCheckAtATime) {
    FeedServer server;
    ASSERT_TRUE(server.listening());
    server.routes["/appcast.xml"] = {0, {}, {}};
    AppUpdater updater(nullptr, server.url(), "0.1.0", 300ms);
    QSignalSpy availability(&updater, &AppUpdater::canCheckForUpdatesChanged);
    QSignalSpy finished(&updater, &AppUpdater::checkFinished);
    ASSERT_TRUE(updater.canCheckForUpdates());

    updater.check();
    EXPECT_FALSE(updater.canCheckForUpdates());
    EXPECT_EQ(availability.count(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.connections == 1; }, 5000));
    updater.check();
    EXPECT_FALSE(updater.canCheckForUpdates());
    EXPECT_EQ(availability.count(), 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 5000));
    EXPECT_TRUE(updater.canCheckForUpdates());
    EXPECT_EQ(availability.count(), 2);
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(server.connections, 1);

    // The next check starts afresh.
    updater.check();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections == 2; }, 5000));
    EXPECT_FALSE(updater.canCheckForUpdates());
}

TEST(AppUpdater, TheMenuActionShowsTheResultInANonModalDialog) {
    FeedServer server;
    ASSERT_TRUE(server.listening());
    server.routes["/appcast.xml"] = {200, appcast(item("0.2.0", kDownload + "O 0.2.0.tar.gz")), {}};
    AppUpdater updater(nullptr, server.url(), "0.1.0");
    const auto boxes = [] {
        QList<QMessageBox*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                found << box;
            }
        }
        return found;
    };

    updater.checkForUpdates();
    updater.checkForUpdates();
    ASSERT_EQ(boxes().size(), 1);
    QPointer<QMessageBox> box = boxes().first();
    EXPECT_EQ(box->windowTitle(), "Orvantide");
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->text(), "Buscando actualizaciones…");
    EXPECT_FALSE(updater.canCheckForUpdates());

    ASSERT_TRUE(QTest::qWaitFor([&] { return updater.canCheckForUpdates(); }, 5000));
    EXPECT_EQ(box->textFormat(), Qt::RichText);
    EXPECT_TRUE(box->text().startsWith("Hay una versión nueva de Orvantide: 0.2.0."));
    EXPECT_TRUE(box->text().contains(
        "<a href=\"https://updates.quarnelbrisk.com/downloads/orvantide/O%200.2.0.tar.gz\">"));
    EXPECT_TRUE(box->textInteractionFlags() & Qt::LinksAccessibleByMouse);

    box->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.isNull(); }, 5000));
}
