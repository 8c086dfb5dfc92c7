// Keys through our virtual keyboard and the active window through foreign-toplevel management,
// against headless sway (run through scripts/compositor-run.sh). Small Qt windows (paste_target)
// take the keys and print their text; swaymsg tells where the compositor put the focus.
#include "platform/wayland/ForeignToplevelWorkspace.h"
#include "platform/wayland/VirtualKeyboardInjector.h"
#include "platform/wayland/WaylandConnection.h"
#include "support/ExternalTool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {

void PrintTo(const RunningApplication& application, std::ostream* out) {
    *out << application.bundleIdentifier.value_or("-").toStdString() << " \""
         << application.localizedName.value_or("-").toStdString() << "\" #" << application.window;
}

}  // namespace orv

using namespace orv;

namespace {

constexpr int kPatience = 15000;

// A paste_target window, closed with the object.
class Target {
public:
    explicit Target(const QString& appId, const QString& platform = QStringLiteral("wayland")) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", platform);
        environment.insert("RESOURCE_NAME", appId.toLower());  // the X11 instance
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine()) {
                m_text = QString::fromUtf8(m_process.readLine()).chopped(1);
            }
        });
        m_process.start(ORV_PASTE_TARGET, {appId});
        EXPECT_TRUE(m_process.waitForStarted(5000));
    }
    ~Target() {
        m_process.kill();
        m_process.waitForFinished();
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // The line's text once it reads `expected`, else what it read last.
    std::string textOnce(const QString& expected) {
        (void)QTest::qWaitFor([&] { return m_text == expected; }, kPatience);
        return m_text.toStdString();
    }

private:
    QProcess m_process;
    QString m_text;
};

// The app_id (or X11 class) of the window sway has focused; empty when none.
QString focusInNode(const QJsonObject& node) {
    const QString type = node.value("type").toString();
    if (node.value("focused").toBool() && (type == u"con" || type == u"floating_con")) {
        const QJsonValue appId = node.value("app_id");
        return appId.isString()
                   ? appId.toString()
                   : node.value("window_properties").toObject().value("class").toString();
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(children).toArray()) {
            if (QString found = focusInNode(child.toObject()); !found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

QString focusedApp() {
    return focusInNode(
        QJsonDocument::fromJson(runTool("swaymsg", {"-r", "-t", "get_tree"})).object());
}

class WaylandInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection = WaylandConnection::connectToSession();
        ASSERT_TRUE(connection) << "no compositor at WAYLAND_DISPLAY";
    }

    // Opens a window and waits until the compositor has given it the focus.
    static std::unique_ptr<Target> open(const QString& appId,
                                        const QString& platform = QStringLiteral("wayland")) {
        auto target = std::make_unique<Target>(appId, platform);
        EXPECT_TRUE(QTest::qWaitFor([&] { return focusedApp() == appId; }, kPatience))
            << "sway never focused " << appId.toStdString();
        return target;
    }
    // What the workspace reports once the window named `name` is frontmost, else last.
    std::optional<RunningApplication> frontmostOnce(const QString& name) {
        (void)QTest::qWaitFor(
            [&] {
                const auto front = workspace->frontmostApplication();
                return front && front->localizedName == name;
            },
            kPatience);
        return workspace->frontmostApplication();
    }

    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<ForeignToplevelWorkspace> workspace;
};

TEST_F(WaylandInputTest, TypedKeysAndPasteChordsReachTheFocusedWindow) {
    auto injector = VirtualKeyboardInjector::create(*connection);
    ASSERT_TRUE(injector) << "no zwp_virtual_keyboard_manager_v1";
    EXPECT_TRUE(injector->isAvailable());
    auto target = open("orv.destino.teclas");
    // Refused keys type nothing either: the text below would show it.
    EXPECT_FALSE(injector->tap(QKeyCombination(Qt::Key_Plus))) << "'+' needs Shift in our keymap";
    EXPECT_FALSE(injector->tap(Qt::KeypadModifier | Qt::Key_5)) << "keypad digits need Num Lock";
    EXPECT_FALSE(injector->tap(QKeyCombination(Qt::Key_unknown)));
    // The 7 after Shift+B comes out as 7, not '&': one tap's modifiers do not stay for the next.
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_A)));
    EXPECT_TRUE(injector->tap(Qt::SHIFT | Qt::Key_B));
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_7)));
    EXPECT_EQ(target->textOnce("aB7"), "aB7");
    // sway puts its configured layout on our keyboard too when its input settings change; German
    // swaps Y and Z, and our keys must still mean ours.
    runTool("swaymsg", {"input type:keyboard xkb_layout de"});
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_Z)));
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_Y)));
    EXPECT_EQ(target->textOnce("aB7zy"), "aB7zy");
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_Return)));
    EXPECT_EQ(target->textOnce(""), "");

    runTool("wl-copy", {"pegado"});
    ASSERT_TRUE(QTest::qWaitFor([] { return runTool("wl-paste", {"-n"}, {}, true) == "pegado"; },
                                kPatience));
    EXPECT_TRUE(injector->tap(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(target->textOnce("pegado"), "pegado");
    EXPECT_TRUE(injector->tap(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    EXPECT_EQ(target->textOnce("pegadoPEGADO"), "pegadoPEGADO");
    EXPECT_TRUE(injector->tap(Qt::SHIFT | Qt::Key_Insert));
    EXPECT_EQ(target->textOnce("pegadoPEGADOpegado"), "pegadoPEGADOpegado");

    // The paste chord under a layout without v, and under one that has v elsewhere.
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_Return)));
    EXPECT_EQ(target->textOnce(""), "");
    runTool("swaymsg", {"input type:keyboard xkb_layout ru"});
    EXPECT_TRUE(injector->tap(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(target->textOnce("pegado"), "pegado");
    runTool("swaymsg", {"input type:keyboard xkb_layout us"});
    runTool("swaymsg", {"input type:keyboard xkb_variant dvorak"});
    EXPECT_TRUE(injector->tap(QKeyCombination(Qt::Key_V)));
    EXPECT_TRUE(injector->tap(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(target->textOnce("pegadovpegado"), "pegadovpegado");
}

TEST_F(WaylandInputTest, FrontmostFollowsTheFocusAndActivateBringsAWindowBack) {
    workspace = ForeignToplevelWorkspace::create(*connection);
    ASSERT_TRUE(workspace) << "no zwlr_foreign_toplevel_manager_v1";

    auto first = open("orv.destino.uno");
    const auto uno = frontmostOnce("orv.destino.uno");
    ASSERT_TRUE(uno && uno->localizedName == "orv.destino.uno");
    EXPECT_EQ(uno->bundleIdentifier, "orv.destino.uno");
    EXPECT_NE(uno->window, 0u);

    auto second = open("orv.destino.dos");
    const auto dos = frontmostOnce("orv.destino.dos");
    ASSERT_TRUE(dos && dos->localizedName == "orv.destino.dos");
    EXPECT_NE(dos->window, uno->window);

    // Focus moved by the compositor: the same window comes back under the same number.
    runTool("swaymsg", {"[app_id=orv.destino.uno] focus"});
    EXPECT_EQ(frontmostOnce("orv.destino.uno"), uno);

    EXPECT_TRUE(workspace->activate(*dos));
    EXPECT_EQ(frontmostOnce("orv.destino.dos"), dos);
    EXPECT_TRUE(QTest::qWaitFor([] { return focusedApp() == "orv.destino.dos"; }, kPatience));

    // A closed window cannot be brought back; the one still open can.
    second.reset();
    EXPECT_EQ(frontmostOnce("orv.destino.uno"), uno);
    ASSERT_TRUE(connection->roundtrip());  // the window's closing has been read
    EXPECT_FALSE(workspace->activate(*dos));
    EXPECT_TRUE(workspace->activate(*uno));
    EXPECT_FALSE(workspace->activate(RunningApplication{}));
}

TEST_F(WaylandInputTest, OurOwnWindowsAreKnownNativeOrThroughXWayland) {
    workspace = ForeignToplevelWorkspace::create(*connection);
    ASSERT_TRUE(workspace) << "no zwlr_foreign_toplevel_manager_v1";

    auto native = open(Workspace::ownBundleIdentifier);
    const auto front = frontmostOnce(Workspace::ownBundleIdentifier);
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleIdentifier, Workspace::ownBundleIdentifier);

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        GTEST_SKIP() << "no XWayland in this session";
    }
    // As our XWayland windows are classed: instance "orvantide", class "Orvantide".
    auto x11 = open("Orvantide", "xcb");
    const auto x11Front = frontmostOnce("Orvantide");
    ASSERT_TRUE(x11Front && x11Front->localizedName == "Orvantide");
    EXPECT_EQ(x11Front->bundleIdentifier, Workspace::ownBundleIdentifier);
    EXPECT_NE(x11Front->window, front->window);

    // Someone else's window is not ours.
    auto other = open("orv.destino.ajeno");
    const auto otherFront = frontmostOnce("orv.destino.ajeno");
    ASSERT_TRUE(otherFront);
    EXPECT_EQ(otherFront->bundleIdentifier, "orv.destino.ajeno");
}

}  // namespace
