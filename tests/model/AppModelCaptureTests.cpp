#include "support/ModelFixture.h"

#include "support/TestImages.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace orv;

TEST_F(ModelTest, PausedCaptureStoresNothingAndSaysNothing) {
    preferences.setPaused(true);
    copyText("secreto");
    await(recorder.record({CapturedClip::Image{TestImages::png(4, 4)}, std::nullopt}));
    EXPECT_TRUE(stored().isEmpty());
    EXPECT_EQ(history.calls.value("upsert") + history.calls.value("recordImage"), 0);
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(ModelTest, ExcludedSourcesAreDroppedByWholeNameIgnoringCase) {
    preferences.setExcludedApps({"KeePassXC"});
    copyText("contraseña", QStringLiteral("keepassxc"));
    copyText("nota", QStringLiteral("KeePassXC Browser"));
    copyText("sin origen");
    EXPECT_EQ(stored(), (QStringList{"sin origen", "nota"}));
}

TEST_F(ModelTest, EachPayloadIsStoredUnderItsKind) {
    await(recorder.record({CapturedClip::Files{{"/home/ana/a.txt", "/home/ana/b c.pdf", "/tmp/d"}},
                           QStringLiteral("Archivos")}));
    await(recorder.record({CapturedClip::Color{"#FF000080"}, std::nullopt}));
    await(
        recorder.record({CapturedClip::Text{"hola", QStringLiteral("<b>hola</b>")}, std::nullopt}));
    await(recorder.record({CapturedClip::Image{TestImages::png(8, 6)}, std::nullopt}));

    const QList<Clip> clips = history.real().clips({}).result();
    ASSERT_EQ(clips.size(), 4);
    EXPECT_EQ(clips[3].kind, ClipKind::files);
    EXPECT_EQ(clips[3].value, "/home/ana/a.txt\n/home/ana/b c.pdf\n/tmp/d");
    EXPECT_EQ(clips[3].source, QStringLiteral("Archivos"));
    EXPECT_EQ(clips[2].kind, ClipKind::color);
    EXPECT_EQ(clips[2].value, "#FF000080");
    EXPECT_EQ(clips[1].kind, ClipKind::text);
    EXPECT_EQ(history.real().clip(clips[1].id).result()->html, QStringLiteral("<b>hola</b>"));
    EXPECT_EQ(clips[0].kind, ClipKind::image);
    EXPECT_EQ(clips[0].pixelSize(), QSize(8, 6));
    EXPECT_EQ(history.calls.value("prune"), 4);
}

TEST_F(ModelTest, CapturesPruneWithTheLimitsOfTheMoment) {
    preferences.setMaxItems(100);
    for (int i = 0; i < 103; ++i) {
        copyText(QString::number(i));
    }
    EXPECT_EQ(stored().size(), 100);
    EXPECT_EQ(stored().last(), "3");
}

TEST_F(ModelTest, ARecopiedTextMovesUpKeepingItsIdAndTheSelection) {
    open({"uno", "dos", "tres"});
    EXPECT_EQ(visible(), (QStringList{"tres", "dos", "uno"}));
    model.moveSelection(1);
    ASSERT_EQ(selectedValue(), "dos");
    const qint64 idOfUno = visibleAt(2).id;

    copyText("uno");
    EXPECT_EQ(visible(), (QStringList{"uno", "tres", "dos"})) << "the open palette reloads";
    EXPECT_EQ(visibleAt(0).id, idOfUno);
    EXPECT_EQ(selectedValue(), "dos");

    // With the palette closed the list is left alone until it opens again.
    window.visible = false;
    copyText("cuatro");
    EXPECT_EQ(visible(), (QStringList{"uno", "tres", "dos"}));
    EXPECT_EQ(history.calls.value("listing"), 2);
}

TEST_F(ModelTest, AStoreFailureIsShownAndThePruneSkipped) {
    open({"antes"});
    history.failing["upsert"] = "database is locked";
    copyText("después");
    EXPECT_TRUE(model.errorMessage()->endsWith(u"(database is locked)"));
    EXPECT_EQ(history.calls.value("prune"), 1) << "only the first capture pruned";
    EXPECT_EQ(visible(), QStringList{"antes"});

    history.failing.clear();
    history.failing["prune"] = "disk I/O error";
    copyText("otro");
    EXPECT_EQ(model.errorMessage(), QStringLiteral("disk I/O error"));
    EXPECT_EQ(visible(), QStringList{"antes"}) << "no reload after a failed prune";

    history.failing.clear();
    history.failing["listing"] = "no such table: clips";
    const QList<Clip> before = model.clips();
    const auto selectedBefore = model.selectedID();
    await(model.reload(true));
    EXPECT_EQ(model.clips(), before);
    EXPECT_EQ(model.selectedID(), selectedBefore);
    EXPECT_EQ(model.errorMessage(), QStringLiteral("no such table: clips"));
}

TEST_F(ModelTest, AFilterWhoseKindDisappearsFallsBackToAll) {
    await(recorder.record({CapturedClip::Image{TestImages::png(3, 3)}, std::nullopt}));
    open({"texto"});
    model.setFilter(ClipListFilter::ofKind(ClipKind::image));
    ASSERT_EQ(model.visibleClips().size(), 1);
    EXPECT_EQ(model.selectedID(), visibleAt(0).id);

    await(model.deleteClip(visibleAt(0)));
    EXPECT_EQ(model.filter(), ClipListFilter::all());
    EXPECT_EQ(visible(), QStringList{"texto"});
    EXPECT_EQ(selectedValue(), "texto");
}

TEST_F(ModelTest, FiltersUseTheEffectiveKindAndTheActiveChipTurnsOff) {
    open({"#00FF00", "verde", "azul"});
    model.setFilter(ClipListFilter::ofKind(ClipKind::color));
    EXPECT_EQ(visible(), QStringList{"#00FF00"});
    EXPECT_EQ(selectedValue(), "#00FF00");
    model.setFilter(ClipListFilter::ofKind(ClipKind::text));
    EXPECT_EQ(visible(), (QStringList{"azul", "verde"}));
    EXPECT_EQ(selectedValue(), "azul");

    await(model.togglePin(visibleAt(1)));
    model.setFilter(ClipListFilter::pinned());
    EXPECT_EQ(visible(), QStringList{"verde"});
    model.setFilter(ClipListFilter::pinned());
    EXPECT_EQ(model.filter(), ClipListFilter::all());
    EXPECT_EQ(visible().size(), 3);
    EXPECT_EQ(selectedValue(), "verde") << "a selection that stays visible is kept";
}

TEST_F(ModelTest, SelectionMovesWithoutWrapping) {
    open({"e", "d", "c", "b", "a"});
    EXPECT_EQ(selectedValue(), "a");
    model.moveSelection(-1);
    EXPECT_EQ(selectedValue(), "a");
    model.moveSelection(4);
    EXPECT_EQ(selectedValue(), "e");
    model.moveSelection(1);
    EXPECT_EQ(selectedValue(), "e");
    model.moveSelection(-100);
    EXPECT_EQ(selectedValue(), "a");

    // With nothing selected the move counts from the top.
    await(model.setQuery("zzz"));
    EXPECT_EQ(model.selectedID(), std::nullopt);
    model.moveSelection(1);
    EXPECT_EQ(model.selectedID(), std::nullopt);
    await(model.setQuery(""));
    EXPECT_EQ(selectedValue(), "a");
}

TEST_F(ModelTest, PrepareForDisplayResetsThePalette) {
    open({"#112233", "rojo", "#445566"});
    await(model.setQuery("#"));
    model.setFilter(ClipListFilter::ofKind(ClipKind::color));
    model.moveSelection(1);
    model.setSearchFocus(SearchFocus::clear);
    const int token = model.focusToken();
    QSignalSpy focusSpy(&model, &AppModel::focusTokenChanged);

    await(model.prepareForDisplay());
    EXPECT_EQ(model.query(), "");
    EXPECT_EQ(model.filter(), ClipListFilter::all());
    EXPECT_EQ(visible(), (QStringList{"#445566", "rojo", "#112233"}));
    EXPECT_EQ(selectedValue(), "#445566");
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_EQ(model.focusToken(), token + 1);
    EXPECT_EQ(focusSpy.count(), 1);
}

TEST_F(ModelTest, ObserversHearOnlyRealChanges) {
    open({"a", "b"});
    QSignalSpy clipsSpy(&model, &AppModel::clipsChanged);
    QSignalSpy selectionSpy(&model, &AppModel::selectedIDChanged);
    QSignalSpy querySpy(&model, &AppModel::queryChanged);
    await(model.reload(false));
    await(model.setQuery(""));
    EXPECT_EQ(clipsSpy.count(), 0) << "an equal list, element by element";
    EXPECT_EQ(selectionSpy.count(), 0);
    EXPECT_EQ(querySpy.count(), 0);
    copyText("c");
    EXPECT_EQ(clipsSpy.count(), 1);
}

TEST_F(ModelTest, ALongListShowsItsFirstRowsBeforeTheRest) {
    history.real()
        .upsert(ClipKind::color, "#AABBCC", {}, {}, {}, base.addSecs(-1))
        .waitForFinished();
    for (int i = 0; i < AppModel::firstRows + 49; ++i) {
        history.real()
            .upsert(ClipKind::text, QString::number(i), {}, {}, {}, base.addSecs(i))
            .waitForFinished();
    }
    model.setPaletteWindow(&window);
    history.holdLists = true;
    auto opening = model.prepareForDisplay();
    history.release(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return history.heldCount() == 2; }, 10000));
    EXPECT_EQ(model.clips().size(), AppModel::firstRows);
    EXPECT_EQ(selectedValue(), "248");
    model.moveSelection(3);
    history.holdLists = false;
    history.release(1);
    await(std::move(opening));
    EXPECT_EQ(model.clips().size(), AppModel::firstRows + 50);
    EXPECT_EQ(selectedValue(), "245") << "the rest leaves the selection where it was";

    // A filter that only the rest matches stays on while the first rows load.
    model.setFilter(ClipListFilter::ofKind(ClipKind::color));
    history.holdLists = true;
    auto reloading = model.reload(false);
    history.release(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return history.heldCount() == 4; }, 10000));
    EXPECT_EQ(model.filter(), ClipListFilter::ofKind(ClipKind::color));
    history.holdLists = false;
    history.release(3);
    await(std::move(reloading));
    EXPECT_EQ(visible(), QStringList{"#AABBCC"});
}

TEST_F(ModelTest, ASearchTypedOnLetsTheShorterOneFinishAndStopsAnyOther) {
    open({"aguja"});
    history.listingStops.clear();
    auto first = model.setQuery("ag");
    auto second = model.setQuery("agu");
    ASSERT_EQ(history.listingStops.size(), 2u);
    EXPECT_FALSE(history.listingStops[0].stop_requested()) << "the next search looks among it";
    auto third = model.setQuery("x");
    EXPECT_TRUE(history.listingStops[0].stop_requested());
    EXPECT_TRUE(history.listingStops[1].stop_requested());
    EXPECT_FALSE(history.listingStops[2].stop_requested());
    await(std::move(first));
    await(std::move(second));
    await(std::move(third));
    EXPECT_TRUE(visible().isEmpty());
}

TEST_F(ModelTest, OnlyTheNewestSearchLands) {
    open({"uno", "dos"});
    model.moveSelection(1);
    history.holdLists = true;
    auto first = model.setQuery("nada");
    auto second = model.setQuery("");
    ASSERT_EQ(history.heldCount(), 2);
    history.release(1);
    await(std::move(second));
    EXPECT_EQ(visible(), (QStringList{"dos", "uno"}));
    EXPECT_EQ(selectedValue(), "dos") << "the superseded search's reset of the selection is kept";
    history.release(0);
    await(std::move(first));
    EXPECT_EQ(visible(), (QStringList{"dos", "uno"})) << "the earlier search finished last";
    EXPECT_EQ(model.listedQuery(), QString());
}

TEST_F(ModelTest, WorkInFlightWhenTheModelGoesDoesNothing) {
    auto model2 = std::make_unique<AppModel>(history, preferences, scheduler);
    model2->setPaletteWindow(&window);
    await(model2->prepareForDisplay());
    history.holdLists = true;
    auto pending = model2->reload(false);
    model2->report("se irá");
    model2->schedulePreview(Clip{});
    EXPECT_EQ(scheduler.pendingCount(), 2u);
    model2.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the model's jobs go with it";
    history.release(0);
    await(std::move(pending));
    EXPECT_TRUE(pending.isReady());
    scheduler.advance(std::chrono::seconds(5));
    EXPECT_TRUE(preview.shown.isEmpty());
}

// A locked or read-only history: captures wait in memory and are tried again until they are
// stored, and the banner stays while they wait.
TEST_F(ModelTest, FailedCapturesWaitAndAreStoredInOrderOnceTheHistoryTakesThem) {
    using namespace std::chrono_literals;
    open({"antes"});
    QSignalSpy persistentSpy(&model, &AppModel::persistentErrorChanged);
    history.failing["upsert"] = "database is locked";
    copyText("uno");
    copyText("dos");
    const QString waiting =
        QStringLiteral("Lo copiado no se pudo guardar; se reintentará (database is locked)");
    EXPECT_EQ(model.persistentError(), waiting);
    const int tries = history.calls.value("upsert");
    scheduler.advance(60s);
    EXPECT_GT(history.calls.value("upsert"), tries) << "tried again";
    EXPECT_EQ(model.errorMessage(), waiting) << "past four seconds";
    EXPECT_EQ(stored(), QStringList{"antes"});

    // Another error shows for its four seconds, then the lasting one again.
    model.report("otro fallo");
    scheduler.advance(4s);
    EXPECT_EQ(model.errorMessage(), waiting);

    history.failing.clear();
    scheduler.advance(60s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.persistentError(); }, 10000));
    EXPECT_EQ(stored(), (QStringList{"dos", "uno", "antes"})) << "stamped when copied";
    EXPECT_EQ(model.errorMessage(), std::nullopt) << "cleared as soon as they are stored";
    ASSERT_TRUE(QTest::qWaitFor([&] { return visible().size() == 3; }, 10000))
        << "the open palette shows them";
    EXPECT_EQ(persistentSpy.count(), 2);
}

// An image too big for the disk: the texts copied after it are stored at once, and the image,
// refused while they are taken, is given up with a message.
TEST_F(ModelTest, ACaptureTheHistoryKeepsRefusingHoldsNoOtherBackAndIsGivenUp) {
    open({});
    history.failing["recordImage"] = "database or disk is full";
    await(recorder.record({CapturedClip::Image{TestImages::png(8, 8)}, {}}));
    for (const char* text : {"uno", "dos", "tres"}) {
        copyText(text);
    }
    EXPECT_EQ(stored(), (QStringList{"tres", "dos", "uno"}));
    EXPECT_TRUE(model.persistentError()) << "the image still waits";
    for (int i = 0; i < ClipRecorder::maximumRefusals; ++i) {
        copyText(QStringLiteral("más %1").arg(i));
    }
    EXPECT_EQ(model.persistentError(), std::nullopt);
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->startsWith("No se pudo guardar una imagen"))
        << model.errorMessage()->toStdString();
    EXPECT_EQ(stored().size(), 3 + ClipRecorder::maximumRefusals);
}

TEST_F(ModelTest, WaitingCapturesAreBoundedAndTheNewestWin) {
    const auto failAll = [&] {
        history.failing["upsert"] = "attempt to write a readonly database";
        history.failing["recordImage"] = "attempt to write a readonly database";
    };
    // Four pictures of 17 MiB, more bytes than may wait: the first goes.
    failAll();
    const qsizetype pictureBytes = ClipRecorder::maximumWaitingBytes / 4 + 1024 * 1024;
    for (int width = 1; width <= 4; ++width) {
        const QByteArray png = TestImages::png(width, 1);
        await(recorder.record({CapturedClip::Image{png + QByteArray(pictureBytes, '\0')}, {}}));
    }
    history.failing.clear();
    copyText("tras las imágenes");  // a new capture tries the waiting ones at once
    QList<int> widths;
    for (const Clip& clip : history.real().clips({}).result()) {
        if (clip.kind == ClipKind::image) {
            widths.prepend(clip.pixelSize().value_or(QSize()).width());
        }
    }
    EXPECT_EQ(widths, (QList<int>{2, 3, 4}));
    EXPECT_EQ(stored().first(), "tras las imágenes");

    // Too many: with the one that tries them, six more than may wait; the six oldest go.
    failAll();
    for (int i = 0; i < ClipRecorder::maximumWaitingCaptures + 5; ++i) {
        copyText(QStringLiteral("texto %1").arg(i));
    }
    history.failing.clear();
    copyText("al final");
    const QStringList texts = stored();
    EXPECT_EQ(texts.first(), "al final");
    EXPECT_TRUE(texts.contains("texto 6"));
    EXPECT_FALSE(texts.contains("texto 5"));
    EXPECT_EQ(model.persistentError(), std::nullopt);
}
