#include "platform/fakes/FakeKeyboard.h"
#include "settings/PermissionStatus.h"
#include "settings/PermissionsView.h"
#include "settings/PermissionsWindowController.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// Stands in for the desktop's prompt: the user may grant the permission from it.
class PromptingTrust : public FakeAccessibilityTrust {
public:
    bool requestTrust() override {
        ++prompts;
        trusted = trusted || grantFromPrompt;
        return trusted;
    }
    int prompts = 0;
    bool grantFromPrompt = false;
};

struct Permissions {
    explicit Permissions(bool trusted) { trust.trusted = trusted; }
    PermissionsView& open() {
        controller.show();
        return *controller.window();
    }
    bool granted() const { return controller.window()->grantedLabel()->isVisible(); }
    bool hint() const { return controller.window()->restartHint()->isVisible(); }
    bool button() const { return controller.window()->grantButton()->isVisible(); }
    // Within one poll and a little.
    bool waitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, PermissionStatus::pollIntervalMs + 400);
    }

    PromptingTrust trust;
    PermissionsWindowController controller{trust};
};

int permissionWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<PermissionsView*>(widget) ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(PermissionsWindow, AlreadyTrustedShowsConcedidoInOneWindow) {
    Permissions p(true);
    EXPECT_EQ(p.controller.window(), nullptr);
    PermissionsView& view = p.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.windowTitle(), "Permisos");
    EXPECT_EQ(view.size(), QSize(480, 420));
    EXPECT_EQ(
        view.explanation()->text(),
        "El historial se abre con Ctrl+Alt+V. El pegado automático escribe el clip en la app que "
        "estaba delante, y para eso hace falta Accesibilidad.");
    EXPECT_TRUE(p.granted());
    EXPECT_FALSE(p.hint()) << "trusted before the window opened: no restart needed";
    EXPECT_FALSE(p.button());
    EXPECT_TRUE(p.controller.status().isPolling());

    p.controller.show();
    EXPECT_EQ(p.controller.window(), &view);
    EXPECT_EQ(permissionWindows(), 1);
}

TEST(PermissionsWindow, SaysWhichMechanismEachServiceUsesAndItFits) {
    Permissions p(false);
    p.controller.setMechanisms({"Portapapeles: Wayland (ext-data-control-v1)", "Atajo: X11"});
    PermissionsView& view = p.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.mechanisms()->text(), "Portapapeles: Wayland (ext-data-control-v1), Atajo: X11");
    EXPECT_TRUE(view.mechanisms()->isVisible());
    p.controller.setMechanisms({"Portapapeles: Wayland (wlr-data-control-unstable-v1)",
                                "Atajo: X11 (solo ventanas XWayland)",
                                "Pegado: X11 (solo ventanas XWayland)"});
    EXPECT_TRUE(view.mechanisms()->text().endsWith("Pegado: X11 (solo ventanas XWayland)"));
    view.layout()->activate();
    // Nothing pushed out of the fixed-size window.
    EXPECT_EQ(view.size(), QSize(480, 420));
    for (QWidget* part :
         {static_cast<QWidget*>(view.mechanisms()), static_cast<QWidget*>(view.grantButton())}) {
        const QRect inView(part->mapTo(&view, QPoint(0, 0)), part->size());
        EXPECT_TRUE(view.rect().contains(inView)) << inView.x() << "," << inView.y();
        EXPECT_GE(part->height(), part->hasHeightForWidth() ? part->heightForWidth(part->width())
                                                            : part->sizeHint().height());
    }
}

TEST(PermissionsWindow, GrantingWhileOpenShowsConcedidoAndTheRestartHintWithinAPoll) {
    Permissions p(false);
    p.open();
    EXPECT_TRUE(p.button());
    EXPECT_FALSE(p.granted());
    EXPECT_FALSE(p.hint());

    p.trust.trusted = true;
    ASSERT_TRUE(p.waitFor([&] { return p.granted(); }));
    EXPECT_TRUE(p.hint());
    EXPECT_FALSE(p.button());
    EXPECT_TRUE(p.controller.status().justGranted());

    // Revoked: the button is back, the hint goes with the label, justGranted stays.
    p.trust.trusted = false;
    ASSERT_TRUE(p.waitFor([&] { return p.button(); }));
    EXPECT_FALSE(p.granted());
    EXPECT_FALSE(p.hint());
    EXPECT_TRUE(p.controller.status().justGranted());
}

TEST(PermissionsWindow, TheButtonAsksAndShowsTheAnswerAtOnce) {
    Permissions p(false);
    p.trust.grantFromPrompt = true;
    PermissionsView& view = p.open();
    EXPECT_EQ(view.grantButton()->text(), "Conceder permiso");
    QTest::mouseClick(view.grantButton(), Qt::LeftButton);
    EXPECT_EQ(p.trust.prompts, 1);
    EXPECT_TRUE(p.granted());
    EXPECT_TRUE(p.hint());
    EXPECT_EQ(view.restartHint()->text(),
              "Si el pegado no responde, sal de Orvantide y ábrelo de nuevo.");
}

TEST(PermissionsWindow, ClosingStopsPollingAndShowingAgainRefreshesAtOnce) {
    Permissions p(false);
    PermissionsView& view = p.open();
    EXPECT_TRUE(p.controller.status().isPolling());
    EXPECT_TRUE(view.close());
    EXPECT_FALSE(p.controller.status().isPolling());

    p.trust.trusted = true;
    QTest::qWait(PermissionStatus::pollIntervalMs + 200);
    EXPECT_FALSE(p.controller.status().accessibilityTrusted()) << "no polling while closed";

    p.open();
    EXPECT_TRUE(p.controller.status().accessibilityTrusted());
    EXPECT_TRUE(p.granted());
    EXPECT_TRUE(p.controller.status().isPolling());
    EXPECT_EQ(p.controller.window(), &view);
}

TEST(PermissionStatus, TellsOnlyRealChangesAndGrantedOnlyOnce) {
    FakeAccessibilityTrust trust;
    trust.trusted = false;
    PermissionStatus status(trust);
    EXPECT_FALSE(status.accessibilityTrusted());
    EXPECT_FALSE(status.isPolling());
    QSignalSpy trustedChanges(&status, &PermissionStatus::accessibilityTrustedChanged);
    QSignalSpy grantedChanges(&status, &PermissionStatus::justGrantedChanged);

    status.refresh();
    EXPECT_EQ(trustedChanges.count(), 0);
    trust.trusted = true;
    status.refresh();
    status.refresh();
    EXPECT_TRUE(status.accessibilityTrusted());
    EXPECT_TRUE(status.justGranted());
    EXPECT_EQ(trustedChanges.count(), 1);
    EXPECT_EQ(grantedChanges.count(), 1);

    trust.trusted = false;
    status.refresh();
    trust.trusted = true;
    status.refresh();
    EXPECT_EQ(trustedChanges.count(), 3);
    EXPECT_EQ(grantedChanges.count(), 1);
    EXPECT_TRUE(status.justGranted());

    FakeAccessibilityTrust alreadyTrusted;
    PermissionStatus fromStart(alreadyTrusted);
    fromStart.start();
    EXPECT_TRUE(fromStart.accessibilityTrusted());
    EXPECT_FALSE(fromStart.justGranted()) << "trusted at creation is not a grant";
    EXPECT_TRUE(fromStart.isPolling());
    fromStart.stop();
    EXPECT_FALSE(fromStart.isPolling());
}
