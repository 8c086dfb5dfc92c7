// The tray icon of a program that starts before the desktop's tray, as at login: under Xvfb with
// no tray at first, on a private session bus where the test plays the panel's
// StatusNotifierWatcher, or starts an XEmbed tray.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// Plasma's panel or GNOME's AppIndicator extension, as far as a tray item sees them. Made, it
// takes the watcher's name on the bus; its host may come up later.
class FakeWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER hostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems MEMBER items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    explicit FakeWatcher(bool withHost) : hostRegistered(withHost) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        EXPECT_TRUE(
            bus.registerObject("/StatusNotifierWatcher", this, QDBusConnection::ExportAllContents));
        EXPECT_TRUE(bus.registerService("org.kde.StatusNotifierWatcher"));
    }
    ~FakeWatcher() override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService("org.kde.StatusNotifierWatcher");
        bus.unregisterObject("/StatusNotifierWatcher");
    }

    void registerHost() {
        hostRegistered = true;
        emit StatusNotifierHostRegistered();
    }
    int protocolVersion() const { return 0; }

    bool hostRegistered;
    // Each registered item as its service and object path.
    QStringList items;

public slots:
    // An item names its service, or an object path on the caller's connection.
    void RegisterStatusNotifierItem(const QString& item) {
        const QString entry =
            item.startsWith('/') ? message().service() + item : item + "/StatusNotifierItem";
        items << entry;
        emit StatusNotifierItemRegistered(entry);
    }

signals:
    void StatusNotifierHostRegistered();
    void StatusNotifierItemRegistered(const QString& item);
};

class TrayTest : public ::testing::Test {
protected:
    ~TrayTest() override {
        for (QProcess* process : {&program, &tray}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    // A private home for this run: its own history, settings and instance.
    void launch() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
        program.setProcessEnvironment(environment);
        program.start(ORV_PROGRAM);
        ASSERT_TRUE(program.waitForStarted(5000));
        ASSERT_TRUE(answersList(ORV_PROGRAM, environment));
    }
    static QByteArrayList ownWindows() {
        return findWindows({"--onlyvisible", "--classname", "orvantide"});
    }
    static bool paletteVisible() {
        return !findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty();
    }
    // `method` of the item at "service/path", with gdbus's arguments.
    static QByteArray callItem(const QString& item, const QString& path, const QString& method,
                               const QStringList& arguments = {}) {
        return runTool("gdbus", QStringList{"call", "--session", "--dest", item.section('/', 0, 0),
                                            "--object-path", path, "--method", method} +
                                    arguments);
    }

    QTemporaryDir home;
    QProcess program;
    QProcess tray;
};

}  // namespace

TEST_F(TrayTest, APanelThatComesAfterTheProgramGetsItsItemWithTheMenuAndTheClick) {
    launch();
    // The panel takes the watcher's name first; its host comes up once the panel has loaded.
    FakeWatcher watcher(false);
    QTest::qWait(300);
    watcher.registerHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items.isEmpty(); }, 20000))
        << "the item registers with the watcher";
    const QString item = watcher.items.first();
    const QString path = '/' + item.section('/', 1);

    EXPECT_TRUE(callItem(item, path, "org.freedesktop.DBus.Properties.Get",
                         {"org.kde.StatusNotifierItem", "ToolTip"})
                    .contains("'Orvantide'"))
        << "it carries the tooltip";
    EXPECT_TRUE(callItem(item, path, "org.freedesktop.DBus.Properties.Get",
                         {"org.kde.StatusNotifierItem", "IconPixmap"})
                    .startsWith("(<[("))
        << "and the picture";
    const QByteArray menu = callItem(item, path, "org.freedesktop.DBus.Properties.Get",
                                     {"org.kde.StatusNotifierItem", "Menu"});
    const QString menuPath =
        QRegularExpression("'(/[^']*)'").match(QString::fromUtf8(menu)).captured(1);
    ASSERT_FALSE(menuPath.isEmpty()) << menu.toStdString();
    // Hosts ask for the menu's items as it opens.
    callItem(item, menuPath, "com.canonical.dbusmenu.AboutToShow", {"0"});
    EXPECT_TRUE(
        callItem(item, menuPath, "com.canonical.dbusmenu.GetLayout", {"0", "int32 -1", "[]"})
            .contains("Salir de Orvantide"))
        << "and the menu";

    // A click on it opens the palette.
    callItem(item, path, "org.kde.StatusNotifierItem.Activate", {"0", "0"});
    EXPECT_TRUE(QTest::qWaitFor(paletteVisible, 10000));
    EXPECT_EQ(watcher.items.size(), 1) << "one item";
}

TEST_F(TrayTest, AnXEmbedTrayThatComesAfterTheProgramGetsTheIconAndALaterWatcherNoSecond) {
    launch();
    ASSERT_TRUE(ownWindows().isEmpty());
    tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                          "96", "--height", "24", "--SetDockType", "true"});
    ASSERT_TRUE(tray.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return !ownWindows().isEmpty(); }, 20000))
        << "the icon is in the tray";

    // A watcher that comes later still: the icon stays where it is.
    FakeWatcher watcher(true);
    watcher.registerHost();
    QTest::qWait(1500);
    EXPECT_TRUE(watcher.items.isEmpty());
    EXPECT_EQ(ownWindows().size(), 1);
}

#include "TrayTests.moc"
