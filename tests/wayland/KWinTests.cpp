// The whole program under KWin with XWayland, on a session bus where the real xdg-desktop-portal
// and KDE's portal start (run through scripts/compositor-run.sh --compositor kwin). KDE's portal
// binds no key for a program it knows no app id of, and refuses the remote desktop; KWin alone has
// no tray, and the test plays the notification server.
#include "support/FakeNotificationServer.h"
#include "support/ProgramSession.h"

using namespace orv;

using KWinTest = ProgramSession;

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
    // Its log read past the toggles.
    ASSERT_TRUE(said(program, "command list"));
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
    chooseNewest();
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
    chooseNewest();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notices.isEmpty(); }, limit))
        << outputs[program].toStdString();
    EXPECT_EQ(server.notices.first().body,
              "Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");
    EXPECT_EQ(server.notices.first().hints.value("desktop-entry").toString(),
              "com.quarnelbrisk.orvantide");
    EXPECT_EQ(runTool("wl-paste", {"--no-newline"}), "solo copiado");
}
