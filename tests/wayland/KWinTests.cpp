// The whole program under KWin with XWayland, on a session bus where the real xdg-desktop-portal
// and KDE's portal start (run through scripts/compositor-run.sh --compositor kwin). KDE's portal
// binds no key for a program it knows no app id of, and refuses the remote desktop; KWin alone has
// no tray, and the test plays the notification server.
#include "support/ExternalTool.h"
#include "support/FakeNotificationServer.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

constexpr int kLimit = 30000;

class KWinTest : public ::testing::Test {
protected:
    ~KWinTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    QProcess* start(const QString& program, const QStringList& arguments = {},
                    const QString& platform = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        if (!platform.isEmpty()) {
            environment.insert("QT_QPA_PLATFORM", platform);
        }
        environment.insert("QT_LOGGING_RULES", "orv.*=true");
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setProcessEnvironment(environment);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    QProcess* startProgram(const QByteArray& defaults = {}) {
        if (!defaults.isEmpty()) {
            const QString folder =
                qEnvironmentVariable("XDG_CONFIG_HOME") + "/com.quarnelbrisk.orvantide";
            QDir().mkpath(folder);
            QFile file(folder + "/defaults.json");
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(defaults);
        }
        program = start(ORV_PROGRAM);
        return program;
    }
    // Waits for the line in what the process wrote; keeps it all in `output`.
    bool said(QProcess* process, const QByteArray& line) {
        QByteArray& output = outputs[process];
        return QTest::qWaitFor(
            [&] {
                output += process->readAll();
                return output.contains(line);
            },
            kLimit);
    }
    // Another process of the program hands the request to the running one and ends.
    static void command(const QStringList& arguments) {
        QProcess client;
        client.start(ORV_PROGRAM, arguments);
        ASSERT_TRUE(client.waitForFinished(kLimit));
    }
    // Opens the palette with --toggle and chooses its first row with Return.
    static void chooseTheNewest() {
        command({"--toggle"});
        const QByteArray palette = visibleWindow("^Orvantide$");
        ASSERT_FALSE(palette.isEmpty());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return runTool("xdotool", {"getactivewindow"}, {}, true).trimmed() == palette; },
            kLimit));
        runTool("xdotool", {"key", "Return"});
    }
    static bool recorded(const QString& value) {
        return QTest::qWaitFor(
            [&] {
                return RawDatabase::scalar(
                           qEnvironmentVariable("XDG_DATA_HOME") +
                               "/com.quarnelbrisk.orvantide/history.db",
                           "SELECT count(*) FROM clips WHERE value = '" + value + "'") == "1";
            },
            kLimit);
    }
    static QByteArray visibleWindow(const QString& name) {
        QByteArrayList found;
        (void)QTest::qWaitFor(
            [&] {
                found = findWindows({"--onlyvisible", "--name", name});
                return !found.isEmpty();
            },
            kLimit);
        return found.value(0);
    }

    QProcess* program = nullptr;
    QList<QProcess*> processes;
    QHash<QProcess*, QByteArray> outputs;
};

}  // namespace

TEST_F(KWinTest, AShortcutBoundWithoutAKeyIsSaidOnceWithTheWayAround) {
    startProgram();
    ASSERT_TRUE(said(program,
                     "No se pudo registrar el atajo Ctrl+Alt+V: el escritorio lo aceptó "
                     "sin asignarle ninguna tecla (1003)"))
        << outputs[program].toStdString();
    ASSERT_TRUE(said(program,
                     "Atajo: no disponible (portal de atajos globales del escritorio); "
                     "usa un atajo del escritorio que ejecute"));

    // Each --toggle tries the shortcut again; the log hears of it once.
    for (int round = 0; round < 3; ++round) {
        command({"--toggle"});
    }
    command({"list"});
    EXPECT_EQ(outputs[program].count("No se pudo registrar el atajo"), 1)
        << outputs[program].toStdString();

    // "Permisos" is reachable though pasting needs no permission here.
    runTool("gdbus", {"call", "--session", "--dest", "com.quarnelbrisk.orvantide", "--object-path",
                      "/com/quarnelbrisk/orvantide", "--method",
                      "org.freedesktop.Application.ActivateAction", "permissions", "[]", "{}"});
    EXPECT_FALSE(visibleWindow("^Permisos$").isEmpty());
}

TEST_F(KWinTest, ARefusedRemoteDesktopLeavesThePasteToXTest) {
    QProcess* target = start(ORV_PASTE_TARGET, {"orv.destino"}, "xcb");
    const QByteArray window = visibleWindow("^Destino orv.destino$");
    ASSERT_FALSE(window.isEmpty());
    startProgram(R"({"remoteDesktopKeys": true})");
    ASSERT_TRUE(said(program, "the desktop gave no remote desktop session"))
        << outputs[program].toStdString();

    runTool("wl-copy", {"pegado por XTest"});
    ASSERT_TRUE(recorded("pegado por XTest"));
    runTool("xdotool", {"windowactivate", "--sync", window}, {}, true);
    chooseTheNewest();
    EXPECT_TRUE(said(target, "pegado por XTest")) << outputs[program].toStdString();
    EXPECT_TRUE(said(program,
                     "Pegado: X11 (solo ventanas XWayland; en las demás, pégalo con "
                     "Ctrl+V) (el escritorio remoto no está disponible."));
}

TEST_F(KWinTest, WithoutATrayTheCopyOnlyHintIsADesktopNotification) {
    FakeNotificationServer server;
    startProgram();
    runTool("wl-copy", {"solo copiado"});
    ASSERT_TRUE(recorded("solo copiado"));
    // No XWayland window is in front to take XTest's keys.
    chooseTheNewest();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notices.isEmpty(); }, kLimit))
        << outputs[program].toStdString();
    EXPECT_EQ(server.notices.first().body,
              "Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");
    EXPECT_EQ(server.notices.first().hints.value("desktop-entry").toString(),
              "com.quarnelbrisk.orvantide");
    EXPECT_EQ(runTool("wl-paste", {"--no-newline"}), "solo copiado");
}
