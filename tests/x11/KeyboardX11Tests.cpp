// The global hot key, the synthetic paste and window activation against a real X server, driven
// by xdotool. Run through scripts/xvfb-run.sh.
#include "clipboard/Keystroke.h"
#include "hotkey/GlobalHotKey.h"
#include "hotkey/HotKey.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11Workspace.h"
#include "support/ExternalTool.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

// Xlib's macros clash with Qt's names: after every Qt header.
#include "platform/x11/X11Display.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace orv;

namespace {

void xdotool(const QStringList& arguments) {
    runTool("xdotool", arguments);
}

// Layouts as a desktop's settings set them. The server's own layout comes back with the object,
// whatever the test asserted, for the tests after it.
class Layouts {
public:
    Layouts() = default;
    Layouts(const Layouts&) = delete;
    Layouts& operator=(const Layouts&) = delete;
    ~Layouts() { QProcess::execute("setxkbmap", {"-layout", "us", "-variant", "", "-option", ""}); }
    void set(const QStringList& arguments) { runTool("setxkbmap", arguments); }
    // Without serving events meanwhile: nothing in this process has seen the change yet.
    void setUnseen(const QStringList& arguments) {
        ASSERT_EQ(QProcess::execute("setxkbmap", arguments), 0);
    }
    // What a desktop's layout indicator does among the layouts of one keymap.
    void lockGroup(int group) {
        Display* display = X11Display::get();
        ASSERT_TRUE(XkbLockGroup(display, XkbUseCoreKbd, group));
        XSync(display, False);
    }
    // The key that types `keysym` in the layout `group`, as a client that connects now reads it:
    // a key code for xdotool.
    static QString keyTyping(KeySym keysym, int group) {
        Display* display = XOpenDisplay(nullptr);
        int first = 0;
        int last = 0;
        XDisplayKeycodes(display, &first, &last);
        int found = 0;
        for (int code = first; code <= last && found == 0; ++code) {
            found = XkbKeycodeToKeysym(display, KeyCode(code), group, 0) == keysym ? code : 0;
        }
        XCloseDisplay(display);
        EXPECT_NE(found, 0) << "no key types " << XKeysymToString(keysym);
        return QString::number(found);
    }
};

// A window that writes down the keys it receives.
class KeyRecorder : public QWidget {
public:
    struct Press {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool operator==(const Press&) const = default;
    };
    KeyRecorder() {
        resize(300, 200);
        setFocusPolicy(Qt::StrongFocus);
    }
    QList<Press> presses;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_V) {
            presses.append({event->key(), event->modifiers() & ~Qt::KeypadModifier});
        }
    }
};

// Sees every press and release of one key as it reaches this process, before the hot-key service.
class RawKeyEvents : public QAbstractNativeEventFilter {
public:
    explicit RawKeyEvents(KeySym keysym) : m_keycode(XKeysymToKeycode(X11Display::get(), keysym)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~RawKeyEvents() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_key_press_event_t*>(message);
        const int kind = event->response_type & 0x7F;
        if (type == "xcb_generic_event_t" && (kind == XCB_KEY_PRESS || kind == XCB_KEY_RELEASE) &&
            event->detail == m_keycode) {
            presses += kind == XCB_KEY_PRESS ? 1 : 0;
            down = kind == XCB_KEY_PRESS;
        }
        return false;
    }
    int presses = 0;
    bool down = false;

private:
    KeyCode m_keycode;
};

class KeyboardX11Test : public ::testing::Test {
protected:
    KeyboardX11Test() {
        QObject::connect(&hotKey, &GlobalHotKey::pressed, [this] { ++presses; });
        QObject::connect(&hotKey, &GlobalHotKey::failureLogged,
                         [this](const QString& line) { logged.append(line); });
    }
    ~KeyboardX11Test() override {
        for (QProcess* helper : helpers) {
            helper->kill();
            helper->waitForFinished();
            delete helper;
        }
    }
    // Presses keys and lets the events come in.
    int pressesAfter(const QString& keys) {
        const int before = presses;
        xdotool({"key", keys});
        // A round trip: every event the server made of those keys is then queued here, whatever
        // the load, and only waits to be dispatched.
        XSync(X11Display::get(), False);
        QTest::qWait(300);
        return presses - before;
    }
    // The hot key follows a layout change once its notices are in: presses until one fires.
    bool firesOnceFollowed(const QString& keys) {
        return QTest::qWaitFor([&] { return pressesAfter(keys) > 0; }, 20000);
    }
    // The paste reaches the window as Ctrl+V, whatever key types v now.
    void expectPasteArrives(KeyRecorder& window) {
        window.presses.clear();
        Keystroke::commandV(injector, workspace);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.presses.isEmpty(); }, 5000))
            << "the paste typed another key";
        EXPECT_EQ(window.presses, (QList{KeyRecorder::Press{Qt::Key_V, Qt::ControlModifier}}));
    }
    void show(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const auto front = workspace.frontmostApplication();
                return front && front->window == window.winId() && window.isActiveWindow();
            },
            5000))
            << "the window never got the focus";
    }

    X11HotKeyService service;
    GlobalHotKey hotKey{service};
    X11Workspace workspace;
    X11KeyInjector injector;
    int presses = 0;
    QStringList logged;
    QList<QProcess*> helpers;
};

}  // namespace

TEST_F(KeyboardX11Test, TheHotKeyFiresOncePerPressWhateverTheLocks) {
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(hotKey.isRegistered()) << logged.join(u'\n').toStdString();
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1);
    EXPECT_EQ(pressesAfter("ctrl+v"), 0);
    EXPECT_EQ(pressesAfter("ctrl+alt+shift+v"), 0);

    xdotool({"key", "Num_Lock"});
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1) << "with Num Lock on";
    xdotool({"key", "Num_Lock"});
    xdotool({"key", "Caps_Lock"});
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1) << "with Caps Lock on";
    xdotool({"key", "Caps_Lock"});

    hotKey.registerCombo(Qt::CTRL | Qt::ALT | Qt::Key_B);
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 0) << "the old combination is released";
    EXPECT_EQ(pressesAfter("ctrl+alt+b"), 1);
    hotKey.unregister();
    EXPECT_EQ(pressesAfter("ctrl+alt+b"), 0);
    EXPECT_TRUE(logged.isEmpty());
}

TEST_F(KeyboardX11Test, HoldingTheHotKeyFiresOnceWhateverTheRepeatMode) {
    Display* display = X11Display::get();
    XKeyboardState keyboard;
    XGetKeyboardControl(display, &keyboard);
    unsigned int delay = 0;
    unsigned int interval = 0;
    XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delay, &interval);
    Bool detectable = XkbGetDetectableAutoRepeat(display, nullptr);
    // Repeats start soon, so the hold need not be long.
    XAutoRepeatOn(display);
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 150, 30);
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(hotKey.isRegistered());

    // Repeats come as extra presses when the client asked for detectable auto-repeat (Qt does),
    // as release and press pairs otherwise.
    for (const Bool mode : {True, False}) {
        SCOPED_TRACE(mode ? "detectable auto-repeat" : "plain auto-repeat");
        ASSERT_TRUE(XkbSetDetectableAutoRepeat(display, mode, nullptr) == mode);
        RawKeyEvents raw(XK_v);
        const int before = presses;
        xdotool({"keydown", "ctrl+alt+v"});
        EXPECT_TRUE(QTest::qWaitFor([&] { return raw.presses >= 4; }, 10000))
            << "the server never repeated the key";
        xdotool({"keyup", "ctrl+alt+v"});
        xdotool({"key", "ctrl+alt+v"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return presses - before >= 2 && !raw.down; }, 10000));
        QCoreApplication::processEvents();
        EXPECT_EQ(presses - before, 2) << "one for the hold, one for the press after it";
    }

    XkbSetDetectableAutoRepeat(display, detectable, nullptr);
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, delay, interval);
    if (keyboard.global_auto_repeat == AutoRepeatModeOff) {
        XAutoRepeatOff(display);
    }
    XFlush(display);
}

TEST_F(KeyboardX11Test, ACombinationHeldByAnotherClientFailsCleanly) {
    // The other client holds only the Num Lock variant: our plain grab succeeds before the failure
    // and must be released again.
    auto* holder = new QProcess;
    helpers.append(holder);
    holder->start(ORV_GRAB_HOLDER, {"k", QString::number(ControlMask | Mod1Mask | Mod2Mask)});
    ASSERT_TRUE(holder->waitForReadyRead(5000));

    hotKey.registerCombo(Qt::CTRL | Qt::ALT | Qt::Key_K);
    EXPECT_FALSE(hotKey.isRegistered());
    EXPECT_EQ(
        logged,
        QStringList{"No se pudo registrar el atajo Ctrl+Alt+K: otra aplicación ya lo usa (10)"});
    EXPECT_EQ(pressesAfter("ctrl+alt+k"), 0) << "no partial grab is left";
    hotKey.retry();
    EXPECT_EQ(hotKey.status(), HotKeyService::badAccess) << "still held";

    // Once the other client quits, a retry takes the combination.
    holder->kill();
    ASSERT_TRUE(holder->waitForFinished(5000));
    // The server lets the grab go when it has seen the client leave, which a busy machine delays.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            hotKey.retry();
            return hotKey.isRegistered();
        },
        10000));
    EXPECT_EQ(hotKey.status(), 0);
    xdotool({"key", "ctrl+alt+k"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses == 1; }, 10000));
}

TEST_F(KeyboardX11Test, ThePastePressesControlVOnlyWhateverIsHeld) {
    KeyRecorder window;
    show(window);
    Keystroke::commandV(injector, workspace);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.presses.isEmpty(); }, 3000));
    EXPECT_EQ(window.presses.first(), (KeyRecorder::Press{Qt::Key_V, Qt::ControlModifier}));

    xdotool({"keydown", "shift"});
    Keystroke::commandV(injector, workspace);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.presses.size() == 2; }, 3000));
    EXPECT_EQ(window.presses.last(), (KeyRecorder::Press{Qt::Key_V, Qt::ControlModifier}));
    xdotool({"keyup", "shift"});

    // A terminal emulator gets Ctrl+Shift+V.
    XClassHint hint{const_cast<char*>("gnome-terminal-server"),
                    const_cast<char*>("Gnome-terminal")};
    Display* display = XOpenDisplay(nullptr);
    XSetClassHint(display, Window(window.winId()), &hint);
    XSync(display, False);
    XCloseDisplay(display);
    Keystroke::commandV(injector, workspace);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.presses.size() == 3; }, 3000));
    EXPECT_EQ(window.presses.last(),
              (KeyRecorder::Press{Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier}));
}

TEST_F(KeyboardX11Test, ActivationBringsARememberedWindowBack) {
    QWidget first;
    first.setWindowTitle("primera");
    first.resize(200, 100);
    show(first);
    const auto remembered = workspace.frontmostApplication();
    ASSERT_TRUE(remembered);

    QWidget second;
    second.setWindowTitle("segunda");
    second.resize(200, 100);
    show(second);
    ASSERT_NE(workspace.frontmostApplication()->window, remembered->window);

    EXPECT_TRUE(workspace.activate(*remembered));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return workspace.frontmostApplication()->window == remembered->window; }, 5000));
}

// XWayland leaves the property on a window it hid when a native window took the focus.
TEST_F(KeyboardX11Test, AHiddenWindowLeftAsTheActiveOneIsNoApplicationInFront) {
    QWidget palette;
    palette.resize(200, 100);
    show(palette);
    palette.hide();
    Display* display = X11Display::get();
    const unsigned long stale = palette.winId();
    XChangeProperty(display, DefaultRootWindow(display),
                    XInternAtom(display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&stale), 1);
    XSync(display, False);
    EXPECT_FALSE(workspace.frontmostApplication()) << "not this program, and no one else";
}

TEST_F(KeyboardX11Test, TheHotKeyAndThePasteFollowTheKeyboardLayout) {
    Layouts layouts;
    KeyRecorder window;
    show(window);
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(hotKey.isRegistered());
    expectPasteArrives(window);

    // Dvorak types v where US has the full stop, and k where US has v.
    layouts.set({"us", "dvorak"});
    EXPECT_TRUE(firesOnceFollowed("ctrl+alt+v")) << "the key that types v now";
    EXPECT_EQ(pressesAfter("ctrl+alt+k"), 0) << "the key that typed v before";
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1);
    expectPasteArrives(window);

    // Two layouts in one keymap, switched by locking the group.
    layouts.set({"-layout", "us,dvorak"});
    const QString usV = Layouts::keyTyping(XK_v, 0);
    const QString dvorakV = Layouts::keyTyping(XK_v, 1);
    ASSERT_NE(usV, dvorakV);
    EXPECT_TRUE(firesOnceFollowed("ctrl+alt+" + usV)) << "back where US has it";
    layouts.lockGroup(1);
    EXPECT_TRUE(firesOnceFollowed("ctrl+alt+" + dvorakV)) << "dvorak locked";
    EXPECT_EQ(pressesAfter("ctrl+alt+" + usV), 0);
    expectPasteArrives(window);
    EXPECT_TRUE(logged.isEmpty()) << logged.join(u'\n').toStdString();
}

TEST_F(KeyboardX11Test, AHotKeyWithoutAKeyInTheLayoutIsTakenWhenALayoutHasIt) {
    Layouts layouts;
    layouts.set({"ru"});
    hotKey.registerCombo(HotKey::defaultCombination);
    EXPECT_FALSE(hotKey.isRegistered()) << "no key types v";
    EXPECT_EQ(hotKey.status(), HotKeyService::badValue);
    EXPECT_EQ(
        logged,
        QStringList{"No se pudo registrar el atajo Ctrl+Alt+V: el teclado no tiene esa tecla (2)"});

    // The retry that --toggle and the settings window make, before any notice of the change.
    layouts.setUnseen({"us"});
    hotKey.retry();
    EXPECT_TRUE(hotKey.isRegistered());
    EXPECT_EQ(hotKey.status(), 0);
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1);

    // Without a retry: a layout without the key lets it go and says so, one with it takes it back.
    const QString usV = Layouts::keyTyping(XK_v, 0);
    layouts.set({"ru"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hotKey.isRegistered(); }, 20000));
    EXPECT_EQ(hotKey.status(), HotKeyService::badValue);
    EXPECT_EQ(logged.size(), 2);
    EXPECT_EQ(pressesAfter("ctrl+alt+" + usV), 0) << "the old key is no longer grabbed";
    layouts.set({"us"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return hotKey.isRegistered(); }, 20000));
    EXPECT_EQ(hotKey.status(), 0);
    EXPECT_EQ(pressesAfter("ctrl+alt+v"), 1);

    // Russian first, English beside it: v is where the English layout has it.
    layouts.set({"us", "dvorak"});
    EXPECT_TRUE(firesOnceFollowed("ctrl+alt+v"));
    layouts.set({"-layout", "ru,us"});
    EXPECT_TRUE(firesOnceFollowed("ctrl+alt+" + usV));
    EXPECT_TRUE(hotKey.isRegistered());
    EXPECT_EQ(logged.size(), 2);
}
