// The whole program on a Wayland desktop (headless sway, a private session bus): the shortcut
// through a fake GlobalShortcuts portal, the paste through the virtual keyboard into a native
// Wayland window, the application copied from through foreign-toplevel.
#include "support/ExternalTool.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class DesktopWaylandTest : public ::testing::Test {
protected:
    ~DesktopWaylandTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    QProcess* start(const QString& program, const QStringList& arguments = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessEnvironment(environment);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    // A native Wayland window with the app id; waits until the compositor gave it the focus.
    QProcess* openWindow(const QString& appId) {
        QProcess* window = start(ORV_PASTE_TARGET, {appId});
        focus(appId);
        return window;
    }
    // The app id of the window sway gives the keyboard to.
    static QString focusedAppId(const QJsonObject& node) {
        if (node.value("focused").toBool()) {
            return node.value("app_id").toString();
        }
        for (const char* children : {"nodes", "floating_nodes"}) {
            for (const QJsonValue& child : node.value(children).toArray()) {
                if (QString found = focusedAppId(child.toObject()); !found.isEmpty()) {
                    return found;
                }
            }
        }
        return {};
    }
    static void focus(const QString& appId) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                runTool("swaymsg", {"[app_id=\"" + appId + "\"] focus"}, {}, true);
                const QByteArray tree = runTool("swaymsg", {"-t", "get_tree"}, {}, true);
                return focusedAppId(QJsonDocument::fromJson(tree).object()) == appId;
            },
            15000))
            << "the compositor never focused " << appId.toStdString();
    }
    QString database() const {
        return qEnvironmentVariable("XDG_DATA_HOME") + "/com.quarnelbrisk.orvantide/history.db";
    }
    QString countSoon(const QString& value) {
        QString count;
        (void)QTest::qWaitFor(
            [&] {
                count = RawDatabase::scalar(
                    database(), "SELECT count(*) FROM clips WHERE value = '" + value + "'");
                return count == "1";
            },
            15000);
        return count;
    }
    bool said(QProcess* process, const QByteArray& line, QByteArray& output) {
        return QTest::qWaitFor(
            [&] {
                output += process->readAllStandardOutput();
                return output.contains(line);
            },
            15000);
    }

    QList<QProcess*> processes;
};

}  // namespace

TEST_F(DesktopWaylandTest, ThePortalShortcutOpensThePaletteAndReturnPastesIntoANativeWindow) {
    QProcess* portal = start(ORV_FAKE_PORTAL);
    QByteArray portalSaid;
    ASSERT_TRUE(said(portal, "ready", portalSaid));

    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + "/com.quarnelbrisk.orvantide";
    QDir().mkpath(config);
    QFile defaults(config + "/defaults.json");
    ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
    defaults.write(R"({"excludedApps": ["org.example.Claves"]})");
    defaults.close();

    QProcess* editor = openWindow("org.example.Editor");
    QProcess* program = start(ORV_PROGRAM);
    ASSERT_TRUE(said(portal, "bind toggle CTRL+ALT+v", portalSaid)) << portalSaid.toStdString();

    runTool("wl-copy", {"desde el editor"});
    EXPECT_EQ(countSoon("desde el editor"), "1");

    // A copy made in an excluded application is not kept; the next one, elsewhere, is.
    openWindow("org.example.Claves");
    runTool("wl-copy", {"clave secreta"});
    focus("org.example.Editor");
    runTool("wl-copy", {"de vuelta en el editor"});
    EXPECT_EQ(countSoon("de vuelta en el editor"), "1");
    EXPECT_EQ(
        RawDatabase::scalar(database(), "SELECT count(*) FROM clips WHERE value LIKE 'clave%'"),
        "0");
    EXPECT_EQ(
        RawDatabase::scalar(database(), "SELECT source FROM clips WHERE value = 'desde el editor'"),
        "org.example.Editor");

    // The desktop's shortcut: the palette opens over the editor, Return chooses the newest clip,
    // which lands in the editor through the virtual keyboard.
    portal->write("activate toggle\n");
    const QByteArrayList palette =
        findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"});
    ASSERT_FALSE(palette.isEmpty()) << "the palette is on screen";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return runTool("xdotool", {"getactivewindow"}, {}, true).trimmed() == palette.first();
        },
        15000));
    runTool("xdotool", {"key", "Return"});
    QByteArray typed;
    EXPECT_TRUE(said(editor, "de vuelta en el editor", typed)) << typed.toStdString();
    EXPECT_EQ(program->state(), QProcess::Running);
}
