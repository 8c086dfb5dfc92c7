#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/fakes/FakeWorkspace.h"
#include "support/ModelFixture.h"

#include <QLineEdit>
#include <QTest>

namespace {

using namespace ModifierFlag;

class ControllerTest : public ModelTest {
protected:
    ControllerTest() {
        controller.clock = [this] { return now; };
        controller.pointerLocation = [] { return QPoint(600, 300); };
        model.onCopy = [this](const Clip& clip) { used.append(clip.value); };
    }
    void openPalette(const QStringList& texts) {
        for (const QString& text : texts) {
            copyText(text);
        }
        controller.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.clips().size() == texts.size(); }, 2000));
    }
    bool press(quint16 keyCode, quint64 flags = 0) { return controller.handle({keyCode, flags}); }

    FakeWorkspace workspace;
    PalettePanelController controller{model, workspace};
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
    controller.toggle();
    EXPECT_TRUE(controller.isShown()) << "our own close reopens at once";

    // The desktop closes it (another application took the keyboard), then the click that did it
    // arrives as a toggle.
    controller.applicationDidResignActive();
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
    EXPECT_TRUE(press(125));
    EXPECT_TRUE(press(125, shift | option));
    EXPECT_EQ(selectedValue(), "c");
    EXPECT_TRUE(press(126));
    EXPECT_EQ(selectedValue(), "b");

    EXPECT_FALSE(press(49)) << "Space types into the field";
    EXPECT_FALSE(press(51)) << "Backspace edits the search";
    EXPECT_FALSE(press(22, control)) << "Ctrl+6 is no shortcut";
    EXPECT_FALSE(press(0)) << "letters type";

    EXPECT_TRUE(press(20, control));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !used.isEmpty(); }, 2000));
    EXPECT_EQ(used, QStringList{"c"});
    EXPECT_EQ(selectedValue(), "c");
    EXPECT_TRUE(press(36));
    ASSERT_TRUE(QTest::qWaitFor([&] { return used.size() == 2; }, 2000));
    EXPECT_EQ(used.last(), "c");

    EXPECT_TRUE(press(51, control));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.clips().size() == 2; }, 2000));
    EXPECT_EQ(visible(), (QStringList{"a", "b"}));
}

TEST_F(ControllerTest, TabSpaceReturnAndEscapeMoveBetweenFieldAndClearButton) {
    openPalette({"a"});
    EXPECT_TRUE(press(48));
    EXPECT_EQ(model.searchFocus(), SearchFocus::field) << "nothing to clear yet";
    model.setQuery("x");
    EXPECT_TRUE(press(48, shift));
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_TRUE(press(48));
    EXPECT_EQ(model.searchFocus(), SearchFocus::clear);
    EXPECT_TRUE(press(49)) << "Space presses the clear button";
    EXPECT_EQ(model.query(), "");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);

    model.setQuery("y");
    press(48);
    EXPECT_TRUE(press(76)) << "keypad Enter too";
    EXPECT_EQ(model.query(), "");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_TRUE(used.isEmpty());

    model.setQuery("z");
    EXPECT_TRUE(press(53));
    EXPECT_EQ(model.query(), "");
    EXPECT_TRUE(controller.isShown()) << "the first Escape only clears";
    EXPECT_TRUE(press(53));
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
