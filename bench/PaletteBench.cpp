// The palette over a 2000-clip history (texts, colours, files and 200 images with thumbnails),
// offscreen: from toggle to the first painted list, and from a keystroke in the search field to
// the repainted list. Real time, on the main thread, with the store working on its own thread.
// Also the preview of a 4000 x 3000 PNG: how long setClip holds the main thread, and how long
// until the picture is painted.
#include "model/AppModel.h"
#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/TimerScheduler.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "preview/PreviewView.h"
#include "store/HistoryStore.h"
#include "support/TestImages.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace orv;

namespace {

// Counts the paints of the list.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

struct Palette {
    Palette() {
        QList<QFuture<void>> pending;
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < 2000; ++i) {
            const QDateTime at = start.addSecs(i);
            if (i % 10 == 0) {
                pending.append(store.recordImage(
                    TestImages::png(40 + i % 7, 30, QColor::fromHsv(i % 360, 200, 200)),
                    QStringLiteral("Fotos"), at));
            } else if (i % 10 == 1) {
                pending.append(store.upsert(
                    ClipKind::color,
                    QStringLiteral("#%1").arg(i * 97 % 0xFFFFFF, 6, 16, QChar(u'0')).toUpper(),
                    std::nullopt, std::nullopt, std::nullopt, at));
            } else if (i % 10 == 2) {
                pending.append(
                    store.upsert(ClipKind::files,
                                 QStringLiteral("/home/ana/doc%1.pdf\n/home/ana/foto%1.jpg").arg(i),
                                 std::nullopt, std::nullopt, std::nullopt, at));
            } else {
                pending.append(
                    store.upsert(ClipKind::text,
                                 QStringLiteral("Nota %1: ").arg(i) +
                                     QString("texto copiado de una página ").repeated(1 + i % 8),
                                 std::nullopt, std::nullopt, QStringLiteral("Firefox"), at));
            }
        }
        for (auto& future : pending) {
            future.waitForFinished();
        }
        list()->viewport()->installEventFilter(&counter);
    }
    QListView* list() const { return controller.view()->list(); }
    // Runs events until the list has painted `paints` more times, or a second passed.
    void waitForPaints(int before) {
        QElapsedTimer timer;
        timer.start();
        while (counter.paints <= before && timer.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }

    QTemporaryDir temp;
    HistoryStore store{temp.filePath("history.db"), temp.filePath("images")};
    InMemoryUserDefaults defaults{QJsonObject{{"maxItems", 2000}}};
    FakeLoginItemService loginItem;
    PreferencesStore preferences{defaults, loginItem};
    TimerScheduler scheduler;
    AppModel model{store, preferences, scheduler};
    FakeWorkspace workspace;
    PalettePanelController controller{model, workspace};
    PaintCounter counter;
};

// Built on first use and taken down before the application, whose widgets it holds.
std::unique_ptr<Palette> instance;

Palette& palette() {
    if (!instance) {
        instance = std::make_unique<Palette>();
    }
    return *instance;
}

void BM_ToggleToFirstPaint(benchmark::State& state) {
    Palette& p = palette();
    for (auto _ : state) {
        const int before = p.counter.paints;
        p.controller.toggle();
        p.waitForPaints(before);
        state.PauseTiming();
        // Let the reload land, then close for the next round.
        QTest::qWait(30);
        p.controller.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(p.model.visibleClips().size());
}
BENCHMARK(BM_ToggleToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

void BM_KeystrokeToRepaint(benchmark::State& state) {
    Palette& p = palette();
    p.controller.show();
    QTest::qWait(100);
    QLineEdit* field = p.controller.view()->searchField();
    bool typed = false;
    for (auto _ : state) {
        const int before = p.counter.paints;
        const qsizetype rows = p.model.clips().size();
        if (!typed) {
            QTest::keyClick(field, Qt::Key_7);
        } else {
            QTest::keyClick(field, Qt::Key_Backspace);
        }
        typed = !typed;
        // The list is repainted once the new search result is in.
        QElapsedTimer timer;
        timer.start();
        while ((p.model.clips().size() == rows || p.counter.paints <= before) &&
               timer.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }
    state.counters["rows"] = double(p.model.clips().size());
    p.controller.close();
}
BENCHMARK(BM_KeystrokeToRepaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

// A 4000 x 3000 photo-like PNG (smooth light, fine grain) in a file, without a thumbnail beside it.
struct Photo {
    Photo() { QImageWriter(path, "png").write(TestImages::photo(4000, 3000)); }
    // A clip of it that the preview has not shown yet.
    Clip nextClip() {
        Clip clip;
        clip.id = ++shown;
        clip.kind = ClipKind::image;
        clip.value = QStringLiteral("image:photo:4000x3000:%1").arg(shown);
        clip.imagePath = path;
        return clip;
    }

    QTemporaryDir temp;
    QString path = temp.filePath(QStringLiteral("photo.png"));
    qint64 shown = 0;
};

std::unique_ptr<Photo> photoInstance;

Photo& photo() {
    if (!photoInstance) {
        photoInstance = std::make_unique<Photo>();
    }
    return *photoInstance;
}

// Runs events until the preview holds a decoded picture, or a minute passed. Sleeps between events,
// so the main thread's CPU time counts only real work.
void waitForPicture(const PreviewView& view) {
    QElapsedTimer timer;
    timer.start();
    QTimer heartbeat;
    heartbeat.start(50);
    for (;;) {
        const auto* image = view.findChild<FittedImage*>();
        if ((image && !image->pixmap().isNull()) || timer.elapsed() > 60000) {
            return;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void BM_PreviewPhotoSetClip(benchmark::State& state) {
    Photo& p = photo();
    PreviewView view;
    view.show();
    for (auto _ : state) {
        view.setClip(p.nextClip());
        state.PauseTiming();
        waitForPicture(view);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewPhotoSetClip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PreviewPhotoToPaint(benchmark::State& state) {
    Photo& p = photo();
    PreviewView view;
    view.show();
    for (auto _ : state) {
        view.setClip(p.nextClip());
        waitForPicture(view);
        view.repaint();
    }
}
BENCHMARK(BM_PreviewPhotoToPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    instance.reset();
    photoInstance.reset();
    return 0;
}
