// The palette with a real pointer: xdotool moves it, the X server reports what lies under it.
#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/DesktopHints.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/x11/X11PointerMonitor.h"
#include "preview/PreviewPanelController.h"
#include "support/ExternalTool.h"
#include "support/ModelFixture.h"

#include <QCursor>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTest>

// Xlib after Qt: its macros clash with Qt names.
#include "platform/x11/X11Display.h"

#include <X11/Xatom.h>

using namespace orv;

namespace {

class PaletteX11Test : public ModelTest {
protected:
    PaletteX11Test() {
        model.pointerLocation = [] { return QCursor::pos(); };
    }

    void openWith(const QStringList& texts) {
        for (const QString& text : texts) {
            copyText(text);
        }
        show();
    }
    void show() {
        controller.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !model.clips().isEmpty(); }, 5000));
        QTest::qWait(100);  // the list lays itself out
    }
    ClipListView* list() const { return controller.view()->list(); }
    QPoint rowCentre(int row) const {
        const QRect rect = list()->visualRect(controller.view()->rows()->index(row));
        return list()->viewport()->mapToGlobal(rect.center());
    }
    QPoint leadingCentre(int row) const {
        const QRect rect = list()->visualRect(controller.view()->rows()->index(row));
        return list()->viewport()->mapToGlobal(
            ClipRowView::leadingRect(rect, controller.view()->rows()->row(row)).center());
    }
    // Beside the palette, on the side the screen has room for.
    QPoint outside() const {
        const QRect frame = controller.window()->frameGeometry();
        const int x = frame.right() + 60 < 1280 ? frame.right() + 60 : frame.left() - 60;
        return QPoint(x, frame.center().y());
    }
    // Moves the real pointer and lets its events arrive.
    void pointAt(const QPoint& global) {
        runTool("xdotool", {"mousemove", QString::number(global.x()), QString::number(global.y())});
        EXPECT_TRUE(QTest::qWaitFor([&] { return QCursor::pos() == global; }, 5000));
        QTest::qWait(150);
    }
    bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return controller.handle(QKeyCombination(modifiers, key));
    }
    // A row's menu runs its own event loop: its keys must come from elsewhere, a moment later.
    static void keysLater(const QString& keys) {
        QProcess::startDetached("sh", {"-c", "sleep 0.8; xdotool key " + keys});
    }
    // Ctrl+Backspace, then the clip that went.
    QString deleteWithShortcut() {
        const QStringList before = visible();
        EXPECT_TRUE(press(Qt::Key_Backspace, Qt::ControlModifier));
        EXPECT_TRUE(QTest::qWaitFor([&] { return visible().size() < before.size(); }, 5000));
        for (const QString& value : before) {
            if (!visible().contains(value)) {
                return value;
            }
        }
        return {};
    }
    QString valueUnderPointer() const {
        const QModelIndex index =
            list()->indexAt(list()->viewport()->mapFromGlobal(QCursor::pos()));
        return index.isValid() ? controller.view()->rows()->clipAt(index.row()).value : QString();
    }

    FakeWorkspace workspace;
    X11PointerMonitor pointerMonitor;
    PalettePanelController controller{model, workspace, &pointerMonitor};
};

}  // namespace

TEST_F(PaletteX11Test, TheDeleteShortcutActsOnTheRowUnderThePointerNowOrElseOnTheSelection) {
    openWith({"hola mundo", "dos", "tres", "cuatro"});  // listed newest first
    pointAt(rowCentre(2));
    ASSERT_EQ(valueUnderPointer(), "dos");

    // The hovered row is filtered out, the pointer leaves, the search is cleared.
    QTest::keyClicks(controller.view()->searchField(), "hola");
    ASSERT_TRUE(QTest::qWaitFor([&] { return visible() == QStringList{"hola mundo"}; }, 5000));
    pointAt(outside());
    ASSERT_TRUE(press(Qt::Key_Escape));
    ASSERT_TRUE(QTest::qWaitFor([&] { return visible().size() == 4; }, 5000));
    press(Qt::Key_Down);
    EXPECT_EQ(selectedValue(), "tres");
    EXPECT_EQ(deleteWithShortcut(), "tres") << "the selection, not the row hovered before";

    // Hovered, then the palette closes and opens again elsewhere.
    pointAt(rowCentre(1));
    ASSERT_EQ(valueUnderPointer(), "dos");
    controller.close();
    pointAt(QPoint(outside().x(), 5));
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    QTest::qWait(100);
    EXPECT_EQ(deleteWithShortcut(), "cuatro") << "a reopened palette keeps no old hover";
}

TEST_F(PaletteX11Test, PinningFromTheMenuAndScrollingLeaveNoStaleHover) {
    QStringList texts;
    for (int i = 1; i <= 30; ++i) {
        texts.append(QStringLiteral("clip %1").arg(i));
    }
    openWith(texts);

    // Right-click the last visible row and pin it from its menu with the keyboard.
    pointAt(rowCentre(3));
    const QString pinned = valueUnderPointer();
    keysLater("Down Down Return");
    runTool("xdotool", {"click", "3"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return visible().first() == pinned; }, 5000));
    pointAt(outside());
    press(Qt::Key_Down);
    const QString selected = selectedValue();
    ASSERT_NE(selected, pinned);
    EXPECT_EQ(deleteWithShortcut(), selected) << "not the clip just pinned";

    // Hover a row, then scroll it away with the keyboard: the row under the pointer now counts.
    pointAt(rowCentre(1));
    const QString hovered = valueUnderPointer();
    for (int i = 0; i < 25; ++i) {
        press(Qt::Key_Down);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return list()->verticalScrollBar()->value() > 0; }, 5000));
    QTest::qWait(100);
    const QString now = valueUnderPointer();
    ASSERT_NE(now, hovered);
    EXPECT_EQ(deleteWithShortcut(), now);
}

TEST_F(PaletteX11Test, ThePreviewFollowsThePictureUnderThePointerAcrossAReset) {
    openWith({"uno", "dos", "tres"});
    pointAt(leadingCentre(1));
    scheduler.advance(AppModel::previewDelay);
    ASSERT_EQ(preview.shown.size(), 0) << "no preview controller is installed yet";
    model.setPreviewController(&preview);
    pointAt(leadingCentre(2));
    scheduler.advance(AppModel::previewDelay);
    ASSERT_EQ(preview.shown.size(), 1);
    const qint64 first = preview.shown.last();

    // A capture while the palette is open moves every row down under the still pointer.
    copyText("nuevo");
    ASSERT_TRUE(QTest::qWaitFor([&] { return visible().size() == 4; }, 5000));
    QTest::qWait(100);
    scheduler.advance(AppModel::previewDelay);
    ASSERT_EQ(preview.shown.size(), 2) << "the picture now under the pointer is previewed";
    EXPECT_NE(preview.shown.last(), first);

    // Closed with the pointer on a picture: nothing stays pending or shown.
    controller.close();
    scheduler.advance(AppModel::previewDelay);
    EXPECT_EQ(preview.shown.size(), 2);
    EXPECT_FALSE(preview.visible);
}

TEST_F(PaletteX11Test, AClickOnTheDesktopClosesThePaletteAndOneOnItDoesNot) {
    openWith({"uno"});
    const QLineEdit* field = controller.view()->searchField();
    pointAt(field->mapToGlobal(field->rect().center()));
    runTool("xdotool", {"click", "1"});
    QTest::qWait(300);
    ASSERT_TRUE(controller.isShown());
    pointAt(QPoint(5, 780));
    runTool("xdotool", {"click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller.isShown(); }, 5000));
}

TEST_F(PaletteX11Test, ThePaletteAndThePreviewStayOutOfTaskbarsAndPagers) {
    const auto states = [](const QWidget* window) {
        return runTool("xprop", {"-id", QString::number(window->winId()), "_NET_WM_STATE"});
    };
    PreviewPanelController previewPanel;
    for (int round = 0; round < 2; ++round) {  // the window manager drops them on every hide
        openWith({"uno"});
        previewPanel.show(model.clips().first(), model.paletteWindow());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(previewPanel.panel()));
        for (const QWidget* window :
             {static_cast<QWidget*>(controller.window()), previewPanel.panel()}) {
            const QByteArray state = states(window);
            EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_TASKBAR")) << state.toStdString();
            EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_PAGER")) << state.toStdString();
            EXPECT_TRUE(state.contains("_NET_WM_STATE_ABOVE")) << state.toStdString();
        }
        controller.close();
        previewPanel.hide();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !previewPanel.isPanelVisible(); }, 5000));
    }
}

TEST(TrayX11, TheIconColourIsThePanelsWhenTheTraySaysOne) {
    Display* display = X11Display::get();
    const Window tray =
        XGetSelectionOwner(display, XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False));
    if (tray == None) {
        GTEST_SKIP() << "no system tray on this display";
    }
    const Atom colors = XInternAtom(display, "_NET_SYSTEM_TRAY_COLORS", False);
    EXPECT_EQ(DesktopHints::forSession().trayIconColor(), std::nullopt);
    const unsigned long values[12] = {0xFFFF, 0xEEEE, 0x1111, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    XChangeProperty(display, tray, colors, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), 12);
    XSync(display, False);
    EXPECT_EQ(DesktopHints::forSession().trayIconColor(),
              QColor::fromRgba64(0xFFFF, 0xEEEE, 0x1111));
    XDeleteProperty(display, tray, colors);
    XSync(display, False);
}
