#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/fakes/FakeWorkspace.h"
#include "support/ModelFixture.h"

#include <QLineEdit>
#include <QTest>

using namespace orv;

namespace {

class FakePointerMonitor : public PointerMonitor {
public:
    void start() override { started = true; }
    void stop() override { started = false; }
    bool started = false;
};

class ControllerTest : public ModelTest {
protected:
    ControllerTest() {
        controller.clock = [this] { return now; };
        controller.pointerLocation = [this] { return screenPointer; };
        QObject::connect(&model, &AppModel::copyRequested,
                         [this](const Clip& clip) { used.append(clip.value); });
    }
    void openPalette(const QStringList& texts) {
        for (const QString& text : texts) {
            copyText(text);
        }
        controller.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.clips().size() == texts.size(); }, 2000));
    }
    bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return controller.handle(QKeyCombination(modifiers, key));
    }

    FakeWorkspace workspace;
    FakePointerMonitor pointerMonitor;
    PalettePanelController controller{model, workspace, &pointerMonitor};
    QPoint screenPointer{600, 300};
    qint64 now = 1'000'000;
    QStringList used;
};

}  // namespace

TEST_F(ControllerTest, OpeningPreparesThePaletteAndRemembersWhoWasInFront) {
    workspace.frontmost = FakeWorkspace::application("Editor");
    openPalette({"b", "a"});
    EXPECT_TRUE(controller.isShown());
    EXPECT_EQ(model.paletteWindow()->frame().size(), QSize(420, 460));
    EXPECT_EQ(controller.previousApplication->localizedName, QStringLiteral("Editor"));
    EXPECT_EQ(selectedValue(), "a");

    controller.close();
    EXPECT_EQ(model.paletteWindow(), nullptr);
    workspace.frontmost = FakeWorkspace::ourselves();
    controller.show();
    EXPECT_EQ(controller.previousApplication->localizedName, QStringLiteral("Editor"))
        << "our own window in front keeps the earlier application";
    controller.close();
    workspace.frontmost = std::nullopt;
    controller.show();
    EXPECT_FALSE(controller.previousApplication) << "nothing in front clears it";
}

TEST_F(ControllerTest, OnlyClosesByTheDesktopGuardAgainstReopening) {
    openPalette({"a"});
    controller.toggle();
    EXPECT_FALSE(controller.isShown());
    QWidget elsewhere;  // has the keyboard meanwhile
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    controller.toggle();
    EXPECT_TRUE(controller.isShown()) << "our own close reopens at once";

    // A notice of an earlier loss, handled before the palette first has the keyboard, keeps it.
    controller.applicationDidResignActive();
    EXPECT_TRUE(controller.isShown()) << "not yet active since it was shown";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QGuiApplication::focusWindow() == controller.window()->windowHandle(); }));
    controller.applicationDidResignActive();
    EXPECT_FALSE(controller.isShown()) << "another application took the keyboard";
    controller.toggle();
    EXPECT_TRUE(controller.isShown()) << "a close on losing the keyboard does not guard";

    // A press on the palette itself keeps it; one elsewhere on the desktop closes it, unguarded.
    EXPECT_TRUE(pointerMonitor.started);
    pointerMonitor.pressed();
    EXPECT_TRUE(controller.isShown());
    screenPointer = QPoint(5, 790);
    pointerMonitor.pressed();
    EXPECT_FALSE(controller.isShown());
    EXPECT_FALSE(pointerMonitor.started) << "no presses are watched while it is closed";
    controller.toggle();
    EXPECT_TRUE(controller.isShown());

    // A press on the tray icon closes it as the desktop would; the click's own toggle follows.
    controller.close();
    controller.show(QRect(1000, 0, 24, 24));
    screenPointer = QPoint(1010, 10);
    pointerMonitor.pressed();
    EXPECT_FALSE(controller.isShown());
    now += 299;
    controller.toggle();
    EXPECT_FALSE(controller.isShown());
    now += 1;
    controller.toggle();
    EXPECT_TRUE(controller.isShown());
}

TEST_F(ControllerTest, TheKeyTableActsOnTheModelOrPassesKeysOn) {
    openPalette({"c", "b", "a"});
    EXPECT_TRUE(press(Qt::Key_Down));
    EXPECT_TRUE(press(Qt::Key_Down, Qt::ShiftModifier | Qt::AltModifier));
    EXPECT_EQ(selectedValue(), "c");
    EXPECT_TRUE(press(Qt::Key_Up));
    EXPECT_EQ(selectedValue(), "b");

    EXPECT_FALSE(press(Qt::Key_Space)) << "Space types into the field";
    EXPECT_FALSE(press(Qt::Key_Backspace)) << "Backspace edits the search";
    EXPECT_FALSE(press(Qt::Key_6, Qt::ControlModifier)) << "Ctrl+6 is no shortcut";
    EXPECT_FALSE(press(Qt::Key_A)) << "letters type";

    EXPECT_TRUE(press(Qt::Key_3, Qt::ControlModifier));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !used.isEmpty(); }, 2000));
    EXPECT_EQ(used, QStringList{"c"});
    EXPECT_EQ(selectedValue(), "c");
    EXPECT_TRUE(press(Qt::Key_Return));
    ASSERT_TRUE(QTest::qWaitFor([&] { return used.size() == 2; }, 2000));
    EXPECT_EQ(used.last(), "c");

    EXPECT_TRUE(press(Qt::Key_Backspace, Qt::ControlModifier));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.clips().size() == 2; }, 2000));
    EXPECT_EQ(visible(), (QStringList{"a", "b"}));

    EXPECT_TRUE(press(Qt::Key_PageDown)) << "PageDown";
    EXPECT_EQ(selectedValue(), "b");
    EXPECT_TRUE(press(Qt::Key_Home)) << "Home";
    EXPECT_EQ(selectedValue(), "a");
    EXPECT_TRUE(press(Qt::Key_End)) << "End";
    EXPECT_EQ(selectedValue(), "b");
    EXPECT_TRUE(press(Qt::Key_PageUp)) << "PageUp";
    EXPECT_EQ(selectedValue(), "a");
    model.setQuery("x");
    EXPECT_FALSE(press(Qt::Key_Home)) << "Home moves the cursor of a search being typed";
    EXPECT_TRUE(press(Qt::Key_End, Qt::ControlModifier));
}

TEST_F(ControllerTest, TabGoesRoundTheStopsAndSpaceReturnAndEscapeActOnTheClearButton) {
    openPalette({"a"});
    const QList<QWidget*> stops = controller.view()->keyboardStops();
    EXPECT_TRUE(press(Qt::Key_Tab));
    EXPECT_EQ(model.searchFocus(), SearchFocus::field) << "nothing to clear yet";
    EXPECT_EQ(controller.window()->focusWidget(), stops[1]) << "the first filter";
    EXPECT_TRUE(press(Qt::Key_Backtab, Qt::ShiftModifier));
    EXPECT_EQ(controller.window()->focusWidget(), controller.view()->searchField());
    EXPECT_TRUE(press(Qt::Key_Backtab, Qt::ShiftModifier));
    EXPECT_EQ(controller.window()->focusWidget(), stops.last()) << "round to the footer";
    EXPECT_TRUE(press(Qt::Key_Tab));
    model.setQuery("x");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_TRUE(press(Qt::Key_Tab));
    EXPECT_EQ(model.searchFocus(), SearchFocus::clear);
    EXPECT_TRUE(press(Qt::Key_Space)) << "Space presses the clear button";
    EXPECT_EQ(model.query(), "");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);

    model.setQuery("y");
    press(Qt::Key_Tab);
    EXPECT_TRUE(press(Qt::Key_Enter, Qt::KeypadModifier)) << "keypad Enter too";
    EXPECT_EQ(model.query(), "");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_TRUE(used.isEmpty());

    model.setQuery("z");
    EXPECT_TRUE(press(Qt::Key_Escape));
    EXPECT_EQ(model.query(), "");
    EXPECT_TRUE(controller.isShown()) << "the first Escape only clears";
    EXPECT_TRUE(press(Qt::Key_Escape));
    EXPECT_FALSE(controller.isShown());
}

TEST_F(ControllerTest, KeysReachTheTableThroughThePaletteWindowOnly) {
    openPalette({"b", "a"});
    ASSERT_TRUE(controller.isShown());
    QTest::keyClick(controller.view()->searchField(), Qt::Key_Down);
    EXPECT_EQ(selectedValue(), "b");
    QTest::keyClick(controller.view()->searchField(), Qt::Key_Q);
    EXPECT_EQ(controller.view()->searchField()->text(), "q");
    QTest::keyClick(controller.view()->searchField(), Qt::Key_Escape);
    EXPECT_EQ(controller.view()->searchField()->text(), "");
    EXPECT_TRUE(controller.isShown());

    // The searches started by typing settle first.
    QTest::qWait(200);
    const QString selected = selectedValue();
    controller.close();
    QLineEdit elsewhere;
    elsewhere.show();
    QTest::keyClick(&elsewhere, Qt::Key_Escape);
    QTest::keyClick(&elsewhere, Qt::Key_Down);
    EXPECT_EQ(selectedValue(), selected) << "keys of other windows are not the palette's";
    EXPECT_EQ(elsewhere.text(), "");
}

TEST(PalettePlacement, UnderTheTrayIconElseAtThePointerAlwaysInsideTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(420, 460);
    EXPECT_EQ(PalettePanelController::placement(QRect(1000, 0, 24, 24), {}, screen, size),
              QPoint(802, 28));
    EXPECT_EQ(PalettePanelController::placement(QRect(1250, 0, 24, 24), {}, screen, size).x(), 860)
        << "kept inside the right edge";
    EXPECT_EQ(PalettePanelController::placement(QRect(600, 776, 24, 24), {}, screen, size).y(),
              776 - 4 - 460)
        << "a tray at the bottom opens upward";
    EXPECT_EQ(PalettePanelController::placement({}, QPoint(640, 300), screen, size),
              QPoint(430, 300));
    EXPECT_EQ(PalettePanelController::placement({}, QPoint(10, 790), screen, size), QPoint(0, 340));
}
