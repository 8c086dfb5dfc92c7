#include "support/ModelFixture.h"

#include <QTest>

using namespace orv;

using std::chrono::milliseconds;

TEST_F(ModelTest, UsingAClipPassesTheWholeStoredClip) {
    await(recorder.record(
        {CapturedClip::Text{"hola", QStringLiteral("<b>hola</b>")}, QStringLiteral("Editor")}));
    open({});
    QList<Clip> used;
    QObject::connect(&model, &AppModel::copyRequested,
                     [&](const Clip& clip) { used.append(clip); });

    const Clip listed = visibleAt(0);
    ASSERT_EQ(listed.html, std::nullopt);
    await(model.copy(listed));
    ASSERT_EQ(used.size(), 1);
    EXPECT_EQ(used[0].html, QStringLiteral("<b>hola</b>"));
    EXPECT_EQ(used[0].source, QStringLiteral("Editor"));

    // When the read fails the listed clip is used, silently.
    history.failing["clip"] = "disk I/O error";
    await(model.copySelected());
    ASSERT_EQ(used.size(), 2);
    EXPECT_EQ(used[1], listed);
    EXPECT_FALSE(model.errorMessage());

    // A clip gone from the history is still used as listed.
    history.failing.clear();
    Clip gone = listed;
    gone.id = 999;
    await(model.copy(gone));
    EXPECT_EQ(used.last(), gone);

    // A long text is listed by its beginning only: what is used is all of it, or nothing.
    const QString longText = QString(Clip::listedCharacters, u'x') + QStringLiteral("fin");
    copyText(longText);
    const Clip cut = visibleAt(0);
    ASSERT_TRUE(cut.partial);
    await(model.copy(cut));
    EXPECT_EQ(used.last().value, longText);
    const qsizetype before = used.size();
    history.failing["clip"] = "disk I/O error";
    await(model.copy(cut));
    EXPECT_EQ(used.size(), before);
    EXPECT_EQ(model.errorMessage(), QStringLiteral("disk I/O error"));
}

TEST_F(ModelTest, CopyAtSelectsAndUsesOnlyPositionsInRange) {
    open({"c", "b", "a"});
    QStringList used;
    QObject::connect(&model, &AppModel::copyRequested,
                     [&](const Clip& clip) { used.append(clip.value); });
    await(model.copyAt(9));
    await(model.copyAt(-1));
    await(model.copyAt(3));
    EXPECT_TRUE(used.isEmpty());
    EXPECT_EQ(selectedValue(), "a");
    await(model.copyAt(2));
    EXPECT_EQ(used, QStringList{"c"});
    EXPECT_EQ(selectedValue(), "c");
}

TEST_F(ModelTest, KeysPressedWhileASearchLoadsActOnItsResult) {
    open({"uno para pegar", "dos", "tres"});
    QStringList used;
    QObject::connect(&model, &AppModel::copyRequested,
                     [&](const Clip& clip) { used.append(clip.value); });
    history.holdLists = true;
    auto loading = model.setQuery("pegar");
    auto choosing = model.copySelected();
    auto deleting = model.deleteSelected();
    QCoreApplication::processEvents();
    EXPECT_TRUE(used.isEmpty()) << "not the selection of the list before the search";
    history.holdLists = false;
    history.release(0);
    await(std::move(loading));
    await(std::move(choosing));
    await(std::move(deleting));
    EXPECT_EQ(used, QStringList{"uno para pegar"});
    EXPECT_EQ(stored(), (QStringList{"tres", "dos"})) << "the clip the search found went";
}

TEST_F(ModelTest, DeletingSelectsTheClipThatTookItsPlace) {
    open({"5", "4", "3", "2", "1"});
    model.moveSelection(2);
    await(model.deleteSelected());
    EXPECT_EQ(visible(), (QStringList{"1", "2", "4", "5"}));
    EXPECT_EQ(selectedValue(), "4");

    await(model.deleteClip(visibleAt(3)));
    EXPECT_EQ(selectedValue(), "4") << "after the last, the new last";

    await(model.deleteClip(visibleAt(0)));
    await(model.deleteClip(visibleAt(0)));
    await(model.deleteClip(visibleAt(0)));
    EXPECT_TRUE(visible().isEmpty());
    EXPECT_EQ(model.selectedID(), std::nullopt);
}

TEST_F(ModelTest, DeletingAClipOutsideTheFilterSelectsTheFirst) {
    open({"#ABCDEF", "b", "a"});
    model.setFilter(ClipListFilter::ofKind(ClipKind::text));
    model.moveSelection(1);
    const Clip hidden = model.clips().last();
    ASSERT_EQ(hidden.value, "#ABCDEF");
    await(model.deleteClip(hidden));
    EXPECT_EQ(selectedValue(), "a");
}

TEST_F(ModelTest, TheRowUnderThePointerIsDeletedBeforeTheSelection) {
    open({"5", "4", "3", "2", "1"});
    model.moveSelection(3);
    const Clip second = visibleAt(1);
    model.setRowHover(second, true);
    model.setRowHover(visibleAt(0), false);  // late news of leaving another row
    await(model.deleteSelected());
    EXPECT_EQ(visible(), (QStringList{"1", "3", "4", "5"}));
    EXPECT_EQ(selectedValue(), "3") << "re-selected by the deleted row's position";

    model.setRowHover(second, false);
    model.moveSelection(1);
    await(model.deleteSelected());
    EXPECT_EQ(visible(), (QStringList{"1", "3", "5"})) << "then the selection";
}

TEST_F(ModelTest, PinningKeepsTheSelectionOnTheSameClip) {
    open({"c", "b", "a"});
    model.moveSelection(2);
    await(model.togglePin(visibleAt(2)));
    EXPECT_EQ(visible(), (QStringList{"c", "a", "b"}));
    EXPECT_EQ(selectedValue(), "c");
    EXPECT_TRUE(visibleAt(0).pinned);

    history.failing["togglePinned"] = "attempt to write a readonly database";
    await(model.togglePin(visibleAt(0)));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("attempt to write a readonly database"));
    EXPECT_TRUE(visibleAt(0).pinned);
}

TEST_F(ModelTest, ClearingKeepsPinnedClipsAndSelectsTheFirst) {
    open({"c", "b", "a"});
    await(model.togglePin(visibleAt(1)));
    model.moveSelection(2);
    preview.visible = true;
    model.setPreviewController(&preview);
    await(model.clearUnpinned());
    EXPECT_EQ(visible(), QStringList{"b"});
    EXPECT_EQ(selectedValue(), "b");
    EXPECT_FALSE(preview.visible);

    history.failing["clearUnpinned"] = "database is locked";
    await(model.clearUnpinned());
    EXPECT_EQ(model.errorMessage(), QStringLiteral("database is locked"));
}

TEST_F(ModelTest, ChangedLimitsPruneAndRefreshTheOpenPalette) {
    QStringList texts;
    for (int i = 0; i < 105; ++i) {
        texts.append(QString::number(i));
    }
    open(texts);
    EXPECT_EQ(visible().size(), 105);
    preferences.setMaxItems(100);
    await(model.applyPreferenceLimits());
    EXPECT_EQ(visible().size(), 100);
    EXPECT_EQ(visible().last(), "5");

    history.failing["prune"] = "disk I/O error";
    await(model.applyPreferenceLimits());
    EXPECT_EQ(model.errorMessage(), QStringLiteral("disk I/O error"));
}

TEST_F(ModelTest, TheErrorBannerShowsTheLatestErrorForFourSeconds) {
    model.report("primero");
    scheduler.advance(milliseconds(3000));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("primero"));
    model.report("segundo");
    scheduler.advance(milliseconds(3999));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("segundo"))
        << "the newer error restarts the time";
    scheduler.advance(milliseconds(1));
    EXPECT_EQ(model.errorMessage(), std::nullopt);
}

class PreviewTest : public ModelTest {
protected:
    void SetUp() override {
        open({"3", "2", "1"});
        model.setPreviewController(&preview);
        first = visibleAt(0);
        second = visibleAt(1);
    }
    Clip first;
    Clip second;
};

TEST_F(PreviewTest, ALongTextIsPreviewedWhole) {
    const QString longText = QString(Clip::listedCharacters + 5, u'y');
    copyText(longText);
    const Clip cut = visibleAt(0);
    ASSERT_TRUE(cut.partial);
    model.schedulePreview(cut);
    scheduler.advance(milliseconds(700));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview.clips.isEmpty(); }, 10000));
    EXPECT_EQ(preview.clips.last().value, longText);
}

TEST_F(PreviewTest, AShortHoverShowsNothing) {
    model.schedulePreview(first);
    scheduler.advance(milliseconds(500));
    model.endHover(first);
    scheduler.advance(milliseconds(2000));
    EXPECT_TRUE(preview.shown.isEmpty());
}

TEST_F(PreviewTest, ARestingPointerShowsThePreviewBesideThePalette) {
    model.schedulePreview(first);
    scheduler.advance(milliseconds(599));
    EXPECT_TRUE(preview.shown.isEmpty());
    scheduler.advance(milliseconds(101));
    EXPECT_EQ(preview.shown, QList<qint64>{first.id});
    EXPECT_EQ(preview.besides, QList<WindowHandle*>{&window});

    // Moving onto the panel within 0.16 s keeps it.
    model.endHover(first);
    pointer = preview.rect.center();
    scheduler.advance(milliseconds(160));
    EXPECT_TRUE(preview.visible);

    // Leaving the panel for elsewhere hides it 0.16 s later.
    model.schedulePreviewDismiss();
    pointer = QPoint(5, 5);
    scheduler.advance(milliseconds(159));
    EXPECT_TRUE(preview.visible);
    scheduler.advance(milliseconds(1));
    EXPECT_FALSE(preview.visible);
}

TEST_F(PreviewTest, MovingFromRowToRowSwapsTheContentWithoutHiding) {
    model.schedulePreview(first);
    scheduler.advance(milliseconds(700));
    model.endHover(first);
    scheduler.advance(milliseconds(100));
    model.schedulePreview(second);
    scheduler.advance(milliseconds(100));
    EXPECT_TRUE(preview.visible) << "the dismissal was cancelled";
    EXPECT_EQ(preview.shown, QList<qint64>{first.id});
    scheduler.advance(milliseconds(500));
    EXPECT_EQ(preview.shown, (QList<qint64>{first.id, second.id}));
    EXPECT_EQ(preview.hides, 0);

    // Leaving a row other than the previewed one changes nothing.
    model.endHover(first);
    scheduler.advance(milliseconds(500));
    EXPECT_TRUE(preview.visible);
}

TEST_F(PreviewTest, HidingDropsPendingWorkAndNeedsAPaletteWindow) {
    model.schedulePreview(first);
    model.hidePreview();
    scheduler.advance(milliseconds(1000));
    EXPECT_TRUE(preview.shown.isEmpty());
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    model.setPaletteWindow(nullptr);
    model.schedulePreview(first);
    scheduler.advance(milliseconds(1000));
    EXPECT_TRUE(preview.shown.isEmpty());

    // A window that is gone reads as none.
    auto window2 = std::make_unique<FakeWindow>();
    model.setPaletteWindow(window2.get());
    window2.reset();
    EXPECT_EQ(model.paletteWindow(), nullptr);
    model.schedulePreview(first);
    scheduler.advance(milliseconds(1000));
    EXPECT_TRUE(preview.shown.isEmpty());
}
