#include "settings/HotKeyRecorder.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using namespace orv;

namespace {

class HotKeyRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        recorder = new HotKeyRecorder(HotKey::defaultCombination, &window);
        field = new QLineEdit(&window);
        layout->addWidget(recorder);
        layout->addWidget(field);
        QObject::connect(recorder, &HotKeyRecorder::comboChanged,
                         [this](QKeyCombination combo) { stored.append(combo); });
        QObject::connect(recorder, &HotKeyRecorder::recordingChanged,
                         [this](bool recording) { reports.append(recording); });
        window.show();
        elsewhere.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void clickButton() { QTest::mouseClick(recorder->button(), Qt::LeftButton); }
    bool waitUntilIdle() {
        return QTest::qWaitFor([this] { return !recorder->isRecording(); }, 1000);
    }

    // Declared first: the recorder reports into them until the window is gone.
    QList<QKeyCombination> stored;
    QList<bool> reports;
    QWidget window;
    HotKeyRecorder* recorder = nullptr;
    QLineEdit* field = nullptr;
    // A text field in another window of the application.
    QLineEdit elsewhere;
};

}  // namespace

TEST_F(HotKeyRecorderTest, TakesTheNextCombinationAndSwallowsEveryKeyUntilThen) {
    int shortcutFired = 0;
    QAction action(&window);
    action.setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    action.setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(&action);
    QObject::connect(&action, &QAction::triggered, [&] { ++shortcutFired; });
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(shortcutFired, 1) << "the application shortcut works while not recording";

    EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Alt+V");
    EXPECT_EQ(recorder->button()->text(), "Cambiar");
    clickButton();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(reports, QList<bool>{true});
    EXPECT_EQ(recorder->comboLabel()->text(), "Pulsa una combinación…");
    EXPECT_EQ(recorder->button()->text(), "Cancelar");

    // Plain letters, Shift alone and a lone modifier make no combination: ignored, and they reach
    // no text field in any window.
    QTest::keyClicks(field, "ab");
    QTest::keyClick(&elsewhere, Qt::Key_A, Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_Control, Qt::ControlModifier);
    QTest::qWait(20);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(elsewhere.text(), "");
    EXPECT_TRUE(stored.isEmpty());

    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(stored, QList<QKeyCombination>{Qt::CTRL | Qt::SHIFT | Qt::Key_K});
    EXPECT_EQ(recorder->combo(), stored.value(0));
    EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Mayús+K");
    EXPECT_EQ(recorder->button()->text(), "Cambiar");
    EXPECT_EQ(reports, (QList<bool>{true, false}));
    EXPECT_EQ(shortcutFired, 1) << "the recorded combination did not trigger the shortcut";
    EXPECT_EQ(field->text(), "");

    // Once idle, keys go where they were typed again.
    QTest::keyClicks(field, "z");
    QTest::qWait(20);
    EXPECT_EQ(field->text(), "z");
    EXPECT_EQ(stored.size(), 1);
}

TEST_F(HotKeyRecorderTest, EscapeWithOrWithoutModifiersStopsAndKeepsTheCombination) {
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        reports.clear();
        clickButton();
        QTest::keyClick(field, Qt::Key_Escape, modifiers);
        ASSERT_TRUE(waitUntilIdle()) << int(modifiers);
        EXPECT_EQ(reports, (QList<bool>{true, false}));
        EXPECT_EQ(recorder->combo(), HotKey::defaultCombination);
        EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Alt+V");
    }
    EXPECT_TRUE(stored.isEmpty());
}

TEST_F(HotKeyRecorderTest, CancelReportsTrueThenFalseAndChangesNothing) {
    clickButton();
    clickButton();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(reports, (QList<bool>{true, false}));
    EXPECT_EQ(recorder->button()->text(), "Cambiar");
    EXPECT_EQ(recorder->combo(), HotKey::defaultCombination);
    EXPECT_TRUE(stored.isEmpty());

    // Every call reports, even one that changes nothing.
    recorder->setRecording(false);
    EXPECT_EQ(reports, (QList<bool>{true, false, false}));
}

TEST_F(HotKeyRecorderTest, DisappearingEndsRecording) {
    clickButton();
    // Swallowed while recording, but the control is gone before the combination would be stored.
    QTest::keyClick(field, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
    window.hide();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(reports, (QList<bool>{true, false}));
    QTest::qWait(20);
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_EQ(recorder->combo(), HotKey::defaultCombination);
    QTest::keyClicks(&elsewhere, "x");
    EXPECT_EQ(elsewhere.text(), "x");

    window.show();
    window.hide();
    EXPECT_EQ(reports, (QList<bool>{true, false, false})) << "disappearing always reports";

    QList<bool> destroyedReports;
    auto other = std::make_unique<HotKeyRecorder>(Qt::META | Qt::Key_B);
    QObject::connect(other.get(), &HotKeyRecorder::recordingChanged,
                     [&](bool recording) { destroyedReports.append(recording); });
    other->setRecording(true);
    other.reset();
    EXPECT_EQ(destroyedReports, (QList<bool>{true, false}));
    QTest::keyClicks(&elsewhere, "y");
    EXPECT_EQ(elsewhere.text(), "xy");
}

TEST_F(HotKeyRecorderTest, ACombinationSetByTheOwnerIsShownWithoutBeingReportedBack) {
    recorder->setCombo(Qt::CTRL | Qt::META | Qt::Key_B);
    EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Super+B");
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_TRUE(reports.isEmpty());
}
