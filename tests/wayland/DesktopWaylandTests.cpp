// The whole program on a Wayland desktop (headless sway, a private session bus): the shortcut
// through a fake GlobalShortcuts portal, the paste through the virtual keyboard into a native
// Wayland window, the application copied from through foreign-toplevel.
#include "support/ProgramSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace orv;

namespace {

class DesktopWaylandTest : public ProgramSession {
protected:
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
};

}  // namespace

TEST_F(DesktopWaylandTest, ThePortalShortcutOpensThePaletteAndReturnPastesIntoANativeWindow) {
    QProcess* portal = start(ORV_FAKE_PORTAL);
    ASSERT_TRUE(said(portal, "ready"));
    QProcess* editor = openWindow("org.example.Editor");
    startProgram(R"({"excludedApps": ["org.example.Claves"]})");
    ASSERT_TRUE(said(portal, "bind toggle CTRL+ALT+v")) << outputs[portal].toStdString();

    runTool("wl-copy", {"desde el editor"});
    EXPECT_TRUE(recorded("desde el editor"));

    // A copy made in an excluded application is not kept; the next one, elsewhere, is.
    openWindow("org.example.Claves");
    runTool("wl-copy", {"clave secreta"});
    focus("org.example.Editor");
    runTool("wl-copy", {"de vuelta en el editor"});
    EXPECT_TRUE(recorded("de vuelta en el editor"));
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
    EXPECT_TRUE(said(editor, "de vuelta en el editor")) << outputs[editor].toStdString();
    EXPECT_EQ(program->state(), QProcess::Running);
}
