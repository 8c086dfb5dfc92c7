// The model over a 2000-clip history: one capture with the palette closed, and a reload with the
// list narrowed by a kind filter. Timed from the call to the end of the coroutine (real time).
#include "model/AppModel.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/xdg/TimerScheduler.h"
#include "store/HistoryStore.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QJsonObject>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace orv;

namespace {

struct Setup {
    Setup() {
        // Every tenth clip is a colour, so the colour filter narrows the list.
        QList<QFuture<void>> pending;
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < 2000; ++i) {
            const QString value = i % 10 == 0
                                      ? QStringLiteral("#%1").arg(i, 6, 16, QChar(u'0'))
                                      : QStringLiteral("clip %1 ").arg(i) + QString(190, u'x');
            pending.append(
                QFuture<void>(store.upsert(ClipKind::text, value, std::nullopt, std::nullopt,
                                           QStringLiteral("Editor"), start.addSecs(i))));
        }
        for (auto& future : pending) {
            future.waitForFinished();
        }
    }
    QTemporaryDir temp;
    HistoryStore store{temp.filePath("history.db"), temp.filePath("images")};
    InMemoryUserDefaults defaults{QJsonObject{{"maxItems", 2000}}};
    FakeLoginItemService loginItem;
    PreferencesStore preferences{defaults, loginItem};
    TimerScheduler scheduler;
    ClipRecorder recorder{store, preferences, scheduler};
    AppModel model{store, preferences, scheduler};
};

std::unique_ptr<Setup> instance;

Setup& setup() {
    if (!instance) {
        instance = std::make_unique<Setup>();
        // The store's thread ends while the application object is still there.
        qAddPostRoutine([] { instance.reset(); });
    }
    return *instance;
}

void BM_ReloadWithKindFilter(benchmark::State& state) {
    AppModel& model = setup().model;
    QCoro::waitFor(model.reload(true));
    const auto colours = ClipListFilter::ofKind(ClipKind::color);
    if (model.filter() != colours) {
        model.setFilter(colours);  // choosing the active chip again would turn it off
    }
    qsizetype shown = 0;
    for (auto _ : state) {
        QCoro::waitFor(model.reload(false));
        shown = model.visibleClips().size();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["clips"] = double(model.clips().size());
    state.counters["visible"] = double(shown);
}
BENCHMARK(BM_ReloadWithKindFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecordText(benchmark::State& state) {
    ClipRecorder& recorder = setup().recorder;
    qint64 n = 0;
    for (auto _ : state) {
        const QString text = QStringLiteral("nuevo %1 ").arg(++n) + QString(180, u'y');
        QCoro::waitFor(recorder.record({CapturedClip::Text{text, std::nullopt}, std::nullopt}));
    }
}
BENCHMARK(BM_RecordText)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
